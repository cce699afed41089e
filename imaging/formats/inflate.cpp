#include "imaging/formats/inflate.h"

#include <algorithm>
#include <array>

#include "platform/language/language.h"

namespace {

constexpr int kMaxBits = 15;          // longest deflate code
constexpr int kLiteralCodes = 288;    // 286 and 287 take part in the fixed code only
constexpr int kDistanceCodes = 32;    // 30 and 31 are deflate64 only
constexpr int kEndOfBlock = 256;

// RFC 1951 section 3.2.5, with the deflate64 entries for distances 30 and 31.
constexpr std::array<std::uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                       31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint32_t, 32> kDistanceBase = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,   193,
    257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
constexpr std::array<std::uint8_t, 32> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                                         7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13, 14, 14};
// Order in which the code-length code's lengths are stored (RFC 1951 3.2.7).
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

std::uint32_t reverseBits(std::uint32_t code, int n)
{
    std::uint32_t reversed = 0;
    for (int i = 0; i < n; ++i) {
        reversed = (reversed << 1) | (code & 1);
        code >>= 1;
    }
    return reversed;
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

int HuffmanTable::build(std::span<const std::uint8_t> lengths)
{
    std::array<int, kMaxBits + 1> count{};
    m_longest = 0;
    for (std::uint8_t len : lengths) {
        if (len > kMaxBits)
            return -1;
        ++count[len];
        m_longest = std::max<int>(m_longest, len);
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

    // Canonical codes (RFC 1951 3.2.2); stored reversed because the bit
    // reader hands over the first code bit in the lowest position.
    std::array<std::uint32_t, kMaxBits + 2> next{};
    std::uint32_t code = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
        code = (code + std::uint32_t(count[len - 1])) << 1;
        next[len] = code;
    }
    const std::size_t size = std::size_t(1) << m_longest;
    m_entries.assign(size, Entry{});
    m_mask = std::uint32_t(size - 1);
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
        const int len = lengths[symbol];
        if (len == 0)
            continue;
        const std::uint32_t reversed = reverseBits(next[len]++, len);
        // Every index whose low `len` bits are the code decodes to this symbol.
        for (std::size_t i = reversed; i < size; i += std::size_t(1) << len)
            m_entries[i] = Entry{std::uint16_t(symbol), std::uint8_t(len)};
    }
    return 0;
}

bool Inflater::needBits(int n)
{
    if (m_bitCount >= n)
        return true;
    if (m_in.size() - m_inPos >= 8) {
        // Whole bytes up to 63 bits at once; the buffer only ever holds the
        // input's next bits, so bytes loaded twice carry the same values.
        std::uint64_t word = 0;
        for (int i = 7; i >= 0; --i)
            word = (word << 8) | m_in[m_inPos + std::size_t(i)];
        const int bytes = (63 - m_bitCount) >> 3;
        m_bitBuffer = (m_bitBuffer & ((std::uint64_t(1) << m_bitCount) - 1)) | (word << m_bitCount);
        m_inPos += std::size_t(bytes);
        m_bitCount += bytes * 8;
        return true;
    }
    while (m_bitCount < n) {
        if (m_inPos >= m_in.size())
            return false;
        m_bitBuffer |= std::uint64_t(m_in[m_inPos++]) << m_bitCount;
        m_bitCount += 8;
    }
    return true;
}

bool Inflater::getBits(int n, std::uint32_t& value)
{
    if (!needBits(n))
        return false;
    value = std::uint32_t(m_bitBuffer & ((std::uint64_t(1) << n) - 1));
    dropBits(n);
    return true;
}

void Inflater::dropBits(int n)
{
    m_bitBuffer >>= n;
    m_bitCount -= n;
}

InflateStatus Inflater::decodeStoredBlock()
{
    // The block starts at the next byte boundary: the partial byte's bits
    // are dropped, whole bytes already loaded go back to the input.
    m_inPos -= std::size_t(m_bitCount / 8);
    m_bitBuffer = 0;
    m_bitCount = 0;
    if (m_in.size() - m_inPos < 5)
        return InflateStatus::StoredOverrun;
    const std::uint32_t len = m_in[m_inPos] | (m_in[m_inPos + 1] << 8);
    const std::uint32_t nlen = m_in[m_inPos + 2] | (m_in[m_inPos + 3] << 8);
    if (len != (~nlen & 0xFFFF))
        return InflateStatus::StoredLengthMismatch;
    m_inPos += 4;
    if (m_in.size() - m_inPos < len || m_out.size() - m_outPos < len)
        return InflateStatus::StoredOverrun;
    std::copy_n(m_in.begin() + std::ptrdiff_t(m_inPos), len, m_out.begin() + std::ptrdiff_t(m_outPos));
    m_inPos += len;
    m_outPos += len;
    return InflateStatus::Ok;
}

InflateStatus Inflater::buildFixedTables()
{
    if (m_fixedBuilt)
        return InflateStatus::Ok;
    std::array<std::uint8_t, kLiteralCodes> literal{};
    std::fill(literal.begin(), literal.begin() + 144, 8);
    std::fill(literal.begin() + 144, literal.begin() + 256, 9);
    std::fill(literal.begin() + 256, literal.begin() + 280, 7);
    std::fill(literal.begin() + 280, literal.end(), 8);
    std::array<std::uint8_t, kDistanceCodes> distance{};
    distance.fill(5);
    if (m_fixedLiterals.build(literal) != 0 || m_fixedDistances.build(distance) != 0)
        return InflateStatus::BadLiteralTable;
    m_fixedBuilt = true;
    return InflateStatus::Ok;
}

InflateStatus Inflater::decodeSymbol(const HuffmanTable& table, int& symbol)
{
    // Near the end of the input fewer bits than the longest code may remain;
    // the missing ones read as zero and the entry must not need them.
    needBits(table.longest());
    const HuffmanTable::Entry& entry = table.lookup(std::uint32_t(m_bitBuffer));
    if (entry.length == 0)
        return InflateStatus::BadSymbol;
    if (entry.length > m_bitCount)
        return InflateStatus::InputExhausted;
    dropBits(entry.length);
    symbol = entry.symbol;
    return InflateStatus::Ok;
}

InflateStatus Inflater::readCodeLengths(const HuffmanTable& lengthCode, std::uint8_t* lengths, int count)
{
    int index = 0;
    while (index < count) {
        int symbol = 0;
        if (InflateStatus s = decodeSymbol(lengthCode, symbol); s != InflateStatus::Ok)
            return s;
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
            ok = getBits(2, repeat);
            repeat += 3;
        } else if (symbol == 17) {
            ok = getBits(3, repeat);
            repeat += 3;
        } else {
            ok = getBits(7, repeat);
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
    if (!getBits(5, hlit) || !getBits(5, hdist) || !getBits(4, hclen))
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
        if (!getBits(3, len))
            return InflateStatus::InputExhausted;
        codeLengths[kCodeLengthOrder[i]] = std::uint8_t(len);
    }
    HuffmanTable lengthCode;
    if (lengthCode.build(codeLengths) != 0)
        return InflateStatus::BadCodeLengthTable;

    // Literal/length and distance lengths form one sequence: a run may cross
    // from one into the other (RFC 1951 3.2.7).
    std::array<std::uint8_t, kLiteralCodes + kDistanceCodes> lengths{};
    if (InflateStatus s = readCodeLengths(lengthCode, lengths.data(), int(hlit + hdist)); s != InflateStatus::Ok)
        return s;
    // A positive result is an incomplete code, a negative one an
    // over-subscribed code; both are refused.
    if (const int left = m_literals.build(std::span(lengths.data(), hlit)); left != 0)
        return left > 0 ? InflateStatus::IncompleteLiteralCode : InflateStatus::BadLiteralTable;
    if (const int left = m_distances.build(std::span(lengths.data() + hlit, hdist)); left != 0)
        return left > 0 ? InflateStatus::IncompleteDistanceCode : InflateStatus::BadDistanceTable;
    return InflateStatus::Ok;
}

InflateStatus Inflater::decodeCodes(const HuffmanTable& literals, const HuffmanTable& distances, BlockEnd& end)
{
    for (;;) {
        int symbol = 0;
        if (InflateStatus s = decodeSymbol(literals, symbol); s != InflateStatus::Ok)
            return s;
        if (symbol < 256) {
            if (m_outPos >= m_out.size())
                return InflateStatus::OutputFull;
            m_out[m_outPos++] = std::uint8_t(symbol);
            continue;
        }
        if (symbol == kEndOfBlock)
            return InflateStatus::Ok;
        const int lengthIndex = symbol - 257;
        if (lengthIndex >= int(kLengthBase.size()))
            return InflateStatus::BadSymbol;
        std::uint32_t extra = 0;
        if (!getBits(kLengthExtra[lengthIndex], extra))
            return InflateStatus::InputExhausted;
        std::uint32_t length = kLengthBase[lengthIndex] + extra;
        if (m_deflate64 && symbol == 285) {
            if (!getBits(16, extra))
                return InflateStatus::InputExhausted;
            length = extra + 3;
        }
        int distanceCode = 0;
        if (InflateStatus s = decodeSymbol(distances, distanceCode); s != InflateStatus::Ok)
            return s;
        if (distanceCode >= 30 && !m_deflate64)
            return InflateStatus::BadSymbol;
        if (!getBits(kDistanceExtra[distanceCode], extra))
            return InflateStatus::InputExhausted;
        const std::size_t distance = kDistanceBase[distanceCode] + extra;
        if (distance > m_outPos)
            return InflateStatus::DistanceTooFar;
        // Overlapping copies must go forward byte by byte: a distance shorter
        // than the length repeats the bytes just written.
        const std::size_t room = m_out.size() - m_outPos;
        const std::size_t count = std::min<std::size_t>(length, room);
        std::uint8_t* dst = m_out.data() + m_outPos;
        const std::uint8_t* src = dst - distance;
        if (distance >= count) {
            std::copy_n(src, count, dst);
        } else {
            for (std::size_t i = 0; i < count; ++i)
                dst[i] = src[i];
        }
        m_outPos += count;
        if (count < length) {
            end = BlockEnd::Stop;
            return InflateStatus::Ok;
        }
    }
}

InflateStatus Inflater::inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool deflate64)
{
    m_in = input;
    m_out = output;
    m_inPos = std::min<std::size_t>(2, input.size());  // the zlib header is not examined
    m_outPos = 0;
    m_bitBuffer = 0;
    m_bitCount = 0;
    m_deflate64 = deflate64;

    for (;;) {
        std::uint32_t final = 0, type = 0;
        if (!getBits(1, final) || !getBits(2, type))
            return InflateStatus::InputExhausted;
        InflateStatus status = InflateStatus::Ok;
        BlockEnd end = BlockEnd::Next;
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
