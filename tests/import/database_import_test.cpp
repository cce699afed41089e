// Adding checked rows to the database: new rows, rows already present,
// conflicting numbers, and that a refused or stopped import leaves nothing.

#include <gtest/gtest.h>

#include "platform/language/language.h"
#include "import/database_import.h"
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
            EXPECT_EQ(outcome.conflicts[i].line, c.conflicts[i].first);
            EXPECT_NE(outcome.conflicts[i].message.find(c.conflicts[i].second), std::string::npos)
                << outcome.conflicts[i].message;
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
