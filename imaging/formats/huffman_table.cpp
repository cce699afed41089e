#include "imaging/formats/huffman_table.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace huffman {

namespace {

// What a symbol means, before its code length is known: the entry with a
// code length of 0 (consume holds the extra bits alone).
constexpr Entry meaning(unsigned value, unsigned extraBits, Entry flags) { return value << 16 | flags | extraBits; }

// RFC 1951 section 3.2.5, with the deflate64 entries for distances 30 and 31.
constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint16_t, 32> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,   193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// Deflate64 gives symbol 285 the lengths 3 to 65538 (16 extra bits) instead
// of 258 alone.
constexpr std::array<Entry, kLiteralCodes> makeLiteralMeanings(bool deflate64)
{
    std::array<Entry, kLiteralCodes> m{};
    for (unsigned s = 0; s < 256; ++s)
        m[s] = meaning(s, 0, kLiteral);
    m[256] = meaning(0, 0, kException | kEndOfBlock);
    for (std::size_t i = 0; i < kLengthBase.size(); ++i)
        m[257 + i] = meaning(kLengthBase[i], kLengthExtra[i], 0);
    if (deflate64)
        m[285] = meaning(3, 16, 0);
    m[286] = m[287] = meaning(0, 0, kException);
    return m;
}

constexpr std::array<Entry, kDistanceCodes> makeDistanceMeanings(bool deflate64)
{
    std::array<Entry, kDistanceCodes> m{};
    for (std::size_t i = 0; i < kDistanceCodes; ++i)
        m[i] = meaning(kDistanceBase[i], kDistanceExtra[i], 0);
    if (!deflate64)
        m[30] = m[31] = meaning(0, 0, kException);
    return m;
}

constexpr std::array<Entry, kCodeLengthCodes> makeCodeLengthMeanings()
{
    std::array<Entry, kCodeLengthCodes> m{};
    for (unsigned s = 0; s < m.size(); ++s)
        m[s] = meaning(s, 0, 0);
    return m;
}

constexpr auto kLiteralMeanings = makeLiteralMeanings(false);
constexpr auto kLiteralMeanings64 = makeLiteralMeanings(true);
constexpr auto kDistanceMeanings = makeDistanceMeanings(false);
constexpr auto kDistanceMeanings64 = makeDistanceMeanings(true);
constexpr auto kCodeLengthMeanings = makeCodeLengthMeanings();

// The next canonical code of `length` bits, both stored bit-reversed (the
// first code bit lowest, as the bit reader hands it over): adding one to the
// reversed form carries from the top bit downwards.
std::uint32_t nextReversedCode(std::uint32_t reversed, int length)
{
    const std::uint32_t all = (std::uint32_t(1) << length) - 1;
    const std::uint32_t free = ~reversed & all;
    if (free == 0)
        return 0;
    const std::uint32_t bit = std::uint32_t(1) << (31 - std::countl_zero(free));
    return (reversed & (bit - 1)) | bit;
}

}  // namespace

const std::array<Entry, kLiteralCodes>& literalMeanings(bool deflate64)
{
    return deflate64 ? kLiteralMeanings64 : kLiteralMeanings;
}

const std::array<Entry, kDistanceCodes>& distanceMeanings(bool deflate64)
{
    return deflate64 ? kDistanceMeanings64 : kDistanceMeanings;
}

const std::array<Entry, kCodeLengthCodes>& codeLengthMeanings()
{
    return kCodeLengthMeanings;
}

int buildTable(std::span<Entry> table, std::span<const std::uint8_t> lengths, const Entry* meanings, int rootBits)
{
    // Counted in four interleaved tallies: runs of equal lengths would
    // otherwise make each increment wait for the one before.
    std::array<std::array<int, 16>, 4> tallies{};
    unsigned anyBits = 0;  // a length above 15 sets a higher bit
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        anyBits |= lengths[s];
        ++tallies[s & 3][lengths[s] & 15];
    }
    if (anyBits > kMaxBits)
        return -1;
    std::array<int, kMaxBits + 1> count{};
    for (std::size_t len = 1; len <= kMaxBits; ++len)
        count[len] = tallies[0][len] + tallies[1][len] + tallies[2][len] + tallies[3][len];
    int left = 1;
    int longest = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
        left = 2 * left - count[len];
        if (left < 0)
            return left;
        if (count[len])
            longest = len;
    }
    if (left > 0)
        return left;

    // Symbols in canonical order: by code length, then by value.
    std::array<std::uint16_t, kMaxBits + 2> first{};
    for (int len = 1; len <= kMaxBits; ++len)
        first[std::size_t(len) + 1] = std::uint16_t(first[std::size_t(len)] + count[std::size_t(len)]);
    std::array<std::uint16_t, kLiteralCodes> sorted{};
    for (std::size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s])
            sorted[first[lengths[s]]++] = std::uint16_t(s);

    // Root: the table of the codes up to len bits is 2^len slots, each code
    // at its reversed value; doubling it (each slot's copy one bit higher)
    // gives the table of len + 1 bits before that length's codes go in. A
    // longer code's prefix slot is overwritten with its subtable below.
    const std::size_t rootSize = std::size_t(1) << rootBits;
    std::uint32_t code = 0;
    std::size_t next = 0;
    std::size_t size = 1;
    for (int len = 1; len <= std::min(rootBits, longest); ++len) {
        std::memcpy(table.data() + size, table.data(), size * sizeof(Entry));
        size *= 2;
        for (int k = 0; k < count[std::size_t(len)]; ++k) {
            table[code] = meanings[sorted[next++]] + Entry(len) + (Entry(len) << 8);
            code = nextReversedCode(code, len);
        }
    }
    for (; size < rootSize; size *= 2)
        std::memcpy(table.data() + size, table.data(), size * sizeof(Entry));

    // Longer codes, in canonical order, come grouped by their first rootBits
    // bits; each group fills exactly its prefix's share of the code space, and
    // its subtable is as deep as its longest code.
    std::array<int, kMaxBits + 1> remaining = count;
    std::size_t free = rootSize;
    std::uint32_t prefix = ~std::uint32_t(0);
    std::size_t subStart = 0;
    for (int len = rootBits + 1; len <= longest; ++len) {
        for (int k = 0; k < count[std::size_t(len)]; ++k) {
            if ((code & (rootSize - 1)) != prefix) {
                prefix = code & std::uint32_t(rootSize - 1);
                int subBits = len - rootBits;
                int room = 1 << subBits;
                for (int l = len; l < longest; ++l, ++subBits, room *= 2) {
                    room -= remaining[std::size_t(l)];
                    if (room <= 0)
                        break;
                }
                if (free + (std::size_t(1) << subBits) > table.size())
                    return -1;  // beyond the proven bound: never for a complete code
                subStart = free;
                free += std::size_t(1) << subBits;
                table[prefix] = kException | kSubtable | Entry(rootBits) | Entry(subBits) << 8 | Entry(subStart) << 16;
            }
            const Entry entry = meanings[sorted[next++]] + Entry(len) + (Entry(len) << 8);
            const std::size_t subSize = std::size_t(1) << codeLengthOf(table[prefix]);
            for (std::size_t i = code >> rootBits; i < subSize; i += std::size_t(1) << (len - rootBits))
                table[subStart + i] = entry;
            --remaining[std::size_t(len)];
            code = nextReversedCode(code, len);
        }
    }
    return 0;
}

}  // namespace huffman
