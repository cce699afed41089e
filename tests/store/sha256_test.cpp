// SHA-256 against the published test vectors (FIPS 180-4 examples and the
// NIST byte-oriented vectors), fed whole and in uneven pieces.

#include <gtest/gtest.h>

#include "store/sha256.h"

namespace {

struct Vector {
    std::string message;
    const char* digest;
};

std::vector<Vector> vectors()
{
    return {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
         "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        // Lengths at the padding's edges: 55 bytes fit one block, 56 need two.
        {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    };
}

TEST(Sha256, MatchesPublishedVectors)
{
    for (const Vector& v : vectors())
        EXPECT_EQ(store::ToHex(store::Sha256Of(v.message)), v.digest) << v.message.size() << " bytes";
}

TEST(Sha256, PiecesGiveTheSameDigestAsTheWhole)
{
    for (const Vector& v : vectors()) {
        for (std::size_t piece : {std::size_t(1), std::size_t(3), std::size_t(63), std::size_t(64), std::size_t(65)}) {
            store::Sha256 hash;
            for (std::size_t at = 0; at < v.message.size(); at += piece)
                hash.update(std::string_view(v.message).substr(at, piece));
            EXPECT_EQ(store::ToHex(hash.finish()), v.digest) << v.message.size() << " bytes in pieces of " << piece;
        }
    }
}

TEST(Hex, RoundTripsAndRefusesWhatIsNotHex)
{
    const std::string bytes("\x00\x7f\x80\xff", 4);
    const std::string hex = store::ToHex(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(hex, "007f80ff");
    std::string back;
    ASSERT_TRUE(store::FromHex("007F80ff", back));
    EXPECT_EQ(back, bytes);
    for (const char* bad : {"0", "0g", "  ", "12 3"})
        EXPECT_FALSE(store::FromHex(bad, back)) << bad;
}

}  // namespace
