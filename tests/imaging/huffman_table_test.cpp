// The inflate decoder's Huffman tables: every code of a complete code,
// worked out from RFC 1951 3.2.2 here, must find its symbol and length, for
// codes as short as 1 bit and as long as 15 (in subtables); codes that are
// over-subscribed or incomplete are told apart and refused.
#include "imaging/formats/huffman_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

using namespace huffman;

// Code lengths of a random complete code of `symbols` symbols, none longer
// than `longest` bits: leaves of a random binary tree are split until there
// are enough of them.
std::vector<std::uint8_t> randomCompleteCode(std::mt19937& rng, int symbols, int used, bool deep, int longest)
{
    std::vector<int> leaves = {1, 1};
    while (int(leaves.size()) < used) {
        // Deep trees split their deepest splittable leaf most of the time,
        // which makes long codes and many subtables.
        std::size_t pick = rng() % leaves.size();
        if (deep && rng() % 4 != 0)
            for (std::size_t i = 0; i < leaves.size(); ++i)
                if (leaves[i] < longest && (leaves[pick] >= longest || leaves[i] > leaves[pick]))
                    pick = i;
        if (leaves[pick] >= longest)
            continue;
        const int depth = ++leaves[pick];
        leaves.push_back(depth);
    }
    std::vector<std::uint8_t> lengths(std::size_t(symbols), 0);
    std::vector<int> slots(static_cast<std::size_t>(symbols));
    for (int i = 0; i < symbols; ++i)
        slots[std::size_t(i)] = i;
    std::shuffle(slots.begin(), slots.end(), rng);
    for (std::size_t i = 0; i < leaves.size(); ++i)
        lengths[std::size_t(slots[i])] = std::uint8_t(leaves[i]);
    return lengths;
}

// RFC 1951 3.2.2: the canonical code of every symbol.
std::vector<std::uint32_t> canonicalCodes(const std::vector<std::uint8_t>& lengths)
{
    std::vector<int> count(16, 0);
    for (auto l : lengths)
        ++count[l];
    count[0] = 0;
    std::vector<std::uint32_t> next(16, 0);
    std::uint32_t code = 0;
    for (int bits = 1; bits <= 15; ++bits) {
        code = (code + std::uint32_t(count[std::size_t(bits) - 1])) << 1;
        next[std::size_t(bits)] = code;
    }
    std::vector<std::uint32_t> codes(lengths.size(), 0);
    for (std::size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s])
            codes[s] = next[lengths[s]]++;
    return codes;
}

// The bits as the bit reader holds them: the code's first bit lowest, then
// whatever follows (here: ones, which must not matter).
std::uint64_t asInput(std::uint32_t code, int length)
{
    std::uint64_t bits = ~std::uint64_t(0) << length;
    for (int i = 0; i < length; ++i)
        bits |= std::uint64_t((code >> (length - 1 - i)) & 1) << i;
    return bits;
}

template <int kRoot, std::size_t kCapacity, std::size_t kSymbols>
void expectEveryCodeFound(const std::array<Entry, kSymbols>& meanings, std::mt19937& rng, int longest = kMaxBits)
{
    for (int round = 0; round < 300; ++round) {
        const int used = 2 + int(rng() % (kSymbols - 1));
        const std::vector<std::uint8_t> lengths =
            randomCompleteCode(rng, int(kSymbols), used, round % 2 == 0, longest);
        std::vector<Entry> table(kCapacity);
        ASSERT_EQ(buildTable(table, lengths, meanings.data(), kRoot), 0) << "round " << round;
        const std::vector<std::uint32_t> codes = canonicalCodes(lengths);
        for (std::size_t s = 0; s < kSymbols; ++s) {
            if (!lengths[s])
                continue;
            const Entry e = lookup<kRoot>(table.data(), asInput(codes[s], lengths[s]));
            ASSERT_EQ(codeLengthOf(e), lengths[s]) << "symbol " << s << ", round " << round;
            ASSERT_EQ(valueOf(e), valueOf(meanings[s])) << "symbol " << s << ", round " << round;
            ASSERT_EQ(consumeOf(e), lengths[s] + consumeOf(meanings[s])) << "symbol " << s;
            ASSERT_EQ(e & (kLiteral | kException | kEndOfBlock), meanings[s] & (kLiteral | kException | kEndOfBlock));
        }
    }
}

TEST(HuffmanTable, EveryCodeOfACompleteCodeFindsItsSymbol)
{
    std::mt19937 rng(2024);
    expectEveryCodeFound<kLiteralRootBits, kLiteralCapacity>(literalMeanings(false), rng);
    expectEveryCodeFound<kLiteralRootBits, kLiteralCapacity>(literalMeanings(true), rng);
    expectEveryCodeFound<kDistanceRootBits, kDistanceCapacity>(distanceMeanings(false), rng);
    // Code-length codes are at most 7 bits long (3-bit lengths).
    expectEveryCodeFound<kCodeLengthRootBits, kCodeLengthCapacity>(codeLengthMeanings(), rng, 7);
}

TEST(HuffmanTable, DeepestCodesFitTheCapacity)
{
    // One code of every length from 1 to 15 and a second one of 15 bits:
    // the deepest code there is.
    std::vector<std::uint8_t> lengths(kLiteralCodes, 0);
    for (int len = 1; len <= 15; ++len)
        lengths[std::size_t(len) - 1] = std::uint8_t(len);
    lengths[15] = 15;
    std::vector<Entry> literal(kLiteralCapacity);
    EXPECT_EQ(buildTable(literal, lengths, literalMeanings(false).data(), kLiteralRootBits), 0);
    std::vector<std::uint8_t> distance(kDistanceCodes, 0);
    std::copy(lengths.begin(), lengths.begin() + 16, distance.begin());
    std::vector<Entry> distances(kDistanceCapacity);
    EXPECT_EQ(buildTable(distances, distance, distanceMeanings(false).data(), kDistanceRootBits), 0);
}

TEST(HuffmanTable, OverSubscribedAndIncompleteCodesAreToldApart)
{
    std::vector<Entry> table(kLiteralCapacity);
    const auto build = [&](std::vector<std::uint8_t> lengths) {
        lengths.resize(kLiteralCodes, 0);
        return buildTable(table, lengths, literalMeanings(false).data(), kLiteralRootBits);
    };
    EXPECT_LT(build({1, 1, 1}), 0);        // three codes of one bit
    EXPECT_LT(build({2, 2, 2, 2, 3}), 0);  // one code too many
    EXPECT_GT(build({1}), 0);              // one code of one bit
    EXPECT_GT(build({}), 0);               // no codes at all
    EXPECT_GT(build({2, 2, 2}), 0);        // a quarter of the code space unused
    EXPECT_EQ(build({1, 2, 2}), 0);
    EXPECT_LT(build({16, 1}), 0);          // no code is longer than 15 bits
}

}  // namespace
