#pragma once
// The inflate decoder's Huffman tables (RFC 1951 3.2.2): the next input bits,
// first code bit lowest, index a root table; codes longer than the root go
// on in a subtable. Each slot is one 32-bit entry that says what the code
// means and how many bits it takes, extra bits included.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace huffman {

// One table slot:
//   bits 0-5    bits to consume: the code and the extra bits behind it
//   bits 8-11   the code's own length, where its extra bits start; for a
//               subtable pointer, the subtable's index bits
//   bit 12      kException: a subtable pointer, the end of the block, or a
//               symbol the format does not define
//   bit 13, 14  kSubtable, kEndOfBlock (each with kException)
//   bits 16-31  the literal, the length or distance base, or the first slot
//               of the subtable
//   bit 31      kLiteral in the literal/length table (the byte is bits 16-23)
// Bits 6 and 7, and bits 12-15 but for exceptions, are clear: the low byte
// is the bit count as it stands, and bits 8-13 the code length.
using Entry = std::uint32_t;
constexpr Entry kException = 0x1000;
constexpr Entry kSubtable = 0x2000;
constexpr Entry kEndOfBlock = 0x4000;
constexpr Entry kLiteral = 0x80000000;

constexpr unsigned consumeOf(Entry e) { return e & 0x3F; }
constexpr unsigned codeLengthOf(Entry e) { return (e >> 8) & 0xF; }
constexpr unsigned valueOf(Entry e) { return e >> 16; }

constexpr int kMaxBits = 15;          // longest deflate code
constexpr int kLiteralCodes = 288;    // 286 and 287 take part in the fixed code only
constexpr int kDistanceCodes = 32;    // 30 and 31 are deflate64 only
constexpr int kCodeLengthCodes = 19;
constexpr int kLiteralRootBits = 11;  // nearly all literal/length codes are shorter
constexpr int kDistanceRootBits = 8;
constexpr int kCodeLengthRootBits = 7;  // the longest code-length code: no subtables

// Slots a table can need. A subtable of 2^s slots holds a complete code at
// least s deep, so at least s + 1 of the symbols; the most slots come from
// subtables as deep as the root allows (s = 15 - rootBits), plus one
// smaller one for the symbols left over.
constexpr std::size_t tableCapacity(int symbols, int rootBits)
{
    const int deepest = kMaxBits - rootBits;
    return (std::size_t(1) << rootBits) + std::size_t(symbols / (deepest + 1) + 1) * (std::size_t(1) << deepest);
}
constexpr std::size_t kLiteralCapacity = tableCapacity(kLiteralCodes, kLiteralRootBits);
constexpr std::size_t kDistanceCapacity = tableCapacity(kDistanceCodes, kDistanceRootBits);
constexpr std::size_t kCodeLengthCapacity = std::size_t(1) << kCodeLengthRootBits;

// What each symbol means, the entry without its code length: literals and
// end of block, lengths (deflate64 gives symbol 285 the lengths 3 to 65538,
// 16 extra bits), distances (30 and 31 for deflate64 only), and the
// code-length alphabet's plain values.
const std::array<Entry, kLiteralCodes>& literalMeanings(bool deflate64);
const std::array<Entry, kDistanceCodes>& distanceMeanings(bool deflate64);
const std::array<Entry, kCodeLengthCodes>& codeLengthMeanings();

// Fills `table` (of the capacity above for its root) for the code lengths of
// symbols 0 .. lengths.size()-1, `meanings` giving each symbol's entry.
// Returns 0 for a complete code, a negative value for an over-subscribed one
// and a positive value for an incomplete one (no codes at all included);
// only a complete code leaves a usable table.
int buildTable(std::span<Entry> table, std::span<const std::uint8_t> lengths, const Entry* meanings, int rootBits);

// The entry in a subtable, for the bits that follow the root's.
template <int kRootBits>
[[gnu::always_inline]] inline Entry subtableEntry(const Entry* table, Entry pointer, std::uint64_t bits)
{
    return table[valueOf(pointer) + ((bits >> kRootBits) & ((1u << codeLengthOf(pointer)) - 1))];
}

// The entry of the code at the low bits of `bits`; its length may exceed
// the bits really available, which the caller checks where it must.
template <int kRootBits>
[[gnu::always_inline]] inline Entry lookup(const Entry* table, std::uint64_t bits)
{
    const Entry e = table[bits & ((1u << kRootBits) - 1)];
    return e & kSubtable ? subtableEntry<kRootBits>(table, e, bits) : e;
}

}  // namespace huffman
