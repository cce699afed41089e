#include "imaging/formats/inflate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <string>

#include "platform/zlib/zlib_library.h"
#include "tests/imaging/bit_writer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// A zlib header (deflate, 32K window, no dictionary).
BitWriter zlibStream()
{
    BitWriter w;
    w.bytes({0x78, 0x01});
    return w;
}

// Fixed-code symbols (RFC 1951 3.2.6).
BitWriter& fixedLiteral(BitWriter& w, int value)
{
    return value < 144 ? w.code(0x30 + value, 8) : w.code(0x190 + value - 144, 9);
}
BitWriter& fixedLengthSymbol(BitWriter& w, int symbol)
{
    return symbol < 280 ? w.code(symbol - 256, 7) : w.code(0xC0 + symbol - 280, 8);
}

// Dynamic block header whose code-length code gives length 1 to the
// code-length symbols `a` and `b` (a < b, so a's code is 0 and b's is 1).
BitWriter dynamicHeader(int hlit, int hdist, int a, int b)
{
    static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    int hclen = 4;
    for (int i = 0; i < 19; ++i)
        if (order[i] == a || order[i] == b)
            hclen = std::max(hclen, i + 1);
    BitWriter w = zlibStream();
    w.bits(1, 1).bits(2, 2).bits(hlit - 257, 5).bits(hdist - 1, 5).bits(hclen - 4, 4);
    for (int i = 0; i < hclen; ++i)
        w.bits(order[i] == a || order[i] == b ? 1 : 0, 3);
    return w;
}

// Code lengths through the code-length code {1: "0", 18: "1"}: literal 0
// and end-of-block get length 1, the 255 literals between them none.
BitWriter& literalZeroAndEnd(BitWriter& w)
{
    w.code(0, 1);                     // literal 0: length 1
    w.code(1, 1).bits(138 - 11, 7);   // 138 zeros
    w.code(1, 1).bits(117 - 11, 7);   // 117 zeros: literals 1..255 unused
    return w.code(0, 1);              // end of block: length 1
}

struct Case {
    const char* name;
    std::function<Bytes()> stream;
    std::size_t outputSize;
    InflateStatus status;
    std::string expected;  // the first bytes of the output
};

const Case kCases[] = {
    {"stored block", [] { return zlibStream().bits(1, 1).bits(0, 2).bytes({3, 0, 0xFC, 0xFF, 'a', 'b', 'c', 0, 0, 0, 0}).done(); },
     3, InflateStatus::Ok, "abc"},
    {"header bytes not examined", [] { return BitWriter().bytes({0, 0}).bits(1, 1).bits(0, 2).bytes({1, 0, 0xFE, 0xFF, 'z', 0, 0, 0, 0}).done(); },
     1, InflateStatus::Ok, "z"},
    {"stored NLEN not the complement", [] { return zlibStream().bits(1, 1).bits(0, 2).bytes({3, 0, 0xFC, 0xFE, 'a', 'b', 'c'}).done(); },
     3, InflateStatus::StoredLengthMismatch, ""},
    {"stored block past the input", [] { return zlibStream().bits(1, 1).bits(0, 2).bytes({9, 0, 0xF6, 0xFF, 'a', 'b', 'c'}).done(); },
     9, InflateStatus::StoredOverrun, ""},
    {"stored block past the output", [] { return zlibStream().bits(1, 1).bits(0, 2).bytes({3, 0, 0xFC, 0xFF, 'a', 'b', 'c', 0, 0, 0, 0}).done(); },
     2, InflateStatus::StoredOverrun, ""},
    {"block type 3", [] { return zlibStream().bits(1, 1).bits(3, 2).bytes({0, 0, 0, 0}).done(); },
     4, InflateStatus::BadBlockType, ""},
    {"empty input", [] { return Bytes{}; }, 4, InflateStatus::InputExhausted, ""},
    {"distance 1 length 10 repeats the byte", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
         fixedLiteral(w, 'A');
         fixedLengthSymbol(w, 264).code(0, 5);  // length 10, distance code 0 = 1
         return fixedLengthSymbol(w, 256).bytes({0, 0, 0, 0}).done();
     },
     11, InflateStatus::Ok, "AAAAAAAAAAA"},
    {"match past the output ends with the buffer full", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
         fixedLiteral(w, 'A');
         fixedLengthSymbol(w, 264).code(0, 5);
         fixedLiteral(w, 'B');  // never reached
         return fixedLengthSymbol(w, 256).done();
     },
     5, InflateStatus::Ok, "AAAAA"},
    {"literal past the output fails", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
         fixedLiteral(w, 'A');
         fixedLiteral(w, 200);
         return fixedLengthSymbol(w, 256).done();
     },
     1, InflateStatus::OutputFull, "A"},
    {"distance before the output start", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
         fixedLiteral(w, 'A');
         fixedLengthSymbol(w, 257).code(1, 5);  // distance 2 with one byte written
         return fixedLengthSymbol(w, 256).done();
     },
     8, InflateStatus::DistanceTooFar, "A"},
    {"distance code 30 outside deflate64", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
         fixedLiteral(w, 'A');
         fixedLengthSymbol(w, 257).code(30, 5);
         return fixedLengthSymbol(w, 256).done();
     },
     8, InflateStatus::BadSymbol, "A"},
    {"length symbol 286 is undefined", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
         return fixedLengthSymbol(w, 286).done();
     },
     8, InflateStatus::BadSymbol, ""},
    {"input ends inside a fixed block", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
         return fixedLiteral(w, 'A').done();
     },
     8, InflateStatus::InputExhausted, "A"},
    {"non-final block then a stored final one", [] {
         BitWriter w = zlibStream().bits(0, 1).bits(1, 2);
         fixedLiteral(w, 'x');
         fixedLengthSymbol(w, 256);
         return w.bits(1, 1).bits(0, 2).bytes({1, 0, 0xFE, 0xFF, 'y', 0, 0, 0, 0}).done();
     },
     2, InflateStatus::Ok, "xy"},
    {"dynamic block", [] {
         BitWriter w = dynamicHeader(257, 2, 1, 18);
         literalZeroAndEnd(w).code(0, 1).code(0, 1);  // two distance codes of length 1
         return w.code(0, 1).code(1, 1).done();       // literal 0, end of block
     },
     1, InflateStatus::Ok, std::string(1, '\0')},
    {"one distance code of length 1 is incomplete", [] {
         BitWriter w = dynamicHeader(257, 1, 1, 18);
         return literalZeroAndEnd(w).code(0, 1).code(0, 1).code(1, 1).done();
     },
     1, InflateStatus::IncompleteDistanceCode, ""},
    {"literal code with a single code is incomplete", [] {
         BitWriter w = dynamicHeader(257, 1, 1, 18);
         w.code(0, 1).code(1, 1).bits(127, 7).code(1, 1).bits(107, 7);  // literal 0, then 256 zeros
         return w.code(0, 1).done();                                    // one distance code
     },
     1, InflateStatus::IncompleteLiteralCode, ""},
    {"more than 286 literal codes", [] { return dynamicHeader(287, 2, 1, 18).done(); }, 1,
     InflateStatus::TooManyCodes, ""},
    {"more than 30 distance codes", [] { return dynamicHeader(257, 31, 1, 18).done(); }, 1,
     InflateStatus::TooManyCodes, ""},
    {"repeat code 16 as the first length", [] { return dynamicHeader(257, 1, 16, 18).code(0, 1).bits(0, 2).done(); },
     1, InflateStatus::RepeatWithoutPrevious, ""},
    {"zero run past HLIT + HDIST", [] {
         BitWriter w = dynamicHeader(257, 1, 16, 18);
         return w.code(1, 1).bits(127, 7).code(1, 1).bits(127, 7).done();  // 276 > 258
     },
     1, InflateStatus::LengthRunTooLong, ""},
    {"over-subscribed code-length code", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(2, 2).bits(0, 5).bits(0, 5).bits(0, 4);
         return w.bits(1, 3).bits(1, 3).bits(1, 3).bits(0, 3).done();  // three codes of length 1
     },
     1, InflateStatus::BadCodeLengthTable, ""},
    {"incomplete code-length code", [] {
         BitWriter w = zlibStream().bits(1, 1).bits(2, 2).bits(0, 5).bits(0, 5).bits(0, 4);
         return w.bits(1, 3).bits(0, 3).bits(0, 3).bits(0, 3).done();
     },
     1, InflateStatus::BadCodeLengthTable, ""},
};

class InflateCase : public testing::TestWithParam<Case> {};

TEST_P(InflateCase, DecodesOrRefuses)
{
    const Case& c = GetParam();
    const Bytes input = c.stream();
    Bytes output(c.outputSize, 0xEE);
    Inflater inflater;
    EXPECT_EQ(inflater.inflate(input, output, false), c.status);
    ASSERT_LE(c.expected.size(), output.size());
    EXPECT_EQ(std::string(output.begin(), output.begin() + std::ptrdiff_t(c.expected.size())), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Streams, InflateCase, testing::ValuesIn(kCases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
});

TEST(Inflate, Deflate64LongLengthAndFarDistances)
{
    // Length symbol 285 takes 16 extra bits (length = extra + 3).
    BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
    fixedLiteral(w, 'q');
    fixedLengthSymbol(w, 285).bits(997, 16).code(0, 5);
    fixedLengthSymbol(w, 256);
    const Bytes input = w.done();
    Bytes output(1000);
    Inflater inflater;
    ASSERT_EQ(inflater.inflate(input, output, true), InflateStatus::Ok);
    EXPECT_EQ(inflater.written(), 1001u - 1u);
    EXPECT_EQ(std::count(output.begin(), output.end(), 'q'), 1000);
}

// A fixed-code match of `length` bytes `distance` back (length 3..258,
// distance 1..32768), as a deflate encoder writes it.
BitWriter& fixedMatch(BitWriter& w, int length, int distance)
{
    static const int lengthBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int lengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int l = 28;
    while (lengthBase[l] > length)
        --l;
    fixedLengthSymbol(w, 257 + l).bits(std::uint32_t(length - lengthBase[l]), lengthExtra[l]);
    int d = 0, base = 1;
    for (; d < 29; ++d) {
        const int extra = d < 2 ? 0 : d / 2 - 1;
        if (distance < base + (1 << extra))
            break;
        base += 1 << extra;
    }
    return w.code(std::uint32_t(d), 5).bits(std::uint32_t(distance - base), d < 2 ? 0 : d / 2 - 1);
}

TEST(Inflate, MatchCopiesRepeatTheWindowByteForByte)
{
    // Short distances overlap the match with its own source; the copies
    // must give what copying one byte at a time gives, and a match that
    // runs into the end of the output stops there with nothing written past.
    struct Copy {
        int distance;
        int length;
        std::size_t room;  // output bytes left for the match
    };
    std::vector<Copy> copies;
    for (int distance = 1; distance <= 20; ++distance)
        for (int length : {3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 64, 258})
            copies.push_back({distance, length, std::size_t(length)});
    for (int distance : {1, 2, 3, 7, 8, 9, 300})
        for (std::size_t room : {0, 1, 5, 8, 13})
            copies.push_back({distance, 40, room});
    for (const Copy& c : copies) {
        BitWriter w = zlibStream().bits(1, 1).bits(1, 2);
        std::string expected;
        for (int i = 0; i < c.distance; ++i) {
            expected += char('a' + i % 26 + (i / 26) % 2 * 0x40);
            fixedLiteral(w, static_cast<unsigned char>(expected.back()));
        }
        fixedMatch(w, c.length, c.distance);
        fixedLengthSymbol(w, 256);
        const Bytes input = w.bits(0, 32).done();
        const std::size_t room = std::min<std::size_t>(c.room, std::size_t(c.length));
        for (std::size_t i = 0; i < room; ++i)
            expected += expected[expected.size() - std::size_t(c.distance)];
        Bytes output(expected.size() + 24, 0xEE);
        Inflater inflater;
        const InflateStatus status =
            inflater.inflate(input, std::span(output.data(), expected.size()), false);
        const std::string label = "distance " + std::to_string(c.distance) + ", length " +
                                  std::to_string(c.length) + ", room " + std::to_string(c.room);
        EXPECT_EQ(status, InflateStatus::Ok) << label;
        EXPECT_EQ(inflater.written(), expected.size()) << label;
        EXPECT_EQ(std::string(output.begin(), output.begin() + std::ptrdiff_t(expected.size())), expected) << label;
        EXPECT_EQ(std::count(output.begin() + std::ptrdiff_t(expected.size()), output.end(), 0xEE), 24) << label;
    }
}

TEST(Inflate, MatchesZlibOnItsOwnStreams)
{
    // zlib is one of the program's dependencies (tools/setup-deps.sh): a
    // machine without it has not been set up, and this test must not pass.
    auto compress2 = zlib::compress2Function();
    ASSERT_NE(compress2, nullptr) << "no system zlib";
    Bytes data(200000);
    std::uint32_t seed = 12345;
    for (std::size_t i = 0; i < data.size(); ++i) {
        seed = seed * 1103515245u + 12345u;
        // Runs and repeats mixed with noise exercise literals, long and short matches.
        data[i] = (i / 700) % 3 == 0 ? std::uint8_t(seed >> 24) : std::uint8_t((i % 37) + (i / 5000));
        // Skewed stretches: a few bytes common, most rare, so that the
        // codes reach 15 bits and need the tables' second level.
        if ((i / 20000) % 4 == 3)
            data[i] = std::uint8_t(std::countr_zero(seed | 0x10000) * 16 + (seed >> 28));
    }
    for (int level : {0, 1, 6, 9}) {
        Bytes packed(data.size() + data.size() / 100 + 64);
        unsigned long packedSize = packed.size();
        ASSERT_EQ(compress2(packed.data(), &packedSize, data.data(), data.size(), level), zlib::kOk);
        packed.resize(packedSize);
        Bytes output(data.size());
        Inflater inflater;
        EXPECT_EQ(inflater.inflate(packed, output, false), InflateStatus::Ok) << "level " << level;
        EXPECT_EQ(output, data) << "level " << level;
        // Any cut-off stream fails instead of reading past its end.
        Bytes cut(packed.begin(), packed.begin() + std::ptrdiff_t(packed.size() / 2));
        EXPECT_NE(inflater.inflate(cut, output, false), InflateStatus::Ok) << "level " << level;

        // A stretch at a time, the same bytes and the same end: each
        // stretch reaches its mark, and only the last one finishes.
        for (std::size_t stretch : {std::size_t(1), std::size_t(777), std::size_t(65536)}) {
            for (const Bytes* stream : {&packed, &cut}) {
                Bytes pieces(data.size(), 0);
                inflater.start(*stream, pieces, false);
                InflateStatus status = InflateStatus::Ok;
                for (std::size_t mark = stretch; !inflater.finished(); mark += stretch) {
                    status = inflater.decodeUntil(mark);
                    ASSERT_TRUE(inflater.finished() || inflater.written() >= mark) << "stretch " << stretch;
                }
                const std::size_t written = inflater.written();
                const InflateStatus whole = inflater.inflate(*stream, output, false);
                EXPECT_EQ(status, whole) << "level " << level << ", stretch " << stretch;
                EXPECT_EQ(written, inflater.written()) << "level " << level << ", stretch " << stretch;
                EXPECT_TRUE(std::equal(pieces.begin(), pieces.begin() + std::ptrdiff_t(written), output.begin()));
            }
        }
    }
}

}  // namespace
