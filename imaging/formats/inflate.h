#pragma once
// A decoder for zlib streams (RFC 1950 wrapping RFC 1951 deflate data) into
// a buffer of known size. The two header bytes are skipped unexamined and
// the Adler-32 trailer is never read. Output is bounded by the buffer: a
// literal or stored block that does not fit is an error, a match that runs
// into the end of the buffer ends decoding there successfully.
//
// Huffman codes are decoded through flat tables indexed by the next
// (bit-reversed) input bits, one probe per symbol.

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

// One decoding table: entry i describes the code whose bits, read least
// significant first, are the low `length` bits of i.
class HuffmanTable {
public:
    // Builds the table from the code lengths of symbols 0 .. lengths.size()-1.
    // Returns 0 for a complete code, a negative value for an over-subscribed
    // one and a positive value for an incomplete one (no codes at all included).
    int build(std::span<const std::uint8_t> lengths);
    int longest() const { return m_longest; }
    struct Entry {
        std::uint16_t symbol = 0;
        std::uint8_t length = 0;  // 0: no code has these bits
    };
    const Entry& lookup(std::uint32_t bits) const { return m_entries[bits & m_mask]; }

private:
    std::vector<Entry> m_entries;
    std::uint32_t m_mask = 0;
    int m_longest = 0;
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
    enum class BlockEnd { Next, Stop };
    bool needBits(int n);
    bool getBits(int n, std::uint32_t& value);
    void dropBits(int n);
    InflateStatus decodeStoredBlock();
    InflateStatus buildFixedTables();
    InflateStatus readDynamicTables();
    InflateStatus readCodeLengths(const HuffmanTable& lengthCode, std::uint8_t* lengths, int count);
    InflateStatus decodeSymbol(const HuffmanTable& table, int& symbol);
    InflateStatus decodeCodes(const HuffmanTable& literals, const HuffmanTable& distances, BlockEnd& end);

    std::span<const std::uint8_t> m_in;
    std::span<std::uint8_t> m_out;
    std::size_t m_inPos = 0;
    std::size_t m_outPos = 0;
    std::uint64_t m_bitBuffer = 0;
    int m_bitCount = 0;
    bool m_deflate64 = false;
    bool m_fixedBuilt = false;
    HuffmanTable m_fixedLiterals;
    HuffmanTable m_fixedDistances;
    HuffmanTable m_literals;
    HuffmanTable m_distances;
};
