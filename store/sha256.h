#pragma once
// SHA-256 (FIPS 180-4), small and self-contained: the digests of the draw
// record must be computable by anyone, so the store carries its own.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace store {

using Digest = std::array<std::uint8_t, 32>;

class Sha256 {
public:
    Sha256();
    void update(const void* data, std::size_t size);
    void update(std::string_view bytes) { update(bytes.data(), bytes.size()); }
    // The digest of everything passed to update(); the object is spent afterwards.
    Digest finish();

private:
    void compress(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state;
    std::array<std::uint8_t, 64> m_buffer{};
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0;  // bytes so far
};

// The digest of one byte string.
Digest Sha256Of(std::string_view bytes);

// Lower-case hexadecimal, two characters per byte.
std::string ToHex(const std::uint8_t* data, std::size_t size);
inline std::string ToHex(const Digest& digest) { return ToHex(digest.data(), digest.size()); }
// The bytes of an even-length hexadecimal text (either case); false on anything else.
bool FromHex(std::string_view hex, std::string& bytes);
// The value of one hex digit (either case); -1 for any other character.
int HexDigitValue(char c);

}  // namespace store
