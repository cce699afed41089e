// The deterministic picks (golden values computed by an independent
// implementation of the rules in README.md), their uniformity over seeds,
// the compact id lists and the eligible list's checks.

#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "draw/draw_picks.h"

namespace {

draw::Seed countingSeed()
{
    draw::Seed seed;
    for (std::size_t i = 0; i < seed.size(); ++i)
        seed[i] = std::uint8_t(i);
    return seed;
}

draw::Seed seedFrom(std::uint64_t value)
{
    draw::Seed seed{};
    for (int i = 0; i < 8; ++i)
        seed[std::size_t(i)] = std::uint8_t(value >> (8 * i));
    return seed;
}

TEST(PickIndices, FollowTheDocumentedRules)
{
    struct Case {
        std::size_t listSize;
        std::size_t n;
        std::vector<std::size_t> expected;
    };
    const Case cases[] = {
        {1, 1, {0}},
        {2, 2, {1, 0}},
        {10, 3, {1, 0, 2}},  // the second number gives index 1 again and is skipped
        {1000, 5, {221, 120, 402, 210, 673}},
        // Almost half of all 64-bit numbers are refused for this size.
        {(std::size_t(1) << 63) + 1, 2, {6945047847015946120u, 8315228738316000402u}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(draw::PickIndices(countingSeed(), c.listSize, c.n), c.expected) << c.listSize;
    draw::Seed ones;
    ones.fill(0xff);
    EXPECT_EQ(draw::PickIndices(ones, 7, 7), (std::vector<std::size_t>{3, 2, 0, 4, 5, 1, 6}));
}

TEST(PickIndices, RefuseCountsOutsideTheList)
{
    EXPECT_TRUE(draw::PickIndices(countingSeed(), 5, 0).empty());
    EXPECT_TRUE(draw::PickIndices(countingSeed(), 5, 6).empty());
    EXPECT_TRUE(draw::PickIndices(countingSeed(), 0, 1).empty());
}

TEST(PickIndices, GiveDistinctIndicesInsideTheList)
{
    struct Case {
        std::size_t listSize;
        std::size_t n;
    };
    const Case cases[] = {{1, 1}, {2, 2}, {10, 3}, {17, 16}, {100, 100}, {1025, 50}, {40000, 200}};
    std::uint64_t seed = 7;
    for (const Case& c : cases) {
        for (int repeat = 0; repeat < 20; ++repeat) {
            const auto picks = draw::PickIndices(seedFrom(seed++), c.listSize, c.n);
            ASSERT_EQ(picks.size(), c.n);
            const std::set<std::size_t> distinct(picks.begin(), picks.end());
            EXPECT_EQ(distinct.size(), c.n) << c.listSize << " choose " << c.n;
            EXPECT_LT(*distinct.rbegin(), c.listSize);
        }
    }
}

// Pearson's statistic against equal expected counts.
double chiSquare(const std::vector<long>& counts)
{
    long total = 0;
    for (long c : counts)
        total += c;
    const double expected = double(total) / double(counts.size());
    double sum = 0;
    for (long c : counts)
        sum += (double(c) - expected) * (double(c) - expected) / expected;
    return sum;
}

// About six standard deviations above the mean for `dof` degrees of freedom.
double chiSquareLimit(std::size_t dof)
{
    return double(dof) + 6.0 * std::sqrt(2.0 * double(dof));
}

// Single picks over sizes around powers of two, where a careless range
// reduction shows its bias or its off-by-one.
TEST(PickIndices, EveryIndexIsEquallyLikelyOverSeeds)
{
    constexpr long kPerIndex = 300;
    for (std::size_t size : {std::size_t(2), std::size_t(7), std::size_t(16), std::size_t(17), std::size_t(1025)}) {
        std::vector<long> counts(size, 0);
        for (long i = 0; i < kPerIndex * long(size); ++i)
            ++counts[draw::PickIndices(seedFrom(std::uint64_t(i) * 1000003u + size), size, 1).front()];
        EXPECT_GT(counts.back(), 0) << "the last index must be reachable, " << size;
        EXPECT_LT(chiSquare(counts), chiSquareLimit(size - 1)) << size;
    }
}

// Ordered pairs of a two-winner draw: a duplicate handled by taking a
// neighbour instead of drawing again would favour (a, a + 1).
TEST(PickIndices, SecondPickIsUniformAmongTheRest)
{
    constexpr long kPerPair = 200;
    for (std::size_t size : {std::size_t(3), std::size_t(5)}) {
        const std::size_t pairs = size * (size - 1);
        std::vector<long> counts(size * size, 0);
        for (long i = 0; i < kPerPair * long(pairs); ++i) {
            const auto picks = draw::PickIndices(seedFrom(std::uint64_t(i) + 77 * size), size, 2);
            ++counts[picks[0] * size + picks[1]];
        }
        std::vector<long> offDiagonal;
        for (std::size_t a = 0; a < size; ++a)
            for (std::size_t b = 0; b < size; ++b)
                if (a != b)
                    offDiagonal.push_back(counts[a * size + b]);
                else
                    EXPECT_EQ(counts[a * size + b], 0);
        EXPECT_LT(chiSquare(offDiagonal), chiSquareLimit(pairs - 1)) << size;
    }
}

TEST(EncodedIds, RoundTripWithTheDocumentedBytesAndDigest)
{
    struct Case {
        std::vector<std::int64_t> ids;
        std::string bytes;
        const char* digest;
    };
    const Case cases[] = {
        {{}, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {{5, 4, 3}, "\x0a\x01\x01", "e270ef6d30673abe7afca80576c51be130516f8dd1324d7fc36f6c106c5e1eba"},
        {{300, 1}, "\xd8\x04\xd5\x04", "8579dac2ac758ddca0f38aaa53aa34fb1078536999a32a1daf835d356924014f"},
        {{-1}, "\x01", "4bf5122f344554c53bde2ebb8cd2b7e3d1600ad631c385a5d7cce23c7785459a"},
        {{INT64_MAX, INT64_MIN}, "\xfe\xff\xff\xff\xff\xff\xff\xff\xff\x01\x02",
         "4874a30721c7b221c79d0a7e79046fffe8ef78be3b8214d16c2fedb3b2f097ea"},
    };
    for (const Case& c : cases) {
        const std::string encoded = draw::EncodeIds(c.ids);
        EXPECT_EQ(encoded, c.bytes) << c.ids.size();
        EXPECT_EQ(draw::EligibleDigest(encoded), c.digest);
        std::vector<std::int64_t> back{42};
        ASSERT_TRUE(draw::DecodeIds(encoded, back));
        EXPECT_EQ(back, c.ids);
    }
    // A million consecutive ids, highest first, cost a byte each (plus the first).
    std::vector<std::int64_t> many;
    for (std::int64_t id = 1000000; id >= 1; --id)
        many.push_back(id);
    EXPECT_EQ(draw::EncodeIds(many).size(), 1000000u + 2u);
}

TEST(EncodedIds, RefuseBytesThatAreNotOneEncoding)
{
    for (const std::string& bad : {std::string("\x80"),                                      // cut
                                   std::string("\x0a\x81"),                                  // cut after a value
                                   std::string("\x81\x00"),                                  // overlong
                                   std::string("\xff\xff\xff\xff\xff\xff\xff\xff\xff\x02"),  // beyond 64 bits
                                   std::string("\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x01")}) {
        std::vector<std::int64_t> ids;
        EXPECT_FALSE(draw::DecodeIds(bad, ids)) << bad.size() << " bytes";
    }
}

TEST(EligibleListBuilder, TakesFallingWholeNumbersOnly)
{
    struct Case {
        std::vector<std::string> ids;
        bool ok;
    };
    const Case cases[] = {
        {{"9", "5", "1", "-3"}, true},  {{}, true},          {{"5", "5"}, false}, {{"1", "2"}, false},
        {{"1.0"}, false},               {{""}, false},       {{"x"}, false},      {{"99999999999999999999"}, false},
        {{" 5"}, false},
    };
    for (const Case& c : cases) {
        draw::EligibleListBuilder list;
        bool ok = true;
        for (const std::string& id : c.ids)
            ok = list.add(id) && ok;
        EXPECT_EQ(ok, c.ok) << (c.ids.empty() ? "" : c.ids.back());
        EXPECT_EQ(list.ok(), c.ok);
        EXPECT_EQ(list.error().empty(), c.ok);
        list.clear();
        EXPECT_TRUE(list.ok());
        EXPECT_TRUE(list.ids().empty());
    }
}

}  // namespace
