#pragma once
// A decoder for zlib streams (RFC 1950 wrapping RFC 1951 deflate data) into
// a buffer of known size. The two header bytes are skipped unexamined and
// the Adler-32 trailer is never read. Output is bounded by the buffer: a
// literal or stored block that does not fit is an error, a match that runs
// into the end of the buffer ends decoding there successfully. Nothing is
// written behind the last decoded byte.
//
// Huffman codes are decoded through two-level tables: the next few input
// bits index a root table whose entry is the symbol, or points to a
// subtable for the longer codes. Entries carry what the symbol means (a
// literal, a length or distance base with its extra-bit count), so that a
// symbol costs one or two table reads.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

enum class InflateStatus {
    Ok,
    InputExhausted,        // the data ends inside a block
    BadBlockType,          // block type 3
    StoredOverrun,         // a stored block runs past the input or the output
    StoredLengthMismatch,  // LEN is not the complement of NLEN
    TooManyCodes,          // HLIT above 286, or HDIST above 30 outside deflate64 (RFC 1951 3.2.7)
    BadCodeLengthTable,    // the code-length code is incomplete or over-subscribed
    RepeatWithoutPrevious, // code-length symbol 16 as the first length
    LengthRunTooLong,      // a code-length run past HLIT + HDIST
    BadLiteralTable,       // the literal/length code is over-subscribed
    IncompleteLiteralCode, // the literal/length code leaves codes unused (no codes at all included)
    BadDistanceTable,      // the distance code is over-subscribed
    IncompleteDistanceCode,  // the distance code leaves codes unused, as one or no code does
    BadSymbol,             // no code matches, or a symbol the format does not define
    DistanceTooFar,        // a match reaching before the start of the output
    OutputFull,            // a literal that does not fit
};

// A short description of the status for the user, in the user's language.
std::string inflateStatusText(InflateStatus status);

// One decoding table: a root table of 2^rootBits entries indexed by the
// next input bits (the first code bit lowest), followed by the subtables.
class HuffmanTable {
public:
    // What an entry means. Values up to kMaxExtra are a length or distance:
    // `value` is its base, the op the count of extra bits that follow.
    enum Op : std::uint8_t {
        kMaxExtra = 16,
        kLiteral = 32,   // value: the byte (or the code-length symbol)
        kEndOfBlock = 33,
        kInvalid = 34,   // a symbol the format does not define
        kSubtable = 64,  // plus the subtable's index bits; value: its first entry
    };
    struct Entry {
        std::uint16_t value = 0;
        std::uint8_t length = 0;  // bits of the whole code (for kSubtable: rootBits)
        std::uint8_t op = kInvalid;
    };

    // Builds the table from the code lengths of symbols 0 .. lengths.size()-1;
    // symbols[s] gives symbol s's value and op. Returns 0 for a complete
    // code, a negative value for an over-subscribed one and a positive value
    // for an incomplete one (no codes at all included); only a complete
    // code leaves a usable table.
    int build(std::span<const std::uint8_t> lengths, std::span<const Entry> symbols, int rootBits);

    // The table's entries for decoding; valid until the next build. A copy
    // held in a local stays in registers while output is stored.
    struct View {
        const Entry* entries;
        std::uint32_t rootMask;
        // The entry of the code at the low bits of `bits`; its length may
        // exceed the bits really available, which the caller checks.
        Entry decode(std::uint64_t bits) const
        {
            Entry e = entries[bits & rootMask];
            if (e.op >= kSubtable)
                e = entries[e.value + ((bits >> e.length) & ((1u << (e.op - kSubtable)) - 1))];
            return e;
        }
    };
    View view() const { return {m_entries.data(), m_rootMask}; }

private:
    std::vector<Entry> m_entries;
    std::uint32_t m_rootMask = 0;
};

class Inflater {
public:
    // Decodes `input` into `output`; the bytes decoded before a failure stay
    // in `output`. `deflate64` enables length code 285 with 16 extra bits and
    // distance codes 30 and 31.
    InflateStatus inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool deflate64);
    // Bytes written by the last call.
    std::size_t written() const { return m_outPos; }

private:
    // Not yet consumed input bits, least significant first. Bits above
    // `count` are zero or the input's next bits, so loading a word again
    // over them changes nothing.
    struct BitReader {
        const std::uint8_t* in = nullptr;
        const std::uint8_t* end = nullptr;
        std::uint64_t buffer = 0;
        unsigned count = 0;

        // At least 56 bits, or all that is left of the input.
        void refill();
        void refillBytes();  // the same a byte at a time, near the input's end
        void consume(unsigned n)
        {
            buffer >>= n;
            count -= n;
        }
        // Takes n bits (at most 32); false when the input has fewer.
        bool take(unsigned n, std::uint32_t& value);
        // Drops `skip` bits and takes the n after them, which must be there.
        std::uint32_t field(unsigned skip, unsigned n);
    };

    // How a block ended: at its end-of-block code, with the output full,
    // or (inside decodeCodes only) not yet.
    enum class BlockEnd { Block, Stop, Next };
    InflateStatus decodeStoredBlock();
    InflateStatus buildFixedTables();
    InflateStatus readDynamicTables();
    InflateStatus readCodeLengths(const HuffmanTable& lengthCode, std::uint8_t* lengths, int count);
    InflateStatus decodeCodes(const HuffmanTable& literals, const HuffmanTable& distances, BlockEnd& end);
    // Decodes symbols until the block ends; the fast kind returns early
    // (end stays Next) when the input or the output is nearly used up.
    template <bool kCareful>
    InflateStatus decodeSymbols(HuffmanTable::View literals, HuffmanTable::View distances, BitReader& state,
                                std::uint8_t*& position, BlockEnd& end);

    BitReader m_bits;
    std::span<std::uint8_t> m_out;
    std::size_t m_outPos = 0;
    bool m_deflate64 = false;
    bool m_fixedBuilt = false;
    bool m_fixedDeflate64 = false;  // the option the fixed tables were built for
    HuffmanTable m_fixedLiterals;
    HuffmanTable m_fixedDistances;
    HuffmanTable m_literals;
    HuffmanTable m_distances;
};
