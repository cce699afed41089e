// Adding checked rows to the database: new rows, rows already present,
// conflicting numbers, and that a refused or stopped import leaves nothing.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/language/language.h"
#include "import/database_import.h"
#include "import/participant_import.h"
#include "store/participants.h"
#include "tests/store/store_test_support.h"

namespace {

using importer::ImportRow;

const bool kEnglish = (lang::setUiLanguage(lang::Language::English), true);

// Every row as "id name number isluck", in id order.
std::vector<std::string> tableOf(store::DbConnection& db)
{
    std::vector<std::string> rows;
    auto result = db.Execute("select id, user_name, user_number, isluck from sheet order by id");
    while (result && !result->EndOfFile()) {
        rows.push_back(result->Field(0) + " " + result->Field(1) + " " + result->Field(2) + " " + result->Field(3));
        result->MoveNext();
    }
    return rows;
}

TEST(WriteParticipants, SkipsRowsAlreadyPresentAndRefusesConflicts)
{
    struct Case {
        const char* label;
        std::string existing;  // SQL values rows
        std::vector<ImportRow> rows;
        std::size_t inserted, skipped;
        std::vector<std::pair<std::size_t, const char*>> conflicts;  // line, part of the message
        std::vector<std::string> table;                              // afterwards
    };
    const Case cases[] = {
        {"into an empty table", "", {{2, "a", "1", "否"}, {3, "b", "2", "是"}}, 2, 0, {}, {"1 a 1 否", "2 b 2 是"}},
        {"same number and name: skipped, its mark kept",
         "(1, ' a ', '1', '是'), (2, 'x', null, '否')",
         {{2, "a", "1", "否"}, {3, "b", "2", "否"}},
         1, 1, {}, {"1  a  1 是", "2 x  否", "3 b 2 否"}},
        {"a number stored as an integer compares as its digits",
         "(1, 'a', 13800000001, '否')", {{2, "a", "13800000001", "否"}}, 0, 1, {}, {"1 a 13800000001 否"}},
        {"same number, another name: nothing imported",
         "(1, 'a', '1', '否'), (7, 'c', '3', '否')",
         {{2, "new", "9", "否"}, {3, "b", "1", "否"}, {4, "c", "3", "否"}, {5, "d", "3x", "否"}},
         0, 0, {{3, "user_number 1 is already in the database for 'a' (id 1), not for 'b'"}},
         {"1 a 1 否", "7 c 3 否"}},
        {"two database rows share the number: one conflict a line",
         "(1, 'a', '5', '否'), (2, 'b', '5', '否')", {{9, "c", "5", "否"}}, 0, 0, {{9, "for 'a'"}},
         {"1 a 5 否", "2 b 5 否"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        storetest::TempDir dir;
        const std::string path = dir.file("Sbase.mdb");
        storetest::makeSheet(path, c.existing);
        store::DbConnection db;
        ASSERT_TRUE(db.OpenFile(path)) << db.error();
        const importer::WriteOutcome outcome = importer::writeParticipants(db, c.rows);
        EXPECT_EQ(outcome.ok, c.conflicts.empty()) << outcome.error;
        EXPECT_EQ(outcome.inserted, c.inserted);
        EXPECT_EQ(outcome.skipped, c.skipped);
        ASSERT_EQ(outcome.conflicts.size(), c.conflicts.size());
        for (std::size_t i = 0; i < c.conflicts.size(); ++i) {
            const importer::Problem& conflict = outcome.conflicts.kept()[i];
            EXPECT_EQ(conflict.line, c.conflicts[i].first);
            EXPECT_NE(conflict.message.find(c.conflicts[i].second), std::string::npos) << conflict.message;
        }
        EXPECT_EQ(tableOf(db), c.table);
    }
}

TEST(WriteParticipants, AStoppedImportWritesNothing)
{
    std::vector<ImportRow> rows;
    for (int i = 0; i < 10000; ++i)
        rows.push_back({std::size_t(i + 2), "n" + std::to_string(i), std::to_string(i), "否"});
    for (const auto stage : {importer::Progress::Stage::Checking, importer::Progress::Stage::Writing}) {
        storetest::TempDir dir;
        const std::string path = dir.file("Sbase.mdb");
        // Rows to check against, so that the check reports progress too.
        std::string existing;
        for (int i = 0; i < 5000; ++i)
            existing += std::string(i ? "," : "") + "('e', 'x" + std::to_string(i) + "', '否')";
        storetest::runSql(path, "create table sheet (id integer primary key, user_name text, user_number text,"
                                " isluck text); insert into sheet (user_name, user_number, isluck) values " +
                                    existing);
        store::DbConnection db;
        ASSERT_TRUE(db.OpenFile(path)) << db.error();
        std::size_t calls = 0;
        const importer::WriteOutcome outcome = importer::writeParticipants(db, rows, [&](const importer::Progress& p) {
            ++calls;
            return !(p.stage == stage && p.done > 0);
        });
        EXPECT_TRUE(outcome.stopped);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.inserted, 0u);
        EXPECT_GE(calls, 1u);
        store::Counts counts;
        ASSERT_TRUE(store::CountParticipants(db, counts));
        EXPECT_EQ(counts.all, 5000);
        EXPECT_TRUE(db.Run("select 1")) << "the transaction must be over";
    }
}

TEST(WriteParticipants, WaitsForAnotherProgramsLockTellingProgress)
{
    // What the progress function does at each wait: go on, stop, or let the
    // other program finish at the third wait.
    enum class Answer { GoOn, Stop, ReleaseAtThird };
    struct Case {
        const char* label;
        Answer answer;
        bool ok, stopped;
        std::size_t participants;  // afterwards
    };
    const Case cases[] = {
        {"the lock outlasts the wait", Answer::GoOn, false, false, 1},
        {"the operator stops waiting", Answer::Stop, false, true, 1},
        {"the other program finishes", Answer::ReleaseAtThird, true, false, 2},
    };
    constexpr int kLockWaitMs = 600;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        storetest::TempDir dir;
        const std::string path = dir.file("Sbase.mdb");
        storetest::makeSheet(path, "(1, 'a', '11', '否')");
        store::DbConnection other;
        ASSERT_TRUE(other.OpenFile(path)) << other.error();
        ASSERT_TRUE(other.BeginTransaction(store::TransactionKind::Import)) << other.error();
        store::DbConnection db;
        ASSERT_TRUE(db.OpenFile(path)) << db.error();
        db.setLockWait(kLockWaitMs);

        std::vector<importer::Progress> waits;
        const importer::WriteOutcome outcome =
            importer::writeParticipants(db, {{2, "b", "12", "否"}}, [&](const importer::Progress& p) {
                if (p.stage != importer::Progress::Stage::Waiting)
                    return true;
                waits.push_back(p);
                if (c.answer == Answer::ReleaseAtThird && waits.size() == 3)
                    other.RollbackTransaction();
                return c.answer != Answer::Stop;
            });
        other.RollbackTransaction();

        EXPECT_EQ(outcome.ok, c.ok) << outcome.error;
        EXPECT_EQ(outcome.stopped, c.stopped);
        if (!c.ok && !c.stopped) {
            EXPECT_NE(outcome.error.find("in use by another program"), std::string::npos) << outcome.error;
        }
        ASSERT_FALSE(waits.empty()) << "the wait must be told, not sat out";
        if (c.answer == Answer::GoOn) {
            EXPECT_GE(waits.size(), 3u);
        }
        for (const importer::Progress& p : waits) {
            EXPECT_EQ(p.total, std::size_t(kLockWaitMs));
            EXPECT_LT(p.done, p.total);
        }
        EXPECT_EQ(db.lockWait(), kLockWaitMs);
        store::Counts counts;
        ASSERT_TRUE(store::CountParticipants(db, counts)) << db.error();
        EXPECT_EQ(counts.all, (long long)c.participants);
    }
}

}  // namespace

namespace {

using importer::Groups;

// A list's groups beside sheet, on both kinds of database.
class GroupImport : public storetest::SheetOnBothKinds {
protected:
    void SetUp() override { openSheet("(1, 'a', '1', '是'), (2, 'b', '2', '否')"); }

    // "id group" in id order.
    std::vector<std::string> groups()
    {
        std::vector<std::string> out;
        auto rows = m_connection.Execute("select participant_id, group_name from participant_group order by 1");
        while (rows && !rows->EndOfFile()) {
            out.push_back(rows->Field(0) + " " + rows->Field(1));
            rows->MoveNext();
        }
        return out;
    }
};

TEST_P(GroupImport, NewRowsTakeTheirGroupAndTheNewestListWins)
{
    if (!ready())
        return;
    // A list without a group column leaves the database without the table.
    ASSERT_TRUE(importer::writeParticipants(m_connection, {{2, "c", "3", "否", ""}}).ok);
    EXPECT_EQ(m_connection.HasTable("participant_group"), false);

    struct Step {
        std::vector<ImportRow> rows;
        std::size_t inserted, skipped, regrouped;
        std::vector<std::string> groups;  // afterwards
    };
    const Step steps[] = {
        // present rows take the group named for them; a row naming none keeps its own (none)
        {{{2, "a", "1", "否", "销售"}, {3, "b", "2", "否", ""}, {4, "d", "4", "否", "财务"}}, 1, 2, 1, {"1 销售", "4 财务"}},
        // the next list moves a; d's group is unchanged and not counted
        {{{2, "a", "1", "否", "市场"}, {3, "d", "4", "否", "财务"}, {4, "e", "5", "否", "财务"}}, 1, 2, 1,
         {"1 市场", "4 财务", "5 财务"}},
    };
    for (const Step& step : steps) {
        const importer::WriteOutcome outcome = importer::writeParticipants(m_connection, step.rows, {}, Groups::Present);
        ASSERT_TRUE(outcome.ok) << outcome.error;
        EXPECT_EQ(outcome.inserted, step.inserted);
        EXPECT_EQ(outcome.skipped, step.skipped);
        EXPECT_EQ(outcome.regrouped, step.regrouped);
        EXPECT_EQ(groups(), step.groups);
    }
    auto won = m_connection.Execute("select isluck from sheet where id = 1");
    ASSERT_TRUE(won && !won->EndOfFile());
    EXPECT_EQ(won->Field(0), "是") << "a row already present keeps its mark";
}

SORTIA_ON_BOTH_KINDS(GroupImport);

// On a server, other PCs write while a list is imported.
class ServerImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!m_db.available())
            GTEST_SKIP() << m_db.why();
        m_db.makeSheet("");
        ASSERT_TRUE(m_connection.OpenFile(m_db.dataSource())) << m_connection.error();
    }

    long long countOf(const std::string& number)
    {
        auto rows = m_connection.Execute("select count(*) from sheet where user_number = ?", {number});
        return rows ? rows->FieldInteger(0) : -1;
    }

    static std::vector<ImportRow> listWith(const std::string& number)
    {
        std::vector<ImportRow> rows;
        for (int i = 0; i < 10000; ++i)
            rows.push_back({std::size_t(i + 2), "n" + std::to_string(i), std::to_string(i), "否", ""});
        rows.push_back({10002, "desk's guest", number, "否", ""});
        return rows;
    }

    storetest::ScratchDatabase m_db{storetest::Kind::PostgreSQL};
    store::DbConnection m_connection;
};

// A registration desk adds a guest with a plain insert, after checking
// that the number is new, while the import has checked its list and is
// writing it: whoever comes second must see the other's row.
TEST_F(ServerImport, ADeskAddingTheSameNumberMeanwhileNeverDoublesIt)
{
    const std::string desk = "insert into sheet (user_name, user_number, isluck) select 'desk''s guest', 'X', '否'"
                             " where not exists (select 1 from sheet where user_number = 'X')";
    std::thread deskThread;
    const importer::WriteOutcome outcome =
        importer::writeParticipants(m_connection, listWith("X"), [&](const importer::Progress& p) {
            if (p.stage == importer::Progress::Stage::Writing && !deskThread.joinable()) {
                deskThread = std::thread([&] { EXPECT_EQ(testsupport::pgRun(m_db.dataSource(), desk), ""); });
                // Time for the desk to slip in, were it let in.
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
            }
            return true;
        });
    if (deskThread.joinable())
        deskThread.join();
    EXPECT_TRUE(outcome.ok) << outcome.error;
    EXPECT_EQ(countOf("X"), 1);
}

// The server undoes an import for a conflict with another transaction:
// it is tried again, and after kMaxConflictAttempts tries refused clearly.
TEST_F(ServerImport, AConflictIsTriedAgainThenRefused)
{
    struct Case {
        const char* label;
        const char* conflictWhen;  // over nextval('tries'), one per inserted row and try
        bool ok;
    };
    const Case cases[] = {
        {"once", "nextval('tries') = 1", true},
        {"always", "nextval('tries') > 0", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        m_db.run("drop trigger if exists conflict on sheet; delete from sheet; drop sequence if exists tries;"
                 "create sequence tries; create or replace function conflict() returns trigger language plpgsql as"
                 " $$ begin if " + std::string(c.conflictWhen) +
                 " then raise exception 'conflict' using errcode = '40001'; end if; return new; end $$;"
                 " create trigger conflict before insert on sheet for each row execute function conflict();");
        const importer::WriteOutcome outcome = importer::writeParticipants(m_connection, {{2, "a", "1", "否", ""}});
        EXPECT_EQ(outcome.ok, c.ok) << outcome.error;
        EXPECT_EQ(outcome.attempts, c.ok ? 2 : importer::kMaxConflictAttempts);
        EXPECT_EQ(countOf("1"), c.ok ? 1 : 0);
        if (!c.ok) {
            EXPECT_NE(outcome.error.find("kept changing the participants"), std::string::npos) << outcome.error;
        }
    }
}

}  // namespace

namespace {

// The whole way, as the window and sortia-db take it: what the summary tells.
TEST(ImportBytes, SummarisesColumnsGroupsAndProblems)
{
    storetest::TempDir dir;
    const std::string path = dir.file("Sbase.mdb");
    storetest::makeSheet(path, "(1, '张三', 'E01', '是')");
    store::DbConnection db;
    ASSERT_TRUE(db.OpenFile(path)) << db.error();
    struct Case {
        const char* label;
        std::string list;
        importer::ImportStatus status;
        std::string summary;
        std::size_t problemsKept;
    };
    std::string manyBad = "姓名,工号\n";
    for (int i = 0; i < 30; ++i)
        manyBad += "x" + std::to_string(i) + ",\n";
    const Case cases[] = {
        {"HR's own headers", "姓名,工号,部门\n张三,E01,销售\n李四,E02,财务\n", importer::ImportStatus::Imported,
         "imported 1 participants; skipped 1 already in the database; set the group of 1 of those already there\n"
         "columns read: 姓名 → user_name, 工号 → user_number, 部门 → group",
         0},
        {"the program's own headers", "user_name,user_number\n王五,E03\n", importer::ImportStatus::Imported,
         "imported 1 participants", 0},
        {"a problem on every line", manyBad, importer::ImportStatus::Refused,
         "nothing was imported; problems found: 30\ncolumns read: 姓名 → user_name, 工号 → user_number",
         importer::ProblemList::kKept},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const importer::ImportReport report = importer::importBytes(db, c.list, {});
        EXPECT_EQ(report.status, c.status) << importer::summaryText(report);
        EXPECT_EQ(importer::summaryText(report), c.summary);
        EXPECT_EQ(report.problems.size(), c.problemsKept);
    }
}

}  // namespace
