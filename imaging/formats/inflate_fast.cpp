// The inflate decoder's fast loop: no checks but of the symbols and the
// matches themselves, whole-word refills of the bit buffer and whole-word
// match copies, as the input and the output have room to spare.
#include <algorithm>

#include "imaging/formats/inflate_bits.h"

using namespace huffman;

namespace inflatebits {

namespace {

constexpr std::uint64_t kLiteralRootMask = (1u << kLiteralRootBits) - 1;
constexpr std::uint64_t kDistanceRootMask = (1u << kDistanceRootBits) - 1;

// A match copied in whole words (see copyMatchExactly for the format's
// rule) that may run up to kCopySlack bytes past the match's end, where the
// caller has room: each word read holds only final bytes, as it starts at
// least a word's width back.
constexpr std::size_t kCopySlack = 64;
[[gnu::always_inline]] inline void copyMatchFast(std::uint8_t* dst, std::size_t distance, std::size_t length)
{
    std::uint8_t* const end = dst + length;
    if (distance >= 16) {
        // Two words cover most matches; the longer ones go on in a loop.
        const std::uint8_t* src = dst - distance;
        copyBytes<16>(dst, src);
        copyBytes<16>(dst + 16, src + 16);
        if (length > 32) {
            copyBytes<16>(dst + 32, src + 32);
            copyBytes<16>(dst + 48, src + 48);
            for (dst += 64, src += 64; dst < end; dst += 16, src += 16)
                copyBytes<16>(dst, src);
        }
    } else if (distance == 1) {
        const std::uint64_t v = dst[-1] * 0x0101010101010101ull;
        for (; dst < end; dst += 8)
            std::memcpy(dst, &v, 8);
    } else if (distance >= 8) {
        for (; dst < end; dst += 8)
            copyBytes<8>(dst, dst - distance);
    } else {
        // Each word copied `distance` back makes `distance` more bytes final;
        // from 8 on, a whole multiple of the distance serves as the period.
        std::uint8_t* const start = dst;
        do {
            copyBytes<8>(dst, dst - distance);
            dst += distance;
        } while (dst - start < 8);
        const std::size_t period = std::size_t(dst - start);
        for (; dst < end; dst += 8)
            copyBytes<8>(dst, dst - period);
    }
}

// Away from the ends of the input and the output, and before `outStop`,
// nothing needs checking but the symbols and the match: each refill finds
// whole words, and the output has room for three literals and a match with
// its copy's overrun.
constexpr std::ptrdiff_t kFastInputMargin = 32;
constexpr std::size_t kLongestMatch = 258;
constexpr std::ptrdiff_t kFastOutputMargin = 3 + kLongestMatch + kCopySlack;
// A distance code with its extra bits, deflate64's included.
constexpr unsigned kMaxDistanceBits = 15 + 14;

// The fast loop's bits. Its count `left` is exact in its low byte only:
// whole entries are subtracted from it, their low byte being the bits they
// consume, and the byte never borrows as no entry takes more bits than are
// there.
struct FastBits {
    const std::uint8_t* in;
    std::uint64_t buffer;
    std::uint32_t left;

    // At least 56 bits; see BitReader::refill.
    [[gnu::always_inline]] void refill()
    {
        buffer |= loadLittleEndian64(in) << (left & 63);
        in += (~left & 63) >> 3;
        left |= 56;
    }
    [[gnu::always_inline]] void consume(Entry e)
    {
        buffer >>= e & 63;
        left -= e;
    }
    [[gnu::always_inline]] std::size_t valueWithExtra(Entry e)
    {
        const std::uint64_t bits = buffer & ((std::uint64_t(1) << (e & 63)) - 1);
        consume(e);
        return std::size_t(valueOf(e)) + std::size_t(bits >> ((e >> 8) & 63));
    }
};

// The fast loop, compiled for each deflate64 option, and once for the
// baseline instruction set and once with BMI (shifts by a register and bit
// masks in one instruction), chosen at run time.
template <bool kDeflate64>
[[gnu::always_inline]] inline InflateStatus decodeFastBody(const Entry* literals, const Entry* distances,
                                                          FastState& state, BlockEnd& end)
{
    // The loop works on copies in locals: a store through the output
    // pointer may alias anything in memory and would force reloads.
    FastBits bits{state.bits.in, state.bits.buffer, state.bits.count};
    std::uint8_t* out = state.out;
    std::uint8_t* const start = state.start;
    std::uint8_t* const limit = state.limit;
    const std::uint8_t* const inStop = state.bits.end - std::min(state.bits.end - bits.in, kFastInputMargin);
    const std::uint8_t* const outStop =
        std::min<const std::uint8_t*>(state.outStop, limit - std::min(limit - out, kFastOutputMargin));
    if (bits.in >= inStop || out >= outStop)
        return InflateStatus::Ok;
    // Each symbol's entry is looked up as soon as its bits are there: the
    // table read then overlaps the work on the symbol before it.
    bits.refill();
    Entry e = literals[bits.buffer & kLiteralRootMask];
    InflateStatus status = InflateStatus::Ok;
    do {
        // After a refill three literal codes (15 bits at most each) are in
        // the buffer; after two of them, still any code.
        if (e & kLiteral) {
            bits.consume(e);
            *out++ = std::uint8_t(valueOf(e));
            e = literals[bits.buffer & kLiteralRootMask];
            if (e & kLiteral) {
                bits.consume(e);
                *out++ = std::uint8_t(valueOf(e));
                e = literals[bits.buffer & kLiteralRootMask];
                if (e & kLiteral) {
                    bits.consume(e);
                    *out++ = std::uint8_t(valueOf(e));
                    bits.refill();
                    e = literals[bits.buffer & kLiteralRootMask];
                    continue;
                }
            }
            // A length and its extra bits, then a distance and its extra
            // bits: 20 + 28 bits, which a fresh refill holds.
            bits.refill();
        }
        if (e & kException) {
            // Rare: a code longer than the root, the end of the block, or a
            // symbol the format does not define.
            if (e & kSubtable)
                e = subtableEntry<kLiteralRootBits>(literals, e, bits.buffer);
            if (e & kLiteral) {
                bits.consume(e);
                *out++ = std::uint8_t(valueOf(e));
                bits.refill();
                e = literals[bits.buffer & kLiteralRootMask];
                continue;
            }
            if (e & kEndOfBlock) {
                bits.consume(e);
                end = BlockEnd::Block;
                break;
            }
            if (e & kException) {
                status = InflateStatus::BadSymbol;
                break;
            }
        }
        const std::size_t length = bits.valueWithExtra(e);
        if (kDeflate64 && std::uint8_t(bits.left) < kMaxDistanceBits)  // after 16 extra length bits
            bits.refill();
        e = distances[bits.buffer & kDistanceRootMask];
        if (e & kException) {
            if (e & kSubtable)
                e = subtableEntry<kDistanceRootBits>(distances, e, bits.buffer);
            if (e & kException) {
                status = InflateStatus::BadSymbol;
                break;
            }
        }
        const std::size_t distance = bits.valueWithExtra(e);
        if (distance > std::size_t(out - start)) {
            status = InflateStatus::DistanceTooFar;
            break;
        }
        bits.refill();
        e = literals[bits.buffer & kLiteralRootMask];
        // Deflate's longest match fits with its overrun; deflate64's
        // longer ones are measured against the room left.
        if (!kDeflate64 || length <= kLongestMatch || length + kCopySlack <= std::size_t(limit - out)) {
            copyMatchFast(out, distance, length);
            out += length;
        } else if (length <= std::size_t(limit - out)) {
            copyMatchExactly(out, distance, length);
            out += length;
        } else {
            copyMatchExactly(out, distance, std::size_t(limit - out));
            out = limit;
            end = BlockEnd::Stop;
            break;
        }
    } while (bits.in < inStop && out < outStop);
    state.bits.in = bits.in;
    state.bits.buffer = bits.buffer;
    state.bits.count = std::uint8_t(bits.left);
    state.out = out;
    return status;
}

using DecodeFastFn = InflateStatus (*)(const Entry*, const Entry*, FastState&, BlockEnd&);

template <bool kDeflate64>
InflateStatus decodeFastPlain(const Entry* literals, const Entry* distances, FastState& state, BlockEnd& end)
{
    return decodeFastBody<kDeflate64>(literals, distances, state, end);
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
template <bool kDeflate64>
[[gnu::target("bmi,bmi2")]] InflateStatus decodeFastBmi(const Entry* literals, const Entry* distances,
                                                        FastState& state, BlockEnd& end)
{
    return decodeFastBody<kDeflate64>(literals, distances, state, end);
}

template <bool kDeflate64>
DecodeFastFn chooseDecodeFast()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("bmi") && __builtin_cpu_supports("bmi2") ? decodeFastBmi<kDeflate64>
                                                                             : decodeFastPlain<kDeflate64>;
}
#else
template <bool kDeflate64>
DecodeFastFn chooseDecodeFast()
{
    return decodeFastPlain<kDeflate64>;
}
#endif

}  // namespace

InflateStatus decodeFast(const Entry* literals, const Entry* distances, bool deflate64, FastState& state,
                         BlockEnd& end)
{
    static const DecodeFastFn decode = chooseDecodeFast<false>();
    static const DecodeFastFn decode64 = chooseDecodeFast<true>();
    return (deflate64 ? decode64 : decode)(literals, distances, state, end);
}

}  // namespace inflatebits

