// sortia-db's draws under faults from outside: killed at random moments,
// racing another program that inserts participants and marks some of them,
// and kept out by a lock held longer than it waits. After each, SQLite's
// integrity check passes and every draw is wholly recorded or absent.

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include <sqlite3.h>

#include "tests/tools/db_tool_fixture.h"

namespace {

using namespace dbtooltest;
using Clock = std::chrono::steady_clock;

// The first value of the first row of a query, as text ("" when there is none).
std::string queryText(sqlite3* db, const std::string& sql)
{
    sqlite3_stmt* statement = nullptr;
    std::string value = "(prepare failed: " + std::string(sqlite3_errmsg(db)) + ")";
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK) {
        const int rc = sqlite3_step(statement);
        const unsigned char* text = rc == SQLITE_ROW ? sqlite3_column_text(statement, 0) : nullptr;
        value = rc == SQLITE_ROW ? (text ? reinterpret_cast<const char*>(text) : "") : rc == SQLITE_DONE ? "" : "(failed)";
    }
    sqlite3_finalize(statement);
    return value;
}

// What is wrong with the file after a fault, or "" when nothing is: SQLite's
// integrity check, then every draw wholly recorded (its record, as many
// winners as it asked for, each marked) and no mark without a draw.
std::string faultsIn(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return "cannot open";
    }
    sqlite3_busy_timeout(db, 10000);
    std::string problem;
    const std::string integrity = queryText(db, "pragma integrity_check");
    if (integrity != "ok")
        problem = "integrity check: " + integrity;
    const bool recorded = queryText(db, "select count(*) from sqlite_master where name = 'draw_winner'") == "1";
    struct Check {
        const char* what;
        const char* sql;
    };
    const Check checks[] = {
        {"draws with fewer or more winners than asked",
         "select count(*) from draw_record r where requested <>"
         " (select count(*) from draw_winner w where w.draw_id = r.draw_id)"},
        {"winners without a draw", "select count(*) from draw_winner where draw_id not in (select draw_id from draw_record)"},
        {"winners not marked",
         "select count(*) from draw_winner w join sheet s on s.id = w.participant_id where s.isluck <> '是'"},
        {"somebody won twice", "select count(*) - count(distinct participant_id) from draw_winner"},
        {"marks without a draw",
         "select count(*) from sheet where isluck = '是' and id not in (select participant_id from draw_winner)"},
    };
    for (const Check& check : checks) {
        if (!recorded)
            continue;
        const std::string count = queryText(db, check.sql);
        if (count != "0")
            problem += std::string(problem.empty() ? "" : "; ") + check.what + ": " + count;
    }
    if (!recorded && queryText(db, "select count(*) from sheet where isluck = '是'") != "0")
        problem += "marks without any draw recorded";
    sqlite3_close(db);
    return problem;
}

class DbFaultTest : public DbToolTest {
protected:
    pid_t startDraw(int count, int index = 0)
    {
        const std::string name = "draw" + std::to_string(index);
        return startProgram(SORTIA_DB_TOOL, {"--db", m_db, "draw", std::to_string(count)}, m_dir / (name + ".out"),
                            m_dir / (name + ".err"));
    }
    static int exitStatus(pid_t pid)
    {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? -WTERMSIG(status) : -1000;
    }
};

// Killed at random moments from its start to past its usual end: each time
// the file checks and the draw is either all there or not there at all.
TEST_F(DbFaultTest, KilledAtRandomMomentsLeavesEachDrawWhollyRecordedOrAbsent)
{
    ASSERT_EQ(tool({"create", "--demo", "20000"}).status, 0);
    const auto started = Clock::now();
    ASSERT_EQ(exitStatus(startDraw(50)), 0);
    const auto usual = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
    std::mt19937 random(20261208);
    std::uniform_int_distribution<long> moment(0, long(usual.count() * 3 / 2));
    constexpr int kKills = 60;
    int killedMidway = 0, finished = 0;
    for (int i = 0; i < kKills; ++i) {
        const pid_t pid = startDraw(50);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        kill(pid, SIGKILL);
        (exitStatus(pid) == 0 ? finished : killedMidway)++;
        const std::string problem = faultsIn(m_db);
        ASSERT_EQ(problem, "") << "after kill " << i;
    }
    RecordProperty("killed_midway", killedMidway);
    RecordProperty("finished", finished);
    EXPECT_GT(killedMidway, 0);
    const RunResult verified = tool({"verify"});
    EXPECT_EQ(verified.status, 0) << verified.out << verified.err;
}

// Another program inserts participants and marks and unmarks some of its
// own while draws run: every statement on both sides succeeds, nothing
// inserted is lost, and nobody the draws picked wins twice.
TEST_F(DbFaultTest, AnotherProgramWritingDuringDrawsLosesNothing)
{
    ASSERT_EQ(tool({"create", "--demo", "5000"}).status, 0);
    const fs::path stop = m_dir / "stop";
    std::fflush(nullptr);
    const pid_t writer = fork();
    if (writer == 0) {
        // The other program: plain SQLite, waiting for locks as programs do.
        sqlite3* db = nullptr;
        if (sqlite3_open(m_db.c_str(), &db) != SQLITE_OK)
            _exit(2);
        sqlite3_busy_timeout(db, 10000);
        std::mt19937 random(7);
        const auto run = [db](const std::string& sql) {
            if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
                _exit(3);
            return sqlite3_changes(db);
        };
        // It marks participants as won and takes back only its own marks.
        std::vector<std::string> marked;
        int inserted = 0;
        while (!fs::exists(stop)) {
            run("insert into sheet (user_name, user_number, isluck) values ('other" + std::to_string(inserted) +
                "', 'o" + std::to_string(inserted) + "', '否')");
            ++inserted;
            const std::string id = std::to_string(random() % 5000 + 1);
            if (run("update sheet set isluck = '是' where id = " + id + " and isluck = '否'") == 1)
                marked.push_back(id);
            if (marked.size() > 3) {
                run("update sheet set isluck = '否' where id = " + marked.front());
                marked.erase(marked.begin());
            }
            // A program that writes now and then, not one that never lets go.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        for (const std::string& id : marked)
            run("update sheet set isluck = '否' where id = " + id);
        sqlite3_close(db);
        std::ofstream(m_dir / "inserted") << inserted;
        _exit(0);
    }
    constexpr int kDraws = 8, kWinners = 40;
    for (int i = 0; i < kDraws; ++i) {
        const pid_t a = startDraw(kWinners, 0), b = startDraw(kWinners, 1);
        EXPECT_EQ(exitStatus(a), 0) << readAll(m_dir / "draw0.err");
        EXPECT_EQ(exitStatus(b), 0) << readAll(m_dir / "draw1.err");
    }
    std::ofstream(stop) << "";
    ASSERT_EQ(exitStatus(writer), 0) << "the other program's statement failed";
    const long inserted = std::stol(readAll(m_dir / "inserted"));
    EXPECT_GT(inserted, 0);
    RecordProperty("inserted_meanwhile", int(inserted));
    EXPECT_EQ(faultsIn(m_db), "");
    expectStats(5000 + inserted, kDraws * 2 * kWinners, 5000 + inserted - kDraws * 2 * kWinners);
}

struct LockCase {
    const char* name;
    const char* lockStatement;  // what the other program holds
    std::vector<std::string> command;
    int status;
    const char* saying;  // in the message, when it fails
};

class LockHeldTest : public DbFaultTest, public ::testing::WithParamInterface<LockCase> {};

// A lock held for longer than the tool waits (one second): writers give up
// in about that time, naming the file and the cause, having changed nothing;
// readers go on where the lock lets them.
TEST_P(LockHeldTest, FailsClearlyAfterItsWait)
{
    const LockCase& c = GetParam();
    ASSERT_EQ(tool({"create", "--demo", "100"}).status, 0);
    ASSERT_EQ(tool({"draw", "1"}).status, 0);  // the record's tables exist
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(m_db.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, c.lockStatement, nullptr, nullptr, nullptr), SQLITE_OK);
    std::vector<std::string> args{"--wait", "1"};
    args.insert(args.end(), c.command.begin(), c.command.end());
    const auto started = Clock::now();
    const RunResult result = tool(args);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    sqlite3_exec(other, "rollback", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_LT(took.count(), 8000) << "waited far longer than asked";
    if (c.status != 0) {
        EXPECT_NE(result.err.find(m_db), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(c.saying), std::string::npos) << result.err;
    }
    expectStats(100, 1, 99);
    EXPECT_EQ(faultsIn(m_db), "");
}

INSTANTIATE_TEST_SUITE_P(
    Locks, LockHeldTest,
    ::testing::Values(
        LockCase{"DrawUnderWriteLock", "begin immediate; update sheet set user_name = user_name where id = 1",
                 {"draw", "3"}, 1, "in use by another program"},
        LockCase{"ResetUnderWriteLock", "begin immediate", {"reset"}, 1, "in use by another program"},
        LockCase{"ListUnderWriteLock", "begin immediate", {"list", "--won"}, 0, ""},
        LockCase{"ListUnderExclusiveLock", "begin exclusive", {"stats"}, 1, "in use by another program"},
        LockCase{"DrawUnderExclusiveLock", "begin exclusive", {"draw", "3"}, 1, "in use by another program"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
