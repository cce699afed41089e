#pragma once
// A decoder for zlib streams (RFC 1950 wrapping RFC 1951 deflate data) into
// a buffer of known size. The two header bytes are skipped unexamined and
// the Adler-32 trailer is never read. Output is bounded by the buffer: a
// literal or stored block that does not fit is an error, a match that runs
// into the end of the buffer ends decoding there successfully. Nothing is
// written outside the buffer; the bytes behind the last decoded one may have
// served as scratch and hold no particular value.
//
// Huffman codes are decoded through two-level tables: the next input bits
// index a root table whose entry is the symbol, or points to a subtable for
// the longer codes. Entries carry what the symbol means (a literal, or a
// length or distance base with the count of its extra bits), so that a
// length or distance with its extra bits costs one or two table reads.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

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

class Inflater {
public:
    // Allocates the decoding tables (about 30 KB); may throw std::bad_alloc.
    Inflater();
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    // Decodes `input` into `output`; the bytes decoded before a failure stay
    // in `output`. `deflate64` enables length code 285 with 16 extra bits and
    // distance codes 30 and 31. Never throws.
    InflateStatus inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool deflate64);

    // The same a stretch at a time, so that a caller can use the first
    // bytes while they are still in the cache: start, then decodeUntil as
    // often as needed. Both spans must stay valid, and the decoded bytes
    // unchanged (they are the window later matches copy from), until the
    // stream is finished.
    void start(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool deflate64);
    // Decodes until at least `bytes` bytes of output are written, the stream
    // is finished, or it fails; returns the status so far, which is the
    // whole stream's once finished. Asking for all of the output or more
    // decodes to the stream's end, as inflate does.
    InflateStatus decodeUntil(std::size_t bytes);
    // True once the stream's last block has ended, the output is full, or
    // decoding failed.
    bool finished() const;

    // Bytes written so far.
    std::size_t written() const;

    struct State;  // the decoder and its tables (inflate.cpp)

private:
    std::unique_ptr<State> m_state;
};
