// Picking winners: distinct rows, every row reachable and none outside the
// list, uniform chances (chi-square over fixed seeds), and the draw's
// refusals.

#include <cmath>
#include <set>

#include "store/prize_draw.h"
#include "tests/store/store_test_support.h"

namespace {

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

// Far in the upper tail (about six standard deviations above the mean of
// the distribution with `dof` degrees of freedom): a fair picker with a
// fixed seed stays below it, a skewed one does not.
double chiSquareLimit(std::size_t dof)
{
    return double(dof) + 6.0 * std::sqrt(2.0 * double(dof));
}

TEST(PickWinners, GivesDistinctRowsInsideTheList)
{
    struct Case {
        std::size_t participants;
        std::size_t n;
    };
    const Case cases[] = {{1, 1}, {2, 2}, {10, 3}, {17, 16}, {100, 100}, {1025, 50}, {40000, 200}};
    store::RandomSource random;
    random.Seed(7);
    for (const Case& c : cases) {
        for (int repeat = 0; repeat < 20; ++repeat) {
            const auto rows = store::PickWinners(c.participants, c.n, random);
            ASSERT_EQ(rows.size(), c.n);
            const std::set<std::size_t> distinct(rows.begin(), rows.end());
            EXPECT_EQ(distinct.size(), c.n) << c.participants << " choose " << c.n;
            EXPECT_GE(*distinct.begin(), 1u);
            EXPECT_LE(*distinct.rbegin(), c.participants);
        }
    }
}

TEST(PickWinners, RefusesCountsOutsideTheList)
{
    store::RandomSource random;
    EXPECT_TRUE(store::PickWinners(5, 0, random).empty());
    EXPECT_TRUE(store::PickWinners(5, 6, random).empty());
    EXPECT_TRUE(store::PickWinners(0, 1, random).empty());
}

// Single picks over participant counts around powers of two, where a
// careless range reduction shows its bias or its off-by-one.
TEST(PickWinners, EveryRowIsEquallyLikely)
{
    constexpr long kPerRow = 400;
    for (std::size_t participants : {std::size_t(2), std::size_t(7), std::size_t(16), std::size_t(17),
                                     std::size_t(1024), std::size_t(1025)}) {
        store::RandomSource random;
        random.Seed(20261208 + participants);
        std::vector<long> counts(participants + 2, 0);  // index 0 and participants + 1 must stay empty
        for (long i = 0; i < kPerRow * long(participants); ++i) {
            const auto rows = store::PickWinners(participants, 1, random);
            ASSERT_EQ(rows.size(), 1u);
            ASSERT_LT(rows[0], counts.size());
            ++counts[rows[0]];
        }
        EXPECT_EQ(counts.front(), 0) << participants;
        EXPECT_EQ(counts.back(), 0) << participants;
        EXPECT_GT(counts[1], 0) << participants;
        EXPECT_GT(counts[participants], 0) << "the last row must be reachable, " << participants;
        const std::vector<long> inside(counts.begin() + 1, counts.end() - 1);
        EXPECT_LT(chiSquare(inside), chiSquareLimit(participants - 1)) << participants;
    }
}

// Ordered pairs of a two-winner draw: a duplicate handled by taking a
// neighbour instead of drawing again would favour (a, a + 1).
TEST(PickWinners, SecondPickIsUniformAmongTheRest)
{
    constexpr long kPerPair = 300;
    for (std::size_t participants : {std::size_t(3), std::size_t(5), std::size_t(17)}) {
        store::RandomSource random;
        random.Seed(99 + participants);
        const std::size_t pairs = participants * (participants - 1);
        std::vector<long> counts(participants * participants, 0);
        for (long i = 0; i < kPerPair * long(pairs); ++i) {
            const auto rows = store::PickWinners(participants, 2, random);
            ASSERT_EQ(rows.size(), 2u);
            ASSERT_NE(rows[0], rows[1]);
            ++counts[(rows[0] - 1) * participants + (rows[1] - 1)];
        }
        std::vector<long> offDiagonal;
        for (std::size_t a = 0; a < participants; ++a)
            for (std::size_t b = 0; b < participants; ++b)
                if (a != b)
                    offDiagonal.push_back(counts[a * participants + b]);
        EXPECT_LT(chiSquare(offDiagonal), chiSquareLimit(pairs - 1)) << participants;
    }
}

class DrawTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string rows;
        for (int id = 1; id <= 10; ++id)
            rows += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", 'p" + std::to_string(id) +
                    "', 'n" + std::to_string(id) + "', '" + (id <= 3 ? "是" : "否") + "')";
        storetest::makeSheet(m_path, rows);
        ASSERT_TRUE(m_connection.OpenFile(m_path)) << m_connection.error();
    }
    long long wonCount()
    {
        store::Counts counts;
        EXPECT_TRUE(store::CountParticipants(m_connection, counts));
        return counts.won;
    }

    storetest::TempDir m_dir;
    std::string m_path = m_dir.file("Sbase.mdb");
    store::DbConnection m_connection;
    store::RandomSource m_random;
};

TEST_F(DrawTest, MarksExactlyTheWinnersItReports)
{
    const store::DrawResult result = store::DrawWinners(m_connection, 3, m_random);
    ASSERT_EQ(result.status, store::DrawStatus::Done) << result.error;
    ASSERT_EQ(result.winners.size(), 3u);
    EXPECT_EQ(result.available, 7u);
    std::set<std::string> numbers;
    for (const store::Participant& winner : result.winners) {
        numbers.insert(winner.number);
        EXPECT_EQ(winner.name, "p" + winner.id);
        EXPECT_GT(std::stoi(winner.id), 3) << "an earlier winner was drawn again";
        auto row = m_connection.Execute("select isluck from sheet where user_number = ?", {winner.number});
        ASSERT_TRUE(row);
        EXPECT_EQ(row->Field(0), "是");
    }
    EXPECT_EQ(numbers.size(), 3u);
    EXPECT_EQ(wonCount(), 6);
    std::vector<store::Participant> left;
    ASSERT_TRUE(store::LoadNotWon(m_connection, left));
    EXPECT_EQ(left.size(), 4u);
}

TEST_F(DrawTest, RefusesCountsItCannotDrawAndMarksNobody)
{
    for (long long n : {0LL, -1LL, 8LL, 1000000LL}) {
        const store::DrawResult result = store::DrawWinners(m_connection, n, m_random);
        EXPECT_EQ(result.status, store::DrawStatus::CountOutOfRange) << n;
        EXPECT_TRUE(result.winners.empty()) << n;
        EXPECT_EQ(result.available, 7u) << n;
        EXPECT_EQ(wonCount(), 3) << n;
    }
}

TEST_F(DrawTest, TheWholeRestCanBeDrawnThenNobodyIsLeft)
{
    const store::DrawResult all = store::DrawWinners(m_connection, 7, m_random);
    ASSERT_EQ(all.status, store::DrawStatus::Done) << all.error;
    EXPECT_EQ(wonCount(), 10);
    const store::DrawResult none = store::DrawWinners(m_connection, 1, m_random);
    EXPECT_EQ(none.status, store::DrawStatus::NobodyLeft);
    EXPECT_EQ(none.available, 0u);
}

}  // namespace
