#pragma once
// The inflate decoder's inner parts, shared by its two files: the bit
// reader, the match copy, and the fast loop that decodes the symbols of a
// Huffman block away from the ends of the input and the output
// (inflate_fast.cpp). Not for use outside the decoder.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "imaging/formats/huffman_table.h"
#include "imaging/formats/inflate.h"

namespace inflatebits {

using huffman::Entry;

[[gnu::always_inline]] inline std::uint64_t loadLittleEndian64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

template <std::size_t N>
[[gnu::always_inline]] inline void copyBytes(std::uint8_t* dst, const std::uint8_t* src)
{
    std::uint8_t chunk[N];
    std::memcpy(chunk, src, N);
    std::memcpy(dst, chunk, N);
}

// Overlapping copies must go forward byte by byte: a distance shorter than
// the length repeats the last `distance` bytes. Such a match is periodic,
// so it is also a copy from any multiple of the distance back, once that
// many bytes exist. This copy writes exactly the match, nothing behind it.
inline void copyMatchExactly(std::uint8_t* dst, std::size_t distance, std::size_t length)
{
    std::size_t done = 0;
    if (distance < 8) {
        const std::size_t period = distance * ((8 + distance - 1) / distance);
        for (; done < length && done < period; ++done)
            *(dst + done) = *(dst + done - distance);
        distance = period;
    }
    for (; done + 8 <= length; done += 8)
        copyBytes<8>(dst + done, dst + done - distance);
    for (; done < length; ++done)
        *(dst + done) = *(dst + done - distance);
}

// Not yet consumed input bits, least significant first. Bits above `count`
// are zero or the input's next bits, so loading a word again over them
// changes nothing.
struct BitReader {
    const std::uint8_t* in = nullptr;
    const std::uint8_t* end = nullptr;
    std::uint64_t buffer = 0;
    unsigned count = 0;

    // At least 56 bits, or all that is left of the input. A whole word is
    // loaded where 8 bytes remain; only the whole bytes that fit are
    // counted, the rest stays as a copy of the next bits.
    void refill()
    {
        if (end - in >= 8) {
            buffer |= loadLittleEndian64(in) << count;
            in += (63 - count) >> 3;
            count |= 56;
            return;
        }
        while (count <= 56 && in != end) {
            buffer |= std::uint64_t(*in++) << count;
            count += 8;
        }
    }
    void consume(unsigned n)
    {
        buffer >>= n;
        count -= n;
    }
    // Takes n bits (at most 32); false when the input has fewer.
    bool take(unsigned n, std::uint32_t& value)
    {
        if (count < n) {
            refill();
            if (count < n)
                return false;
        }
        value = std::uint32_t(buffer & ((std::uint64_t(1) << n) - 1));
        consume(n);
        return true;
    }
    // The value of a length or distance entry: its base plus the extra bits
    // behind its code. Consumes the entry's bits.
    std::size_t valueWithExtra(Entry e)
    {
        const std::uint64_t bits = buffer & ((std::uint64_t(1) << huffman::consumeOf(e)) - 1);
        consume(huffman::consumeOf(e));
        return huffman::valueOf(e) + std::size_t(bits >> huffman::codeLengthOf(e));
    }
};

// How a block's symbols ended: at its end-of-block code, with the output
// full, or (the fast loop only) not yet.
enum class BlockEnd { Block, Stop, Next };

// What the fast loop works on: the bits, the output from `start` to
// `limit` with `out` the next byte, and where it hands back at the latest.
struct FastState {
    BitReader& bits;
    std::uint8_t* const start;
    std::uint8_t*& out;
    std::uint8_t* const limit;
    const std::uint8_t* const outStop;
};

// Decodes the symbols of a Huffman block with the tables given until the
// block ends (end = Block), a match fills the output (end = Stop), or the
// input or the output comes near its end or `outStop` (end = Next: the
// caller goes on carefully).
InflateStatus decodeFast(const Entry* literals, const Entry* distances, bool deflate64, FastState& state,
                         BlockEnd& end);

}  // namespace inflatebits
