// The draw transaction: winners follow from the seed and the list, are
// marked by row (whatever their number holds) and recorded with the marks;
// a winner taken by another program is drawn again; anything that goes
// wrong leaves nobody marked and nothing recorded.

#include <algorithm>
#include <map>
#include <set>

#include "platform/language/language.h"
#include "draw/prize_draw.h"
#include "store/sha256.h"
#include "tests/store/store_test_support.h"

namespace {

draw::Seed fixedSeed(std::uint8_t first = 0)
{
    draw::Seed seed;
    for (std::size_t i = 0; i < seed.size(); ++i)
        seed[i] = std::uint8_t(first + i);
    return seed;
}

std::map<std::int64_t, std::string> flags(store::DbConnection& connection)
{
    std::map<std::int64_t, std::string> result;
    auto rows = connection.Execute("select id, isluck from sheet");
    for (; rows && !rows->EndOfFile(); rows->MoveNext())
        result[rows->FieldInteger(0)] = rows->Field(1);
    return result;
}

long long drawCount(store::DbConnection& connection)
{
    long long last = -1;
    EXPECT_TRUE(draw::LastDrawId(connection, last)) << connection.error();
    return last;
}

class DrawTest : public storetest::SheetOnBothKinds {
protected:
    void SetUp() override
    {
        openSheet(storetest::participantRows(10, 3));
        ASSERT_TRUE(draw::EnsureDrawTables(m_connection)) << m_connection.error();
    }
    draw::DrawResult draw(long long n, const std::string& level = "一等奖")
    {
        draw::DrawRequest request;
        request.level = level;
        request.count = n;
        return draw::RunDraw(m_connection, request);
    }
    long long wonCount()
    {
        store::Counts counts;
        EXPECT_TRUE(store::CountParticipants(m_connection, counts));
        return counts.won;
    }
};
SORTIA_ON_BOTH_KINDS(DrawTest);

TEST_P(DrawTest, MarksAndRecordsExactlyTheWinnersItReports)
{
    const draw::DrawResult result = draw(3);
    ASSERT_EQ(result.status, draw::DrawStatus::Done) << result.error;
    EXPECT_EQ(result.available, 7);
    const draw::DrawRecord& record = result.record;
    ASSERT_EQ(record.winners.size(), 3u);
    EXPECT_EQ(record.id, 1);
    EXPECT_EQ(record.level, "一等奖");
    EXPECT_EQ(record.requested, 3);
    EXPECT_EQ(record.eligibleCount, 7);
    EXPECT_EQ(record.previousDigest, draw::kChainStart);
    EXPECT_EQ(record.time.size(), 20u);
    std::set<std::int64_t> ids;
    const auto marks = flags(m_connection);
    for (std::size_t k = 0; k < 3; ++k) {
        const draw::RecordedWinner& winner = record.winners[k];
        EXPECT_EQ(winner.position, int(k + 1));
        EXPECT_GT(winner.id, 3) << "an earlier winner was drawn again";
        EXPECT_EQ(winner.name, "p" + std::to_string(winner.id));
        EXPECT_EQ(winner.number, "n" + std::to_string(winner.id));
        EXPECT_EQ(marks.at(winner.id), "是");
        ids.insert(winner.id);
    }
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_EQ(wonCount(), 6);

    draw::DrawRecord stored;
    ASSERT_TRUE(draw::ReadDraw(m_connection, 1, stored, true)) << m_connection.error();
    EXPECT_EQ(stored.digest, record.digest);
    EXPECT_EQ(stored.digest, draw::DrawDigest(stored));
    EXPECT_EQ(stored.winners.size(), 3u);
    EXPECT_EQ(stored.eligibleIds, draw::EncodeIds({10, 9, 8, 7, 6, 5, 4}));
}

// The seed as the README gives it, worked out here with the hash alone:
// SHA-256 over netstrings of the tag, S, the public input and the list's digest.
draw::Seed seedByTheRule(const draw::Seed& organiser, const std::string& publicInput,
                         const std::vector<std::int64_t>& list)
{
    store::Sha256 hash;
    auto netstring = [&hash](std::string_view bytes) {
        hash.update(std::to_string(bytes.size()) + ":");
        hash.update(bytes);
        hash.update(",");
    };
    netstring("sortia-seed-2");
    netstring(std::string_view(reinterpret_cast<const char*>(organiser.data()), organiser.size()));
    netstring(publicInput);
    netstring(store::ToHex(store::Sha256Of(draw::EncodeIds(list))));
    return hash.finish();
}

TEST_P(DrawTest, WinnersFollowFromTheOrganiserSeedThePublicInputAndTheListHighestIdFirst)
{
    draw::DrawRequest request;
    request.count = 3;
    request.organiserSeed = fixedSeed();
    request.publicInput = " 8 21 34\xE3\x80\x80";  // surrounded by an ASCII and an ideographic space
    const draw::DrawResult result = draw::RunDraw(m_connection, request);
    ASSERT_EQ(result.status, draw::DrawStatus::Done) << result.error;
    const std::vector<std::int64_t> list = {10, 9, 8, 7, 6, 5, 4};
    const draw::Seed seed = seedByTheRule(fixedSeed(), "8 21 34", list);
    const auto picks = draw::PickIndices(seed, list.size(), 3);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_EQ(result.record.winners[k].id, list[picks[k]]);
    const draw::DrawRecord& record = result.record;
    EXPECT_EQ(record.format, 2);
    EXPECT_EQ(record.seed, store::ToHex(seed));
    EXPECT_EQ(record.publicInput, "8 21 34");
    EXPECT_EQ(record.organiserSeed, store::ToHex(fixedSeed().data(), 32));
    EXPECT_EQ(record.seedCommitment,
              store::ToHex(store::Sha256Of(std::string_view(reinterpret_cast<const char*>(fixedSeed().data()), 32))));
}

TEST_P(DrawTest, RefusesCountsItCannotDrawAndMarksNobody)
{
    for (long long n : {0LL, -1LL, 8LL, 1000000LL}) {
        const draw::DrawResult result = draw(n);
        EXPECT_EQ(result.status, draw::DrawStatus::CountOutOfRange) << n;
        EXPECT_TRUE(result.record.winners.empty()) << n;
        EXPECT_EQ(result.available, 7) << n;
        EXPECT_EQ(wonCount(), 3) << n;
    }
    EXPECT_EQ(drawCount(m_connection), 0);
}

TEST_P(DrawTest, TheWholeRestCanBeDrawnThenNobodyIsLeft)
{
    ASSERT_EQ(draw(7).status, draw::DrawStatus::Done);
    EXPECT_EQ(wonCount(), 10);
    const draw::DrawResult none = draw(1);
    EXPECT_EQ(none.status, draw::DrawStatus::NobodyLeft);
    EXPECT_EQ(none.available, 0);
    EXPECT_EQ(drawCount(m_connection), 1);
}

TEST_P(DrawTest, AWinnerTakenSinceTheListWasReadIsDrawnAgainFromAFreshListWithTheSameOrganiserSeed)
{
    const std::vector<std::int64_t> listed = {10, 9, 8, 7, 6, 5, 4};
    const auto picked = listed[draw::PickIndices(seedByTheRule(fixedSeed(), "", listed), listed.size(), 1)[0]];
    // Another program marks all but one row after the list was read, the pick among them.
    const std::int64_t left = picked == 4 ? 10 : 4;
    ASSERT_TRUE(m_connection.RunBound("update sheet set isluck = '是' where id >= 4 and id <> ?", {left}));
    draw::DrawRequest request;
    request.count = 1;
    request.listedIds = &listed;
    int seedsTaken = 0;
    request.seeds = [&seedsTaken] {
        ++seedsTaken;
        return fixedSeed();
    };
    const draw::DrawResult result = draw::RunDraw(m_connection, request);
    ASSERT_EQ(result.status, draw::DrawStatus::Done) << result.error;
    EXPECT_EQ(result.attempts, 2);
    EXPECT_EQ(seedsTaken, 1);
    ASSERT_EQ(result.record.winners.size(), 1u);
    EXPECT_EQ(result.record.winners[0].id, left);
    EXPECT_EQ(result.record.eligibleCount, 1) << "the record holds the fresh list";
    EXPECT_EQ(result.record.seed, store::ToHex(seedByTheRule(fixedSeed(), "", {left})));
    EXPECT_EQ(wonCount(), 10);
    EXPECT_EQ(drawCount(m_connection), 1);
}

TEST_P(DrawTest, ThePicksFromTheCallersListAreRecordedWithThatList)
{
    // A list that is stale but whose winners are all still free is drawn as it was shown.
    const std::vector<std::int64_t> listed = {10, 9, 8, 7, 6, 5, 4};
    const auto picked = listed[draw::PickIndices(seedByTheRule(fixedSeed(), "", listed), listed.size(), 1)[0]];
    ASSERT_TRUE(m_connection.RunBound("update sheet set isluck = '是' where id = ?", {picked == 4 ? 10 : 4}));
    draw::DrawRequest request;
    request.count = 1;
    request.listedIds = &listed;
    request.seeds = [] { return fixedSeed(); };
    const draw::DrawResult result = draw::RunDraw(m_connection, request);
    ASSERT_EQ(result.status, draw::DrawStatus::Done) << result.error;
    EXPECT_EQ(result.attempts, 1);
    EXPECT_EQ(result.record.winners[0].id, picked);
    EXPECT_EQ(result.record.eligibleIds, draw::EncodeIds(listed));
}

TEST_P(DrawTest, WinnersTakenMeanwhileWithNobodyLeftEndInARefusalWithNothingRecorded)
{
    // Someone marks every row between the list shown and the stop.
    const std::vector<std::int64_t> listed = {10, 9, 8, 7, 6, 5, 4};
    ASSERT_TRUE(m_connection.Run("update sheet set isluck = '是'"));
    draw::DrawRequest request;
    request.count = 2;
    request.listedIds = &listed;
    const draw::DrawResult result = draw::RunDraw(m_connection, request);
    EXPECT_EQ(result.status, draw::DrawStatus::NobodyLeft);
    EXPECT_EQ(result.attempts, 2);
    EXPECT_EQ(drawCount(m_connection), 0);
}

TEST_P(DrawTest, AMarkThatChangesNoRowUndoesTheWholeDraw)
{
    ASSERT_TRUE(m_connection.Run("update sheet set isluck = '是' where id between 5 and 9"));
    m_db.refuse("sheet", "update", "old.id = 4", "");
    const draw::DrawResult result = draw(2);  // rows 10 and 4: both drawn
    EXPECT_EQ(result.status, draw::DrawStatus::MarkChangedNothing);
    const std::string message = draw::DescribeRefusal(result);
    EXPECT_NE(message.find("changed no row"), std::string::npos) << message;
    EXPECT_NE(message.find("id 4"), std::string::npos) << message;
    EXPECT_EQ(flags(m_connection).at(10), "否") << "the other winner's mark must be undone";
    EXPECT_EQ(drawCount(m_connection), 0);
}

TEST_P(DrawTest, AFailingRecordLeavesNobodyMarked)
{
    m_db.refuse("draw_winner", "insert", "true", "record refused");
    const draw::DrawResult result = draw(2);
    EXPECT_EQ(result.status, draw::DrawStatus::DatabaseError);
    EXPECT_NE(result.error.find("record refused"), std::string::npos) << result.error;
    EXPECT_EQ(wonCount(), 3);
    EXPECT_EQ(drawCount(m_connection), 0);
}

TEST_P(DrawTest, ResetKeepsTheHistory)
{
    ASSERT_EQ(draw(2).status, draw::DrawStatus::Done);
    ASSERT_TRUE(store::ResetWinners(m_connection));
    EXPECT_EQ(wonCount(), 0);
    std::vector<draw::DrawRecord> history;
    ASSERT_TRUE(draw::ReadHistory(m_connection, history));
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].winners.size(), 2u);
    const draw::DrawResult second = draw(10);
    ASSERT_EQ(second.status, draw::DrawStatus::Done) << second.error;
    EXPECT_EQ(second.record.previousDigest, history[0].digest);
}

// Marking by row: numbers another program stored as integers, numbers that
// are not UTF-8, and Null numbers, which name nobody else.
TEST(MarkingByRow, MarksTheWinnerWhateverItsNumberHolds)
{
    struct Case {
        const char* label;
        const char* number;        // SQL expression for row 1's user_number
        const char* otherNumber;   // SQL expression for row 2's, whose isluck is 'x'
        const char* otherAfter;    // row 2's isluck after the draw
        std::optional<std::string> recorded;
    };
    const Case cases[] = {
        {"integer", "13800000001", "13800000002", "x", "13800000001"},
        {"not UTF-8", "cast(X'B2E2CAD4' as text)", "'other'", "x", std::string("\xB2\xE2\xCA\xD4")},
        {"Null", "NULL", "''", "x", std::nullopt},
        {"shared text", "'77'", "'77'", "是", "77"},  // the number still marks every row that holds it
    };
    for (const Case& c : cases) {
        storetest::TempDir dir;
        const std::string path = dir.file("Sbase.mdb");
        // user_number without a type, as another program may have made it.
        storetest::runSql(path, std::string("create table sheet (id integer primary key, user_name text,"
                                            " user_number, isluck text);"
                                            "insert into sheet values (1, 'w', ") +
                                    c.number + ", '否'), (2, 'o', " + c.otherNumber + ", 'x');");
        store::DbConnection connection;
        ASSERT_TRUE(connection.OpenFile(path)) << connection.error();
        draw::DrawRequest request;
        request.count = 1;
        const draw::DrawResult result = draw::RunDraw(connection, request);
        ASSERT_EQ(result.status, draw::DrawStatus::Done) << c.label << ": " << result.error;
        EXPECT_EQ(result.record.winners[0].number, c.recorded) << c.label;
        const auto marks = flags(connection);
        EXPECT_EQ(marks.at(1), "是") << c.label;
        EXPECT_EQ(marks.at(2), c.otherAfter) << c.label;
    }
}

// More winners than one statement marks: rows 1..650 share their numbers
// with rows 651..1300, and rows 1..10 have none.
class LargeDrawTest : public storetest::SheetOnBothKinds {
protected:
    static constexpr int kRows = 1300;
    static std::optional<std::string> numberOf(std::int64_t id)
    {
        if (id <= 10)
            return std::nullopt;
        return "n" + std::to_string((id - 1) % (kRows / 2));
    }
    void SetUp() override
    {
        std::string rows;
        for (int id = 1; id <= kRows; ++id) {
            const auto number = numberOf(id);
            rows += std::string(id > 1 ? ", " : "") + "(" + std::to_string(id) + ", 'p" + std::to_string(id) +
                    "', " + (number ? "'" + *number + "'" : "null") + ", '否')";
        }
        openSheet(rows);
        ASSERT_TRUE(draw::EnsureDrawTables(m_connection)) << m_connection.error();
    }
    std::vector<std::int64_t> list() const
    {
        std::vector<std::int64_t> ids;
        for (std::int64_t id = kRows; id >= 1; --id)
            ids.push_back(id);
        return ids;
    }
};
SORTIA_ON_BOTH_KINDS(LargeDrawTest);

TEST_P(LargeDrawTest, MarksEveryWinnerAndTheRowsSharingTheirNumbersAndReportsExactlyThose)
{
    draw::DrawRequest request;
    request.count = 1100;
    const draw::DrawResult result = draw::RunDraw(m_connection, request);
    ASSERT_EQ(result.status, draw::DrawStatus::Done) << result.error;
    ASSERT_EQ(result.record.winners.size(), 1100u);
    std::set<std::int64_t> expected;
    std::set<std::string> numbers;
    for (const draw::RecordedWinner& winner : result.record.winners) {
        expected.insert(winner.id);
        EXPECT_EQ(winner.name, "p" + std::to_string(winner.id));
        EXPECT_EQ(winner.number, numberOf(winner.id));
        if (winner.number)
            numbers.insert(*winner.number);
    }
    ASSERT_EQ(expected.size(), 1100u) << "a participant won twice";
    for (std::int64_t id = 1; id <= kRows; ++id)
        if (numberOf(id) && numbers.count(*numberOf(id)))
            expected.insert(id);
    std::set<std::int64_t> won;
    for (const auto& [id, flag] : flags(m_connection))
        if (flag == "是")
            won.insert(id);
    EXPECT_EQ(won, expected);
    ASSERT_TRUE(result.markedIds);
    EXPECT_EQ(std::set<std::int64_t>(result.markedIds->begin(), result.markedIds->end()), expected);
    EXPECT_EQ(result.markedIds->size(), expected.size()) << "a row was reported twice";
}

TEST_P(LargeDrawTest, AMarkRefusedLateInTheDrawNamesItsWinnerAndUndoesEverything)
{
    for (const std::int64_t refused : {std::int64_t(7), std::int64_t(1290)}) {
        SCOPED_TRACE(refused);
        m_db.refuse("sheet", "update", "old.id = " + std::to_string(refused), "");
        draw::DrawRequest request;
        request.count = kRows;
        request.organiserSeed = fixedSeed();
        const draw::DrawResult result = draw::RunDraw(m_connection, request);
        ASSERT_EQ(result.status, draw::DrawStatus::MarkChangedNothing);
        const auto picks = draw::PickIndices(seedByTheRule(fixedSeed(), "", list()), kRows, kRows);
        const auto at = std::find_if(picks.begin(), picks.end(), [&](std::size_t p) { return list()[p] == refused; });
        const std::string message = draw::DescribeRefusal(result);
        EXPECT_NE(message.find("winner " + std::to_string(at - picks.begin() + 1) + " ("), std::string::npos)
            << message;
        for (const auto& [id, flag] : flags(m_connection))
            ASSERT_EQ(flag, "否") << id;
        EXPECT_EQ(drawCount(m_connection), 0);
        m_db.run(m_db.kind() == storetest::Kind::SQLite ? "drop trigger refuse_sheet_update"
                                                   : "drop trigger refuse_sheet_update on sheet;"
                                                     " drop function refuse_sheet_update()");
    }
}

}  // namespace
