#include "imaging/formats/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "platform/language/language.h"

namespace {

using Entry = HuffmanTable::Entry;

constexpr int kMaxBits = 15;          // longest deflate code
constexpr int kLiteralCodes = 288;    // 286 and 287 take part in the fixed code only
constexpr int kDistanceCodes = 32;    // 30 and 31 are deflate64 only
constexpr int kLiteralRootBits = 10;  // most literal/length codes are shorter
constexpr int kDistanceRootBits = 8;
constexpr int kCodeLengthRootBits = 7;  // the longest code-length code: no subtables
// A distance code and its extra bits (deflate64 included), and a
// code-length code with its longest run field: refills are due below these.
constexpr unsigned kMaxDistanceBits = 15 + 14;
constexpr unsigned kMaxCodeLengthBits = 7 + 7;
// How close to the ends of the input and the output symbols are decoded
// without checks: two word refills, two literals.
constexpr std::ptrdiff_t kFastInputMargin = 16;
constexpr std::ptrdiff_t kFastOutputMargin = 2;

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
// Order in which the code-length code's lengths are stored (RFC 1951 3.2.7).
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

// What each literal/length symbol means. Deflate64 gives symbol 285 the
// lengths 3 to 65538 (16 extra bits) instead of 258 alone.
constexpr std::array<Entry, kLiteralCodes> literalSymbols(bool deflate64)
{
    std::array<Entry, kLiteralCodes> symbols{};
    for (int s = 0; s < 256; ++s)
        symbols[std::size_t(s)] = {std::uint16_t(s), 0, HuffmanTable::kLiteral};
    symbols[256] = {0, 0, HuffmanTable::kEndOfBlock};
    for (std::size_t i = 0; i < kLengthBase.size(); ++i)
        symbols[257 + i] = {kLengthBase[i], 0, kLengthExtra[i]};
    if (deflate64)
        symbols[285] = {3, 0, 16};
    return symbols;
}

constexpr std::array<Entry, kDistanceCodes> distanceSymbols(bool deflate64)
{
    std::array<Entry, kDistanceCodes> symbols{};
    for (std::size_t i = 0; i < kDistanceCodes; ++i)
        symbols[i] = {kDistanceBase[i], 0, kDistanceExtra[i]};
    if (!deflate64)
        symbols[30] = symbols[31] = Entry{};
    return symbols;
}

constexpr std::array<Entry, 19> codeLengthSymbols()
{
    std::array<Entry, 19> symbols{};
    for (std::size_t s = 0; s < symbols.size(); ++s)
        symbols[s] = {std::uint16_t(s), 0, HuffmanTable::kLiteral};
    return symbols;
}

constexpr auto kLiteralSymbols = literalSymbols(false);
constexpr auto kLiteralSymbols64 = literalSymbols(true);
constexpr auto kDistanceSymbols = distanceSymbols(false);
constexpr auto kDistanceSymbols64 = distanceSymbols(true);
constexpr auto kCodeLengthSymbols = codeLengthSymbols();

std::uint32_t reverseBits(std::uint32_t code, int n)
{
    std::uint32_t reversed = 0;
    for (int i = 0; i < n; ++i) {
        reversed = (reversed << 1) | (code & 1);
        code >>= 1;
    }
    return reversed;
}

std::uint64_t loadLittleEndian64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = __builtin_bswap64(v);
    return v;
}

template <std::size_t N>
void copyWord(std::uint8_t* dst, const std::uint8_t* src)
{
    std::uint8_t word[N];
    std::memcpy(word, src, N);
    std::memcpy(dst, word, N);
}

// A copy whose source lies at least 8 bytes back: every word read holds
// bytes already final, so whole words reproduce the byte-by-byte copy. The
// last word ends exactly at the match's end (overlapping the one before):
// nothing behind the match is touched.
inline void copyFar(std::uint8_t* dst, std::size_t distance, std::size_t length)
{
    const std::uint8_t* src = dst - distance;
    if (length >= 8) {
        for (std::size_t i = 0; i + 8 < length; i += 8)
            copyWord<8>(dst + i, src + i);
        copyWord<8>(dst + length - 8, src + length - 8);
    } else if (length >= 4) {
        copyWord<4>(dst, src);
        copyWord<4>(dst + length - 4, src + length - 4);
    } else {
        for (std::size_t i = 0; i < length; ++i)
            dst[i] = src[i];
    }
}

// Overlapping copies must go forward byte by byte: a distance shorter than
// the length repeats the last `distance` bytes. Such a match is periodic,
// so it is also a copy from any multiple of the distance back, once that
// many bytes exist: the first few bytes go one by one, the rest by words.
inline void copyMatch(std::uint8_t* dst, std::size_t distance, std::size_t length)
{
    if (distance >= 8) {
        copyFar(dst, distance, length);
    } else if (distance == 1) {
        std::memset(dst, dst[-1], length);
    } else {
        const std::size_t period = distance * ((8 + distance - 1) / distance);
        const std::size_t head = std::min(length, period - distance);
        const std::uint8_t* src = dst - distance;
        for (std::size_t i = 0; i < head; ++i)
            dst[i] = src[i];
        copyFar(dst + head, period, length - head);
    }
}

}  // namespace

std::string inflateStatusText(InflateStatus status)
{
    switch (status) {
    case InflateStatus::Ok: return lang::tr("no error", "无错误");
    case InflateStatus::InputExhausted: return lang::tr("the data ends inside a block", "数据在块内结束");
    case InflateStatus::BadBlockType: return lang::tr("block type 3", "块类型 3");
    case InflateStatus::StoredOverrun:
        return lang::tr("a stored block runs past the data or the image", "存储块超出了数据或图像");
    case InflateStatus::StoredLengthMismatch:
        return lang::tr("a stored block's length check fails", "存储块的长度校验失败");
    case InflateStatus::TooManyCodes: return lang::tr("a block declares too many codes", "块声明的编码过多");
    case InflateStatus::BadCodeLengthTable: return lang::tr("the code-length code is invalid", "码长编码无效");
    case InflateStatus::RepeatWithoutPrevious:
        return lang::tr("a repeat code comes before any length", "重复码出现在任何码长之前");
    case InflateStatus::LengthRunTooLong: return lang::tr("a run of code lengths is too long", "码长序列过长");
    case InflateStatus::BadLiteralTable: return lang::tr("the literal code is over-subscribed", "字面量编码过度分配");
    case InflateStatus::IncompleteLiteralCode: return lang::tr("the literal code is incomplete", "字面量编码不完整");
    case InflateStatus::BadDistanceTable: return lang::tr("the distance code is over-subscribed", "距离编码过度分配");
    case InflateStatus::IncompleteDistanceCode: return lang::tr("the distance code is incomplete", "距离编码不完整");
    case InflateStatus::BadSymbol: return lang::tr("an invalid code", "无效的编码");
    case InflateStatus::DistanceTooFar:
        return lang::tr("a distance reaches before the start", "距离超出了开头");
    case InflateStatus::OutputFull: return lang::tr("more data than the image holds", "数据多于图像的容量");
    }
    return {};
}

int HuffmanTable::build(std::span<const std::uint8_t> lengths, std::span<const Entry> symbols, int rootBits)
{
    std::array<int, kMaxBits + 1> count{};
    for (std::uint8_t len : lengths) {
        if (len > kMaxBits)
            return -1;
        ++count[len];
    }
    count[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
        left = 2 * left - count[len];
        if (left < 0)
            return left;
    }
    if (left > 0)
        return left;

    // Canonical codes (RFC 1951 3.2.2), each stored bit-reversed: the bit
    // reader hands over the first code bit in the lowest position.
    std::array<std::uint32_t, kMaxBits + 1> next{};
    std::uint32_t code = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
        code = (code + std::uint32_t(count[len - 1])) << 1;
        next[len] = code;
    }
    const std::uint32_t rootSize = 1u << rootBits;

    // A code longer than the root lives in the subtable of its first
    // rootBits bits, sized for the longest code sharing them.
    std::array<std::uint8_t, 1u << kLiteralRootBits> longest{};
    std::array<std::uint32_t, kMaxBits + 1> longCode = next;
    for (std::size_t s = 0; s < lengths.size(); ++s)
        if (const int len = lengths[s]; len > rootBits) {
            const std::uint32_t prefix = reverseBits(longCode[std::size_t(len)]++, len) & (rootSize - 1);
            longest[prefix] = std::max(longest[prefix], std::uint8_t(len));
        }
    std::size_t size = rootSize;
    for (std::uint32_t prefix = 0; prefix < rootSize; ++prefix)
        if (longest[prefix])
            size += std::size_t(1) << (longest[prefix] - rootBits);
    m_entries.assign(size, Entry{});
    std::size_t offset = rootSize;
    for (std::uint32_t prefix = 0; prefix < rootSize; ++prefix)
        if (longest[prefix]) {
            const int subBits = longest[prefix] - rootBits;
            m_entries[prefix] = {std::uint16_t(offset), std::uint8_t(rootBits), std::uint8_t(kSubtable + subBits)};
            offset += std::size_t(1) << subBits;
        }

    // Every index whose low bits are a code decodes to that code's symbol.
    for (std::size_t s = 0; s < lengths.size(); ++s) {
        const int len = lengths[s];
        if (len == 0)
            continue;
        const std::uint32_t reversed = reverseBits(next[std::size_t(len)]++, len);
        Entry entry = symbols[s];
        entry.length = std::uint8_t(len);
        if (len <= rootBits) {
            for (std::uint32_t i = reversed; i < rootSize; i += 1u << len)
                m_entries[i] = entry;
            continue;
        }
        const Entry& sub = m_entries[reversed & (rootSize - 1)];
        const std::uint32_t subSize = 1u << (sub.op - kSubtable);
        for (std::uint32_t i = reversed >> rootBits; i < subSize; i += 1u << (len - rootBits))
            m_entries[sub.value + i] = entry;
    }
    m_rootMask = rootSize - 1;
    return 0;
}

inline void Inflater::BitReader::refill()
{
    if (end - in >= 8) {
        // A whole word at once; only the whole bytes that fit are counted,
        // the rest stays behind `count` as a copy of the next input bits.
        buffer |= loadLittleEndian64(in) << count;
        in += (63 - count) >> 3;
        count |= 56;
        return;
    }
    refillBytes();
}

void Inflater::BitReader::refillBytes()
{
    while (count <= 56 && in != end) {
        buffer |= std::uint64_t(*in++) << count;
        count += 8;
    }
}

inline std::uint32_t Inflater::BitReader::field(unsigned skip, unsigned n)
{
    const std::uint32_t value = std::uint32_t((buffer >> skip) & ((std::uint64_t(1) << n) - 1));
    consume(skip + n);
    return value;
}

bool Inflater::BitReader::take(unsigned n, std::uint32_t& value)
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

InflateStatus Inflater::decodeStoredBlock()
{
    // The block starts at the next byte boundary: the partial byte's bits
    // are dropped, whole bytes already loaded go back to the input.
    m_bits.in -= m_bits.count / 8;
    m_bits.buffer = 0;
    m_bits.count = 0;
    if (m_bits.end - m_bits.in < 5)
        return InflateStatus::StoredOverrun;
    const std::uint8_t* p = m_bits.in;
    const std::uint32_t len = p[0] | (p[1] << 8);
    const std::uint32_t nlen = p[2] | (p[3] << 8);
    if (len != (~nlen & 0xFFFF))
        return InflateStatus::StoredLengthMismatch;
    m_bits.in += 4;
    if (std::size_t(m_bits.end - m_bits.in) < len || m_out.size() - m_outPos < len)
        return InflateStatus::StoredOverrun;
    std::memcpy(m_out.data() + m_outPos, m_bits.in, len);
    m_bits.in += len;
    m_outPos += len;
    return InflateStatus::Ok;
}

InflateStatus Inflater::buildFixedTables()
{
    if (m_fixedBuilt && m_fixedDeflate64 == m_deflate64)
        return InflateStatus::Ok;
    std::array<std::uint8_t, kLiteralCodes> literal{};
    std::fill(literal.begin(), literal.begin() + 144, 8);
    std::fill(literal.begin() + 144, literal.begin() + 256, 9);
    std::fill(literal.begin() + 256, literal.begin() + 280, 7);
    std::fill(literal.begin() + 280, literal.end(), 8);
    std::array<std::uint8_t, kDistanceCodes> distance{};
    distance.fill(5);
    if (m_fixedLiterals.build(literal, m_deflate64 ? kLiteralSymbols64 : kLiteralSymbols, kLiteralRootBits) != 0 ||
        m_fixedDistances.build(distance, m_deflate64 ? kDistanceSymbols64 : kDistanceSymbols, kDistanceRootBits) != 0)
        return InflateStatus::BadLiteralTable;
    m_fixedBuilt = true;
    m_fixedDeflate64 = m_deflate64;
    return InflateStatus::Ok;
}

InflateStatus Inflater::readCodeLengths(const HuffmanTable& lengthCode, std::uint8_t* lengths, int count)
{
    int index = 0;
    while (index < count) {
        if (m_bits.count < kMaxCodeLengthBits)
            m_bits.refill();
        // Near the end of the input the missing bits read as zero; the
        // code found must not need them.
        const Entry entry = lengthCode.view().decode(m_bits.buffer);
        if (entry.length > m_bits.count)
            return InflateStatus::InputExhausted;
        m_bits.consume(entry.length);
        const int symbol = entry.value;
        if (symbol < 16) {
            lengths[index++] = std::uint8_t(symbol);
            continue;
        }
        std::uint32_t repeat = 0;
        std::uint8_t value = 0;
        bool ok = false;
        if (symbol == 16) {
            if (index == 0)
                return InflateStatus::RepeatWithoutPrevious;
            value = lengths[index - 1];
            ok = m_bits.take(2, repeat);
            repeat += 3;
        } else if (symbol == 17) {
            ok = m_bits.take(3, repeat);
            repeat += 3;
        } else {
            ok = m_bits.take(7, repeat);
            repeat += 11;
        }
        if (!ok)
            return InflateStatus::InputExhausted;
        if (index + int(repeat) > count)
            return InflateStatus::LengthRunTooLong;
        std::fill_n(lengths + index, repeat, value);
        index += int(repeat);
    }
    return InflateStatus::Ok;
}

InflateStatus Inflater::readDynamicTables()
{
    std::uint32_t hlit = 0, hdist = 0, hclen = 0;
    if (!m_bits.take(5, hlit) || !m_bits.take(5, hdist) || !m_bits.take(4, hclen))
        return InflateStatus::InputExhausted;
    hlit += 257;
    hdist += 1;
    hclen += 4;
    // Symbols 286 and 287 and distance codes 30 and 31 are never valid;
    // tables that declare them are refused before they are read.
    if (hlit > 286 || (hdist > 30 && !m_deflate64))
        return InflateStatus::TooManyCodes;

    std::array<std::uint8_t, 19> codeLengths{};
    for (std::uint32_t i = 0; i < hclen; ++i) {
        std::uint32_t len = 0;
        if (!m_bits.take(3, len))
            return InflateStatus::InputExhausted;
        codeLengths[kCodeLengthOrder[i]] = std::uint8_t(len);
    }
    HuffmanTable lengthCode;
    if (lengthCode.build(codeLengths, kCodeLengthSymbols, kCodeLengthRootBits) != 0)
        return InflateStatus::BadCodeLengthTable;

    // Literal/length and distance lengths form one sequence: a run may cross
    // from one into the other (RFC 1951 3.2.7).
    std::array<std::uint8_t, kLiteralCodes + kDistanceCodes> lengths{};
    if (InflateStatus s = readCodeLengths(lengthCode, lengths.data(), int(hlit + hdist)); s != InflateStatus::Ok)
        return s;
    // A positive result is an incomplete code, a negative one an
    // over-subscribed code; both are refused.
    const int literalsLeft = m_literals.build(std::span(lengths.data(), hlit),
                                              m_deflate64 ? kLiteralSymbols64 : kLiteralSymbols, kLiteralRootBits);
    if (literalsLeft != 0)
        return literalsLeft > 0 ? InflateStatus::IncompleteLiteralCode : InflateStatus::BadLiteralTable;
    const int distancesLeft = m_distances.build(std::span(lengths.data() + hlit, hdist),
                                                m_deflate64 ? kDistanceSymbols64 : kDistanceSymbols, kDistanceRootBits);
    if (distancesLeft != 0)
        return distancesLeft > 0 ? InflateStatus::IncompleteDistanceCode : InflateStatus::BadDistanceTable;
    return InflateStatus::Ok;
}

template <bool kCareful>
InflateStatus Inflater::decodeSymbols(HuffmanTable::View literals, HuffmanTable::View distances, BitReader& state,
                                      std::uint8_t*& position, BlockEnd& end)
{
    // The loop works on copies in locals: a store through the output
    // pointer may alias anything in memory and would force reloads.
    BitReader bits = state;
    std::uint8_t* out = position;
    std::uint8_t* const start = m_out.data();
    std::uint8_t* const limit = start + m_out.size();
    InflateStatus status = InflateStatus::Ok;
    for (;;) {
        // Away from the ends of the input and the output (the fast kind)
        // nothing needs checking but the match: each refill finds whole
        // words, and two literals always fit.
        if (!kCareful && (bits.end - bits.in < kFastInputMargin || limit - out < kFastOutputMargin))
            break;
        // After a refill two literal codes, or the longest length code and
        // its extra bits, are in the buffer; near the end of the input the
        // missing bits read as zero, and the code found must not need them.
        bits.refill();
        Entry entry = literals.decode(bits.buffer);
        if (kCareful && entry.length > bits.count) {
            status = InflateStatus::InputExhausted;
            break;
        }
        if (entry.op == HuffmanTable::kLiteral) {
            if (kCareful && out == limit) {
                status = InflateStatus::OutputFull;
                break;
            }
            *out++ = std::uint8_t(entry.value);
            bits.consume(entry.length);
            entry = literals.decode(bits.buffer);
            if (kCareful && entry.length > bits.count) {
                status = InflateStatus::InputExhausted;
                break;
            }
            if (entry.op == HuffmanTable::kLiteral) {
                if (kCareful && out == limit) {
                    status = InflateStatus::OutputFull;
                    break;
                }
                *out++ = std::uint8_t(entry.value);
                bits.consume(entry.length);
                continue;
            }
        }
        if (entry.op > HuffmanTable::kMaxExtra) {
            if (entry.op == HuffmanTable::kEndOfBlock) {
                bits.consume(entry.length);
                end = BlockEnd::Block;
            } else {
                status = InflateStatus::BadSymbol;
            }
            break;
        }
        // The extra bits follow the code: both are consumed at once.
        if (kCareful && entry.length + entry.op > bits.count) {
            status = InflateStatus::InputExhausted;
            break;
        }
        const std::size_t length = entry.value + bits.field(entry.length, entry.op);
        if (bits.count < kMaxDistanceBits)
            bits.refill();
        entry = distances.decode(bits.buffer);
        if (kCareful && entry.length > bits.count) {
            status = InflateStatus::InputExhausted;
            break;
        }
        if (entry.op > HuffmanTable::kMaxExtra) {
            status = InflateStatus::BadSymbol;
            break;
        }
        if (kCareful && entry.length + entry.op > bits.count) {
            status = InflateStatus::InputExhausted;
            break;
        }
        const std::size_t distance = entry.value + bits.field(entry.length, entry.op);
        if (distance > std::size_t(out - start)) {
            status = InflateStatus::DistanceTooFar;
            break;
        }
        const std::size_t room = std::size_t(limit - out);
        if (length > room) {
            copyMatch(out, distance, room);
            out = limit;
            end = BlockEnd::Stop;
            break;
        }
        copyMatch(out, distance, length);
        out += length;
    }
    state = bits;
    position = out;
    return status;
}

InflateStatus Inflater::decodeCodes(const HuffmanTable& literals, const HuffmanTable& distances, BlockEnd& end)
{
    std::uint8_t* out = m_out.data() + m_outPos;
    end = BlockEnd::Next;
    InflateStatus status = decodeSymbols<false>(literals.view(), distances.view(), m_bits, out, end);
    if (status == InflateStatus::Ok && end == BlockEnd::Next)
        status = decodeSymbols<true>(literals.view(), distances.view(), m_bits, out, end);
    m_outPos = std::size_t(out - m_out.data());
    return status;
}

InflateStatus Inflater::inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool deflate64)
{
    m_out = output;
    m_outPos = 0;
    m_bits = BitReader{};
    m_bits.in = input.data() + std::min<std::size_t>(2, input.size());  // the zlib header is not examined
    m_bits.end = input.data() + input.size();
    m_deflate64 = deflate64;

    for (;;) {
        std::uint32_t final = 0, type = 0;
        if (!m_bits.take(1, final) || !m_bits.take(2, type))
            return InflateStatus::InputExhausted;
        InflateStatus status = InflateStatus::Ok;
        BlockEnd end = BlockEnd::Block;
        if (type == 0) {
            status = decodeStoredBlock();
        } else if (type == 1) {
            status = buildFixedTables();
            if (status == InflateStatus::Ok)
                status = decodeCodes(m_fixedLiterals, m_fixedDistances, end);
        } else if (type == 2) {
            status = readDynamicTables();
            if (status == InflateStatus::Ok)
                status = decodeCodes(m_literals, m_distances, end);
        } else {
            status = InflateStatus::BadBlockType;
        }
        if (status != InflateStatus::Ok)
            return status;
        if (final || end == BlockEnd::Stop)
            return InflateStatus::Ok;
    }
}
