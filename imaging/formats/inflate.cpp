#include "imaging/formats/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "imaging/formats/huffman_table.h"
#include "imaging/formats/inflate_bits.h"
#include "imaging/formats/vector_state.h"
#include "platform/language/language.h"

using namespace huffman;
using namespace inflatebits;

namespace {

// Order in which the code-length code's lengths are stored (RFC 1951 3.2.7).
constexpr std::array<std::uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                           11, 4,  12, 3, 13, 2, 14, 1, 15};

}  // namespace

// The decoder between calls: where it is in the input and the output, and
// in which block.
struct Inflater::State {
    std::array<Entry, kLiteralCapacity> literals{};
    std::array<Entry, kDistanceCapacity> distances{};
    std::array<Entry, kLiteralCapacity> fixedLiterals{};
    std::array<Entry, kDistanceCapacity> fixedDistances{};
    std::array<Entry, kCodeLengthCapacity> codeLengths{};
    int fixedBuiltFor = -1;  // the deflate64 option the fixed tables were built for, -1 none yet

    BitReader bits;
    std::uint8_t* start = nullptr;
    std::uint8_t* out = nullptr;
    std::uint8_t* limit = nullptr;
    bool deflate64 = false;
    const Entry* blockLiterals = nullptr;  // the tables of the block being decoded, null between blocks
    const Entry* blockDistances = nullptr;
    bool lastBlock = false;   // the block begun last was marked final
    bool finished = true;
    InflateStatus status = InflateStatus::Ok;

    // Decodes until the output reaches `pause` (null: the stream's end).
    InflateStatus decodeBlocks(const std::uint8_t* pause);
    InflateStatus beginBlock();
    InflateStatus decodeStoredBlock();
    InflateStatus buildFixedTables();
    InflateStatus readDynamicTables();
    InflateStatus readCodeLengths(std::uint8_t* lengths, int count);
    InflateStatus decodeFast(BlockEnd& end, const std::uint8_t* outStop);
    InflateStatus decodeCarefully(BlockEnd& end);
};

InflateStatus Inflater::State::decodeStoredBlock()
{
    // The block starts at the next byte boundary: the partial byte's bits
    // are dropped, whole bytes already loaded go back to the input.
    bits.in -= bits.count / 8;
    bits.buffer = 0;
    bits.count = 0;
    if (bits.end - bits.in < 5)
        return InflateStatus::StoredOverrun;
    const std::uint8_t* p = bits.in;
    const std::uint32_t len = p[0] | (p[1] << 8);
    const std::uint32_t nlen = p[2] | (p[3] << 8);
    if (len != (~nlen & 0xFFFF))
        return InflateStatus::StoredLengthMismatch;
    bits.in += 4;
    if (std::size_t(bits.end - bits.in) < len || std::size_t(limit - out) < len)
        return InflateStatus::StoredOverrun;
    if (len != 0)  // an empty output has no data pointer to copy into
        std::memcpy(out, bits.in, len);
    bits.in += len;
    out += len;
    return InflateStatus::Ok;
}

InflateStatus Inflater::State::buildFixedTables()
{
    if (fixedBuiltFor == int(deflate64))
        return InflateStatus::Ok;
    std::array<std::uint8_t, kLiteralCodes> literal{};
    std::fill(literal.begin(), literal.begin() + 144, 8);
    std::fill(literal.begin() + 144, literal.begin() + 256, 9);
    std::fill(literal.begin() + 256, literal.begin() + 280, 7);
    std::fill(literal.begin() + 280, literal.end(), 8);
    std::array<std::uint8_t, kDistanceCodes> distance{};
    distance.fill(5);
    fixedBuiltFor = -1;
    if (buildTable(fixedLiterals, literal, literalMeanings(deflate64).data(), kLiteralRootBits) != 0 ||
        buildTable(fixedDistances, distance, distanceMeanings(deflate64).data(), kDistanceRootBits) != 0)
        return InflateStatus::BadLiteralTable;
    fixedBuiltFor = int(deflate64);
    return InflateStatus::Ok;
}

InflateStatus Inflater::State::readCodeLengths(std::uint8_t* lengths, int count)
{
    int index = 0;
    while (index < count) {
        // A code-length code and its longest run field.
        if (bits.count < 7 + 7)
            bits.refill();
        // Near the end of the input the missing bits read as zero; the
        // code found must not need them.
        const Entry entry = lookup<kCodeLengthRootBits>(codeLengths.data(), bits.buffer);
        if (consumeOf(entry) > bits.count)
            return InflateStatus::InputExhausted;
        bits.consume(consumeOf(entry));
        const unsigned symbol = valueOf(entry);
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
            ok = bits.take(2, repeat);
            repeat += 3;
        } else if (symbol == 17) {
            ok = bits.take(3, repeat);
            repeat += 3;
        } else {
            ok = bits.take(7, repeat);
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

InflateStatus Inflater::State::readDynamicTables()
{
    std::uint32_t hlit = 0, hdist = 0, hclen = 0;
    if (!bits.take(5, hlit) || !bits.take(5, hdist) || !bits.take(4, hclen))
        return InflateStatus::InputExhausted;
    hlit += 257;
    hdist += 1;
    hclen += 4;
    // Symbols 286 and 287 and distance codes 30 and 31 are never valid;
    // tables that declare them are refused before they are read.
    if (hlit > 286 || (hdist > 30 && !deflate64))
        return InflateStatus::TooManyCodes;

    std::array<std::uint8_t, kCodeLengthCodes> lengthsOfLengths{};
    for (std::uint32_t i = 0; i < hclen; ++i) {
        std::uint32_t len = 0;
        if (!bits.take(3, len))
            return InflateStatus::InputExhausted;
        lengthsOfLengths[kCodeLengthOrder[i]] = std::uint8_t(len);
    }
    if (buildTable(codeLengths, lengthsOfLengths, codeLengthMeanings().data(), kCodeLengthRootBits) != 0)
        return InflateStatus::BadCodeLengthTable;

    // Literal/length and distance lengths form one sequence: a run may cross
    // from one into the other (RFC 1951 3.2.7).
    std::array<std::uint8_t, kLiteralCodes + kDistanceCodes> lengths{};
    if (InflateStatus s = readCodeLengths(lengths.data(), int(hlit + hdist)); s != InflateStatus::Ok)
        return s;
    // A positive result is an incomplete code, a negative one an
    // over-subscribed code; both are refused.
    const int literalsLeft = buildTable(literals, std::span(lengths.data(), hlit),
                                        literalMeanings(deflate64).data(), kLiteralRootBits);
    if (literalsLeft != 0)
        return literalsLeft > 0 ? InflateStatus::IncompleteLiteralCode : InflateStatus::BadLiteralTable;
    const int distancesLeft = buildTable(distances, std::span(lengths.data() + hlit, hdist),
                                         distanceMeanings(deflate64).data(), kDistanceRootBits);
    if (distancesLeft != 0)
        return distancesLeft > 0 ? InflateStatus::IncompleteDistanceCode : InflateStatus::BadDistanceTable;
    return InflateStatus::Ok;
}

InflateStatus Inflater::State::decodeFast(BlockEnd& end, const std::uint8_t* outStop)
{
    FastState state{bits, start, out, limit, outStop};
    return inflatebits::decodeFast(blockLiterals, blockDistances, deflate64, state, end);
}

InflateStatus Inflater::State::decodeCarefully(BlockEnd& end)
{
    for (;;) {
        // Near the end of the input the missing bits read as zero; the code
        // found, with its extra bits, must not need them.
        bits.refill();
        Entry e = lookup<kLiteralRootBits>(blockLiterals, bits.buffer);
        if (consumeOf(e) > bits.count)
            return InflateStatus::InputExhausted;
        if (e & kLiteral) {
            if (out == limit)
                return InflateStatus::OutputFull;
            *out++ = std::uint8_t(valueOf(e));
            bits.consume(consumeOf(e));
            continue;
        }
        if (e & kException) {
            if (!(e & kEndOfBlock))
                return InflateStatus::BadSymbol;
            bits.consume(consumeOf(e));
            end = BlockEnd::Block;
            return InflateStatus::Ok;
        }
        const std::size_t length = bits.valueWithExtra(e);
        bits.refill();
        e = lookup<kDistanceRootBits>(blockDistances, bits.buffer);
        if (consumeOf(e) > bits.count)
            return InflateStatus::InputExhausted;
        if (e & kException)
            return InflateStatus::BadSymbol;
        const std::size_t distance = bits.valueWithExtra(e);
        if (distance > std::size_t(out - start))
            return InflateStatus::DistanceTooFar;
        const std::size_t room = std::size_t(limit - out);
        if (length > room) {
            copyMatchExactly(out, distance, room);
            out = limit;
            end = BlockEnd::Stop;
            return InflateStatus::Ok;
        }
        copyMatchExactly(out, distance, length);
        out += length;
    }
}

// Reads a block header; a stored block is decoded at once, the tables of a
// Huffman block are made ready for its symbols.
InflateStatus Inflater::State::beginBlock()
{
    std::uint32_t final = 0, type = 0;
    if (!bits.take(1, final) || !bits.take(2, type))
        return InflateStatus::InputExhausted;
    lastBlock = final != 0;
    if (type == 0)
        return decodeStoredBlock();
    InflateStatus status = InflateStatus::BadBlockType;
    if (type == 1) {
        status = buildFixedTables();
        blockLiterals = fixedLiterals.data();
        blockDistances = fixedDistances.data();
    } else if (type == 2) {
        status = readDynamicTables();
        blockLiterals = literals.data();
        blockDistances = distances.data();
    }
    if (status != InflateStatus::Ok)
        blockLiterals = blockDistances = nullptr;
    return status;
}

InflateStatus Inflater::State::decodeBlocks(const std::uint8_t* pause)
{
    const auto paused = [&] { return pause && out >= pause; };
    for (;;) {
        if (paused())
            return InflateStatus::Ok;
        if (!blockLiterals) {
            if (lastBlock)
                return InflateStatus::Ok;
            if (InflateStatus s = beginBlock(); s != InflateStatus::Ok)
                return s;
            continue;
        }
        BlockEnd end = BlockEnd::Next;
        InflateStatus s = decodeFast(end, pause ? pause : limit);
        // The fast loop stops short of the ends of the input and the output,
        // and at the pause; the careful one goes to the end of the block.
        if (s == InflateStatus::Ok && end == BlockEnd::Next && !paused())
            s = decodeCarefully(end);
        if (s != InflateStatus::Ok)
            return s;
        if (end == BlockEnd::Stop) {
            lastBlock = true;
            blockLiterals = blockDistances = nullptr;
            return InflateStatus::Ok;
        }
        if (end == BlockEnd::Block)
            blockLiterals = blockDistances = nullptr;
    }
}

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

Inflater::Inflater() : m_state(std::make_unique<State>()) {}

Inflater::~Inflater() = default;

void Inflater::start(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool deflate64)
{
    State& s = *m_state;
    s.bits = BitReader{};
    s.bits.in = input.data() + std::min<std::size_t>(2, input.size());  // the zlib header is not examined
    s.bits.end = input.data() + input.size();
    s.start = s.out = output.data();
    s.limit = output.data() + output.size();
    s.deflate64 = deflate64;
    s.blockLiterals = s.blockDistances = nullptr;
    s.lastBlock = false;
    s.finished = false;
    s.status = InflateStatus::Ok;
}

InflateStatus Inflater::decodeUntil(std::size_t bytes)
{
    State& s = *m_state;
    if (s.finished)
        return s.status;
    vectorstate::clearUpperHalves();
    s.status = s.decodeBlocks(bytes < std::size_t(s.limit - s.start) ? s.start + bytes : nullptr);
    s.finished = s.status != InflateStatus::Ok || (!s.blockLiterals && s.lastBlock);
    return s.status;
}

InflateStatus Inflater::inflate(std::span<const std::uint8_t> input, std::span<std::uint8_t> output, bool deflate64)
{
    start(input, output, deflate64);
    return decodeUntil(std::numeric_limits<std::size_t>::max());
}

bool Inflater::finished() const
{
    return m_state->finished;
}

std::size_t Inflater::written() const
{
    return std::size_t(m_state->out - m_state->start);
}
