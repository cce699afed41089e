// The held list of not-yet-won participants: its texts come back exactly as
// the table gives them, it is read again exactly when something changed the
// table, and after a draw it shows exactly what reading it again would show.

#include <functional>
#include <string>
#include <vector>

#include "platform/language/language.h"
#include "draw/participant_list.h"
#include "tests/draw/draw_test_support.h"

namespace {

struct Listed {
    std::string id, name, number;
    bool operator==(const Listed&) const = default;
};

std::vector<Listed> rowsOf(const draw::ParticipantList& list)
{
    std::vector<Listed> rows;
    for (std::size_t r = 0; r < list.size(); ++r)
        rows.push_back({list.idText(r), std::string(list.name(r)), std::string(list.number(r))});
    return rows;
}

// What reading the table afresh, on a connection of its own, gives.
std::vector<Listed> freshRead(const std::string& path)
{
    store::DbConnection connection;
    EXPECT_TRUE(connection.OpenFile(path)) << connection.error();
    std::vector<Listed> rows;
    auto result = connection.Execute(store::kSelectNotWon);
    for (; result && !result->EndOfFile(); result->MoveNext())
        rows.push_back({result->Field(0), result->Field(1), result->Field(2)});
    return rows;
}

std::string repeated(char c, std::size_t n)
{
    return std::string(n, c);
}

TEST(ParticipantList, GivesBackEveryTextAsAppended)
{
    struct Case {
        const char* what;
        std::optional<std::int64_t> integerId;
        std::string idText, name, number;
        std::string expectedId;
    };
    const std::string big = repeated('x', (std::size_t(1) << 20) + 7);  // larger than one arena chunk
    const Case cases[] = {
        {"whole-number id", 90, "", "张三", "13800000000", "90"},
        {"empty texts", 80, "", "", "", "80"},
        {"text id", std::nullopt, "70", "a", "b", "70"},
        {"text of 300 bytes", 60, "", repeated('n', 300), repeated('m', 200), "60"},
        {"a row larger than a chunk", 50, "", big, "n", "50"},
        {"after it, a small row", 40, "", "small", "k", "40"},
        {"negative id", -5, "", "neg", "z", "-5"},
        // Out of order: the list cannot be drawn from, but its texts stay exact.
        {"id out of order", 100, "", "late", "q", "100"},
        {"text id after the list broke", std::nullopt, "abc", "t", "u", "abc"},
        {"whole number after the list broke", 7, "", "w", "v", "7"},
    };
    draw::ParticipantList list;
    for (const Case& c : cases)
        list.append(c.integerId, c.idText, c.name, c.number);
    ASSERT_EQ(list.size(), std::size(cases));
    for (std::size_t r = 0; r < list.size(); ++r) {
        SCOPED_TRACE(cases[r].what);
        EXPECT_EQ(list.idText(r), cases[r].expectedId);
        EXPECT_EQ(list.name(r), cases[r].name);
        EXPECT_EQ(list.number(r), cases[r].number);
    }
    EXPECT_FALSE(list.drawable());
    EXPECT_NE(list.problem().find("100"), std::string::npos) << list.problem();
    EXPECT_GT(list.bytesHeld(), big.size());
}

TEST(ParticipantList, RemovingIdsKeepsTheOrderOfTheRest)
{
    draw::ParticipantList list;
    for (int id = 9; id >= 1; --id)
        list.append(id, "", "p" + std::to_string(id), "n" + std::to_string(id));
    list.removeIds({3, 9, 5, 5, 42});
    std::vector<std::string> names;
    for (std::size_t r = 0; r < list.size(); ++r)
        names.emplace_back(list.name(r));
    EXPECT_EQ(names, (std::vector<std::string>{"p8", "p7", "p6", "p4", "p2", "p1"}));
    EXPECT_EQ(list.ids(), (std::vector<std::int64_t>{8, 7, 6, 4, 2, 1}));
    EXPECT_EQ(list.idText(3), "4");
    // What a draw records follows the list as it is now.
    EXPECT_EQ(list.encodedIds(), draw::EncodeIds(list.ids()));
    list.removeIds({8});
    EXPECT_EQ(list.encodedIds(), draw::EncodeIds({7, 6, 4, 2, 1}));
    EXPECT_EQ(list.digest(), draw::EligibleDigest(draw::EncodeIds({7, 6, 4, 2, 1})));
}

// A database with a held list of its not-yet-won participants.
class Held {
public:
    explicit Held(const std::string& rows)
    {
        storetest::makeSheet(path, rows);
        storetest::runSql(path, "create index sheet_user_number on sheet(user_number);");
        EXPECT_TRUE(connection.OpenFile(path)) << connection.error();
        EXPECT_TRUE(draw::RefreshNotWon(connection, list)) << connection.error();
    }
    draw::DrawResult draw(long long n, std::uint8_t seed = 1)
    {
        draw::DrawRequest request;
        request.level = "一等奖";
        request.count = n;
        request.seeds = [seed] { return storetest::seedOf(seed); };
        return draw::DrawFromList(connection, list, request);
    }
    // Refreshes and says whether the table was read for it.
    bool refreshReads()
    {
        const std::size_t before = list.reads();
        EXPECT_TRUE(draw::RefreshNotWon(connection, list)) << connection.error();
        return list.reads() != before;
    }
    bool matchesFreshRead() const { return rowsOf(list) == freshRead(path); }

    storetest::TempDir dir;
    std::string path = dir.file("Sbase.mdb");
    store::DbConnection connection;
    draw::ParticipantList list;
};

class HeldListTest : public ::testing::Test {
protected:
    void SetUp() override { lang::setUiLanguage(lang::Language::English); }
    void TearDown() override { lang::resetUiLanguage(); }
};

using Change = std::function<void(store::DbConnection& own, const std::string& path)>;

void byAnother(const std::string& path, const std::string& sql)
{
    storetest::runSql(path, sql);
}

TEST_F(HeldListTest, IsReadAgainExactlyWhenSomethingChangedTheTable)
{
    struct Case {
        const char* what;
        Change change;
        bool reads;
    };
    const Case cases[] = {
        {"nothing", [](store::DbConnection&, const std::string&) {}, false},
        {"a reading statement",
         [](store::DbConnection& own, const std::string&) { own.Execute("select count(*) from sheet"); }, false},
        {"a reset through this connection",
         [](store::DbConnection& own, const std::string&) { store::ResetWinners(own); }, true},
        {"an insert through this connection",
         [](store::DbConnection& own, const std::string&) {
             own.Run("insert into sheet (user_name, user_number, isluck) values ('new', 'nn', '否')");
         },
         true},
        {"an update by another program",
         [](store::DbConnection&, const std::string& path) {
             byAnother(path, "update sheet set user_name = 'renamed' where id = 8");
         },
         true},
        {"a mark by another program",
         [](store::DbConnection&, const std::string& path) {
             byAnother(path, "update sheet set isluck = '是' where id = 7");
         },
         true},
        {"another program's change undone",
         [](store::DbConnection&, const std::string& path) { byAnother(path, "begin; delete from sheet; rollback;"); },
         false},
    };
    Held held(storetest::participantRows(10, 2));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.change(held.connection, held.path);
        EXPECT_EQ(held.refreshReads(), c.reads);
        EXPECT_TRUE(held.matchesFreshRead());
        EXPECT_FALSE(held.refreshReads());
    }
}

TEST_F(HeldListTest, AfterADrawShowsWhatReadingAgainWouldShow)
{
    // Numbers shared by several rows, Null names and numbers, and rows
    // outside the list (won, or with another flag) that share a number.
    struct Case {
        const char* what;
        std::string rows;
        long long winners;
    };
    const Case cases[] = {
        {"distinct numbers", storetest::participantRows(12, 3), 4},
        {"every number shared",
         "(1,'a','x','否'),(2,'b','y','否'),(3,'c','z','否'),(4,'d','x','否'),(5,'e','y','否'),(6,'f','z','否'),"
         "(7,'g','x','否'),(8,'h','y','否'),(9,'i','z','否')",
         2},
        {"Null names and numbers",
         "(1,null,null,'否'),(2,'b',null,'否'),(3,null,'n3','否'),(4,'d','n4','否'),(5,'e',null,'否')", 3},
        {"numbers shared with rows outside the list",
         "(1,'a','x','是'),(2,'b','x',''),(3,'c','x',null),(4,'d','x','否'),(5,'e','y','否'),(6,'f','y','否')", 1},
        {"numbers that differ only in case or spaces",
         "(1,'a','X','否'),(2,'b','x','否'),(3,'c','x ','否'),(4,'d',' x','否'),(5,'e','x','否')", 2},
    };
    for (const Case& c : cases) {
        for (std::uint8_t seed = 1; seed <= 3; ++seed) {
            SCOPED_TRACE(std::string(c.what) + ", seed " + std::to_string(seed));
            Held held(c.rows);
            const draw::DrawResult result = held.draw(c.winners, seed);
            ASSERT_EQ(result.status, draw::DrawStatus::Done) << result.error;
            EXPECT_TRUE(held.matchesFreshRead());
            EXPECT_FALSE(held.refreshReads());
            // The next draw records the list as it now is.
            std::vector<std::int64_t> ids;
            for (const Listed& row : freshRead(held.path))
                ids.push_back(std::stoll(row.id));
            if (ids.empty())
                continue;
            const draw::DrawResult next = held.draw(1, seed);
            ASSERT_EQ(next.status, draw::DrawStatus::Done) << next.error;
            EXPECT_EQ(next.record.eligibleIds, draw::EncodeIds(ids));
            EXPECT_EQ(next.record.eligibleDigest, draw::EligibleDigest(draw::EncodeIds(ids)));
        }
    }
}

TEST_F(HeldListTest, AChangeByAnotherProgramAroundADrawMakesItReadAgain)
{
    struct Case {
        const char* what;
        std::string before;  // run by another program between the refresh and the draw
        std::string after;   // and between the draw and the next refresh
    };
    const Case cases[] = {
        {"a participant added before", "insert into sheet values (100, 'late', 'n100', '否')", ""},
        {"a participant marked before", "update sheet set isluck = '是' where id = 9", ""},
        {"a participant added after", "", "insert into sheet values (100, 'late', 'n100', '否')"},
        {"every participant reset after", "", "update sheet set isluck = '否'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Held held(storetest::participantRows(10, 2));
        if (!c.before.empty())
            byAnother(held.path, c.before);
        ASSERT_EQ(held.draw(2).status, draw::DrawStatus::Done);
        if (!c.after.empty())
            byAnother(held.path, c.after);
        EXPECT_TRUE(held.refreshReads());
        EXPECT_TRUE(held.matchesFreshRead());
    }
}

TEST_F(HeldListTest, AListWhoseIdsCannotNameTheirRowsIsNotDrawnFrom)
{
    Held held("(1,'a','x','否')");
    held.list.clear();
    held.list.append(5, "", "a", "x");
    held.list.append(5, "", "b", "y");
    const draw::DrawResult result = held.draw(1);
    EXPECT_EQ(result.status, draw::DrawStatus::BadList);
    EXPECT_NE(result.error.find('5'), std::string::npos) << result.error;
    EXPECT_EQ(freshRead(held.path).size(), 1u);
}

}  // namespace
