// The statements against `sheet`, how their results read, waiting for
// another program's lock, and all-or-nothing marking.

#include <chrono>
#include <map>
#include <thread>

#include "store/participants.h"
#include "draw/prize_draw.h"
#include "tests/store/store_test_support.h"

namespace {

using storetest::TempDir;

// id -> isluck of every row, read outside the store.
std::map<std::string, std::string> flags(store::DbConnection& connection)
{
    std::map<std::string, std::string> result;
    auto rows = connection.Execute("select id, isluck from sheet");
    EXPECT_TRUE(rows);
    while (rows && !rows->EndOfFile()) {
        result[rows->Field(0)] = rows->Field(1);
        rows->MoveNext();
    }
    return result;
}

class SheetTest : public storetest::BothKinds {
protected:
    void open(const std::string& rows)
    {
        m_db.makeSheet(rows);
        ASSERT_TRUE(m_connection.OpenFile(m_db.dataSource())) << m_connection.error();
    }

    store::DbConnection m_connection;
};
SORTIA_ON_BOTH_KINDS(SheetTest);

TEST(Statements, KeepTheirTexts)
{
    EXPECT_STREQ(store::kSelectNotWon, "select * from sheet  where isluck = '否' order by id desc ");
    EXPECT_STREQ(store::kResetWinners, "update sheet set isluck = '否'  where  isluck = '是' ");
    // The number is bound, not pasted: the statement has one parameter and no quote around it.
    EXPECT_STREQ(store::kMarkWinner, "update sheet set isluck = '是'  where user_number = ? ");
}

TEST_P(SheetTest, ListHoldsOnlyNotWonHighestIdFirstWithNullsAsEmpty)
{
    open("(1, 'a', '11', '否'), (5, NULL, '15', '否'), (3, 'c', NULL, '否'), (4, 'd', '14', '是'),"
         " (2, 'b', '12', NULL), (6, 'f', '16', ''), (7, 'g', '17', '否 ')");
    std::vector<store::Participant> list;
    ASSERT_TRUE(store::LoadNotWon(m_connection, list)) << m_connection.error();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].id, "5");
    EXPECT_EQ(list[0].name, "");
    EXPECT_EQ(list[0].number, "15");
    EXPECT_EQ(list[1].id, "3");
    EXPECT_EQ(list[1].number, "");
    EXPECT_EQ(list[2].id, "1");
    EXPECT_EQ(list[2].name, "a");
}

TEST_P(SheetTest, EmptyResultIsEndOfFileAtOnce)
{
    open("(1, 'a', '11', '是')");
    auto result = m_connection.Execute(store::kSelectNotWon);
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->EndOfFile());
    EXPECT_EQ(result->Field(0), "");
    std::vector<store::Participant> list{{"x", "y", "z"}};
    ASSERT_TRUE(store::LoadNotWon(m_connection, list));
    EXPECT_TRUE(list.empty());
}

TEST(LoadNotWon, ReportsAFailureMetWhileReading)
{
    // A view whose second row cannot be computed: the first row reads, the next step fails.
    TempDir dir;
    const std::string path = dir.file("Sbase.mdb");
    storetest::runSql(path, "create table base (id integer primary key, user_name text, user_number text, isluck text);"
                            "insert into base values (1, 'a', '1', '否'), (2, 'b', '2', '否'), (3, 'c', '3', '否');"
                            "create view sheet as select id, case when id = 2 then abs(-9223372036854775807 - 1)"
                            " else user_name end as user_name, user_number, isluck from base;");
    store::DbConnection connection;
    ASSERT_TRUE(connection.OpenFile(path)) << connection.error();
    std::vector<store::Participant> list;
    EXPECT_FALSE(store::LoadNotWon(connection, list));
    EXPECT_NE(connection.error().find("overflow"), std::string::npos) << connection.error();
}

TEST_P(SheetTest, FieldsOutsideTheRowReadEmpty)
{
    open("(1, 'a', '11', '否')");
    auto result = m_connection.Execute(store::kSelectNotWon);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->FieldCount(), 4);
    EXPECT_EQ(result->Field(-1), "");
    EXPECT_EQ(result->Field(4), "");
    EXPECT_EQ(result->Field(3), "否");
}

TEST_P(SheetTest, MarkingMatchesTheNumberAsTextOnly)
{
    struct Case {
        std::string number;
        std::map<std::string, std::string> expected;  // id -> isluck afterwards
    };
    const Case cases[] = {
        {"20", {{"1", "是"}, {"2", "是"}, {"3", "否"}, {"4", "否"}, {"5", "否"}}},  // shared number: both rows
        {"O'Brien", {{"1", "否"}, {"2", "否"}, {"3", "是"}, {"4", "否"}, {"5", "否"}}},
        {"x' or '1'='1", {{"1", "否"}, {"2", "否"}, {"3", "否"}, {"4", "否"}, {"5", "否"}}},
        {"99", {{"1", "否"}, {"2", "否"}, {"3", "否"}, {"4", "否"}, {"5", "否"}}},  // no match is no error
        {"020", {{"1", "否"}, {"2", "否"}, {"3", "否"}, {"4", "否"}, {"5", "否"}}},  // text, not number, equality
    };
    open("(1, 'a', '20', '否'), (2, 'b', '20', '否'), (3, 'c', 'O''Brien', '否'), (4, 'd', '21', '否'),"
         " (5, 'e', '20 ', '否')");
    for (const Case& c : cases) {
        ASSERT_TRUE(m_connection.Run("update sheet set isluck = '否'"));
        ASSERT_TRUE(m_connection.Run(store::kMarkWinner, {c.number})) << c.number << ": " << m_connection.error();
        EXPECT_EQ(flags(m_connection), c.expected) << c.number;
    }
}

TEST_P(SheetTest, ResetTurnsWinnersBackAndLeavesOtherValues)
{
    open("(1, 'a', '11', '是'), (2, 'b', '12', '否'), (3, 'c', '13', 'x'), (4, 'd', '14', NULL), (5, 'e', '15', '是')");
    ASSERT_TRUE(store::ResetWinners(m_connection));
    const std::map<std::string, std::string> expected = {{"1", "否"}, {"2", "否"}, {"3", "x"}, {"4", ""}, {"5", "否"}};
    EXPECT_EQ(flags(m_connection), expected);
    auto nulls = m_connection.Execute("select count(*) from sheet where isluck is null");
    ASSERT_TRUE(nulls);
    EXPECT_EQ(nulls->Field(0), "1");
}

TEST_P(SheetTest, CountsSplitWonAndNotWon)
{
    open("(1, 'a', '11', '是'), (2, 'b', '12', '否'), (3, 'c', '13', 'x'), (4, 'd', '14', '否')");
    store::Counts counts;
    ASSERT_TRUE(store::CountParticipants(m_connection, counts));
    EXPECT_EQ(counts.all, 4);
    EXPECT_EQ(counts.won, 1);
    EXPECT_EQ(counts.notWon, 2);
    long long notWon = 0;
    ASSERT_TRUE(store::CountNotWon(m_connection, notWon));
    EXPECT_EQ(notWon, 2);
}

TEST(ResetWinners, WaitsForAnotherProgramsLock)
{
    TempDir dir;
    const std::string path = dir.file("Sbase.mdb");
    storetest::makeSheet(path, "(1, 'a', '11', '是')");
    store::DbConnection connection;
    ASSERT_TRUE(connection.OpenFile(path)) << connection.error();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    // Its commit waits for the waiting side's brief read locks, as a real
    // program's would, instead of failing at the first on a loaded machine.
    sqlite3_busy_timeout(other, 5000);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE; update sheet set user_name = 'held' where id = 1;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    const auto start = std::chrono::steady_clock::now();
    std::thread releaser([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    const bool reset = store::ResetWinners(connection);
    const auto waited = std::chrono::steady_clock::now() - start;
    releaser.join();
    sqlite3_close(other);
    ASSERT_TRUE(reset) << connection.error();
    EXPECT_GE(waited, std::chrono::milliseconds(250));
    auto row = connection.Execute("select user_name, isluck from sheet where id = 1");
    ASSERT_TRUE(row);
    EXPECT_EQ(row->Field(0), "held");
    EXPECT_EQ(row->Field(1), "否");
}

TEST(RunDraw, AFailingMarkLeavesNobodyMarkedWhicheverWayItFails)
{
    // RAISE's three ways of failing a statement; each must undo the marks before it.
    for (const char* how : {"abort", "fail", "rollback"}) {
        TempDir dir;
        const std::string path = dir.file("Sbase.mdb");
        storetest::makeSheet(path, "(1, 'a', '11', '否'), (2, 'b', '12', '否'), (3, 'c', '13', '否'), (4, 'd', '14', '否')");
        storetest::runSql(path, std::string("create trigger refuse before update on sheet when new.user_number = '13'"
                                            " begin select raise(") +
                                    how + ", 'number 13 refused'); end;");
        store::DbConnection connection;
        ASSERT_TRUE(connection.OpenFile(path)) << connection.error();
        draw::DrawRequest request;
        request.count = 4;
        const draw::DrawResult result = draw::RunDraw(connection, request);
        EXPECT_EQ(result.status, draw::DrawStatus::DatabaseError) << how;
        EXPECT_NE(result.error.find("number 13 refused"), std::string::npos) << how << ": " << result.error;
        for (const auto& [id, isluck] : flags(connection))
            EXPECT_EQ(isluck, "否") << how << ", row " << id;
        // The connection is usable afterwards, outside any transaction.
        EXPECT_TRUE(store::ResetWinners(connection)) << how << ": " << connection.error();
    }
}

TEST_P(SheetTest, AFailedDrawReportsTheErrorAndMarksNobody)
{
    open("(1, 'a', '11', '否'), (2, 'b', '12', '否'), (3, 'c', '13', '否')");
    m_db.refuse("sheet", "update", "new.user_number = '12'", "twelve refused");
    draw::DrawRequest request;
    request.count = 3;
    const draw::DrawResult result = draw::RunDraw(m_connection, request);
    EXPECT_EQ(result.status, draw::DrawStatus::DatabaseError);
    EXPECT_NE(result.error.find("twelve refused"), std::string::npos) << result.error;
    EXPECT_TRUE(result.record.winners.empty());
    for (const auto& [id, isluck] : flags(m_connection))
        EXPECT_EQ(isluck, "否") << "row " << id;
}

}  // namespace
