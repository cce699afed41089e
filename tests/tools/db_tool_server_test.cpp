// sortia-db on a PostgreSQL database of the test server: every command, the
// copy between a file and the server in both directions, and sortia.ini.

#include <sys/stat.h>

#include "tests/store/store_test_support.h"
#include "tests/support/pg_test_server.h"
#include "tests/tools/db_tool_fixture.h"

namespace {

using namespace dbtooltest;

// Every row of the query's result, fields and rows separated, as the server
// gives them in text.
std::string pgRows(const std::string& dataSource, const std::string& sql)
{
    PGconn* connection = PQconnectdb(dataSource.c_str());
    PGresult* result = PQexec(connection, sql.c_str());
    std::string rows = PQresultStatus(result) == PGRES_TUPLES_OK ? "" : PQresultErrorMessage(result);
    for (int row = 0; row < PQntuples(result); ++row) {
        for (int field = 0; field < PQnfields(result); ++field)
            rows += std::string(PQgetisnull(result, row, field) ? "<null>" : PQgetvalue(result, row, field)) + "\t";
        rows += "\n";
    }
    PQclear(result);
    PQfinish(connection);
    return rows;
}

// The draw record as stored, byte for byte.
std::string recordRows(const std::string& dataSource)
{
    return pgRows(dataSource, "select * from draw_record order by draw_id") +
           pgRows(dataSource, "select * from draw_winner order by draw_id, position") +
           pgRows(dataSource, "select * from draw_void order by draw_id, void_seq");
}

class ServerToolTest : public DbToolTest {
protected:
    void SetUp() override
    {
        DbToolTest::SetUp();
        if (!m_schema.valid())
            GTEST_SKIP() << m_schema.why();
        m_file = m_db;
        m_db = m_schema.dataSource();
    }

    // The same command on another data source.
    RunResult toolOn(const std::string& dataSource, std::vector<std::string> args)
    {
        args.insert(args.begin(), {"--db", dataSource});
        return runProgram(SORTIA_DB_TOOL, args);
    }

    // The address with a password in it (the test server lets anyone in).
    std::string withPassword() const
    {
        const std::string address = m_db;
        return "postgresql://sortia:S3cr3t@" + address.substr(std::string("postgresql://sortia@").size());
    }

    testsupport::PgScratchSchema m_schema;
    std::string m_file;  // a scratch SQLite file beside
};

TEST_F(ServerToolTest, EveryCommandWorksOnAServerDatabase)
{
    ASSERT_EQ(tool({"create", "--demo", "30"}).status, 0);
    expectStats(30, 0, 30);
    const RunResult again = tool({"create"});
    EXPECT_NE(again.err.find("already exists"), std::string::npos) << again.err;
    const std::string csv = writeFile("new.csv", "user_name,user_number\n新人甲,900001\n新人乙,900002\n");
    const RunResult imported = tool({"import", csv});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(tool({"import", csv}).status, 0) << "the same list again skips everybody";
    expectStats(32, 0, 32);
    EXPECT_EQ(rows().back(), "新人乙\t900002\t否");

    const RunResult drawn = tool({"draw", "3", "--level", "一等奖"});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    EXPECT_EQ(linesOf(drawn.out).size(), 3u);
    expectStats(32, 3, 29);
    EXPECT_EQ(rows("--won").size(), 3u);
    const RunResult history = tool({"history"});
    ASSERT_EQ(linesOf(history.out).size(), 2u) << history.out;
    EXPECT_NE(history.out.find("一等奖"), std::string::npos);
    const RunResult verified = tool({"verify"});
    EXPECT_EQ(verified.status, 0) << verified.out;
    EXPECT_NE(verified.out.find("everything matches"), std::string::npos);
    const std::string exported = (m_dir / "results.csv").string();
    ASSERT_EQ(tool({"export", "1", exported}).status, 0);
    EXPECT_EQ(linesOf(readAll(exported)).size(), 4u);

    const RunResult reset = tool({"reset"});
    EXPECT_EQ(reset.out, "3 winners made eligible again\n");
    expectStats(32, 0, 32);
    EXPECT_EQ(linesOf(tool({"history"}).out).size(), 2u) << "reset keeps the record";
}

TEST_F(ServerToolTest, CopyMovesEverythingBothWaysAndTheRecordStillVerifies)
{
    ASSERT_EQ(toolOn(m_file, {"create", "--demo", "40"}).status, 0);
    ASSERT_EQ(toolOn(m_file, {"draw", "3", "--level", "特等奖"}).status, 0);
    ASSERT_EQ(toolOn(m_file, {"draw", "2"}).status, 0);
    const std::string list = toolOn(m_file, {"list"}).out;
    const std::string history = toolOn(m_file, {"history"}).out;

    const RunResult up = runProgram(SORTIA_DB_TOOL, {"copy", m_file, m_db});
    ASSERT_EQ(up.status, 0) << up.err;
    EXPECT_NE(up.out.find("copied 40 participants and 2 draws (5 winners, 0 voids)"), std::string::npos) << up.out;
    EXPECT_EQ(tool({"list"}).out, list);
    EXPECT_EQ(tool({"history"}).out, history);
    EXPECT_EQ(tool({"verify"}).status, 0);

    // The server goes on from where the file stopped: new rows get new ids, draws the next number.
    const std::string csv = writeFile("late.csv", "user_name,user_number\n迟到者,900100\n");
    ASSERT_EQ(tool({"import", csv}).status, 0);
    EXPECT_EQ(fieldsOf(linesOf(tool({"list"}).out).back())[0], "41");
    ASSERT_EQ(tool({"draw", "1"}).status, 0);

    const std::string back = (m_dir / "back.mdb").string();
    const RunResult down = runProgram(SORTIA_DB_TOOL, {"copy", m_db, back});
    ASSERT_EQ(down.status, 0) << down.err;
    EXPECT_FALSE(fs::exists(back + ".partial"));
    EXPECT_EQ(toolOn(back, {"list"}).out, tool({"list"}).out);
    EXPECT_EQ(toolOn(back, {"history"}).out, tool({"history"}).out);
    EXPECT_EQ(toolOn(back, {"verify"}).status, 0);

    const RunResult twice = runProgram(SORTIA_DB_TOOL, {"copy", m_file, m_db});
    EXPECT_EQ(twice.status, 1);
    EXPECT_NE(twice.err.find("already holds participants or draws"), std::string::npos) << twice.err;
    EXPECT_EQ(linesOf(tool({"history"}).out).size(), 4u) << "a refused copy changes nothing";
}

// What the tool prints about an address with a password shows it without.
TEST_F(ServerToolTest, MessagesNameTheServerWithoutThePassword)
{
    ASSERT_EQ(toolOn(m_file, {"create", "--demo", "4"}).status, 0);
    const RunResult created = toolOn(withPassword(), {"create", "--demo", "3"});
    const RunResult copied = runProgram(SORTIA_DB_TOOL, {"copy", m_file, withPassword()});
    std::string elsewhere = withPassword();
    elsewhere.replace(elsewhere.find("/sortia?"), 8, "/nosuchdb?");
    const RunResult missing = toolOn(elsewhere, {"stats"});
    const RunResult back = runProgram(SORTIA_DB_TOOL, {"copy", withPassword(), (m_dir / "back.mdb").string()});
    EXPECT_EQ(created.status, 0) << created.err;
    EXPECT_EQ(copied.status, 1);
    EXPECT_NE(copied.err.find("already holds participants or draws"), std::string::npos) << copied.err;
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(back.status, 0) << back.err;
    for (const RunResult* run : {&created, &copied, &missing, &back}) {
        EXPECT_NE((run->out + run->err).find("postgresql://sortia@"), std::string::npos) << run->out << run->err;
        EXPECT_EQ((run->out + run->err).find("cr3t"), std::string::npos) << run->out << run->err;
    }
}

// A server database that holds draws keeps them whole through a refused
// copy, also when its `sheet` was gone and the copy made one.
TEST_F(ServerToolTest, ARefusedCopyLeavesTheDrawsThatWereThere)
{
    ASSERT_EQ(toolOn(m_file, {"create", "--demo", "10"}).status, 0);
    ASSERT_EQ(tool({"create", "--demo", "20"}).status, 0);
    ASSERT_EQ(tool({"draw", "3"}).status, 0);
    ASSERT_EQ(tool({"draw", "2"}).status, 0);
    const std::string record = recordRows(m_db);
    const std::string sheet = pgRows(m_db, "select * from sheet order by id");
    ASSERT_NE(record.find("\n"), std::string::npos) << record;

    const RunResult whole = runProgram(SORTIA_DB_TOOL, {"copy", m_file, m_db});
    EXPECT_EQ(whole.status, 1);
    EXPECT_EQ(recordRows(m_db), record);
    EXPECT_EQ(pgRows(m_db, "select * from sheet order by id"), sheet);

    ASSERT_EQ(testsupport::pgRun(m_db, "drop table sheet"), "");
    const RunResult withoutSheet = runProgram(SORTIA_DB_TOOL, {"copy", m_file, m_db});
    EXPECT_EQ(withoutSheet.status, 1);
    EXPECT_NE(withoutSheet.err.find("already holds participants or draws"), std::string::npos) << withoutSheet.err;
    EXPECT_EQ(recordRows(m_db), record);
    EXPECT_NE(tool({"stats"}).err.find("has no table 'sheet'"), std::string::npos) << "the sheet it made went again";
}

// An older file moves to the server, the evening goes on there with every
// kind of entry, and all of it comes back to a file that verifies the same.
TEST_F(ServerToolTest, AnOlderFileGoesOnOnTheServerWithEveryKindOfEntryAndComesBack)
{
    fs::copy_file(SORTIA_TESTDATA_DIR "/record/format1.mdb", m_file);
    storetest::runSql(m_file, "create table participant_group (participant_id integer primary key,"
                              " group_name text not null); insert into participant_group select id, '销售部'"
                              " from sheet where id > 10;");
    const RunResult up = runProgram(SORTIA_DB_TOOL, {"copy", m_file, m_db});
    ASSERT_EQ(up.status, 0) << up.err;
    EXPECT_EQ(tool({"verify"}).status, 0);
    const std::string plan = writeFile("plan.csv", "level,prize,count,group\n三等奖,杯子,2,销售部\n一等奖,电脑,1,\n");
    ASSERT_EQ(tool({"plan", "import", plan}).status, 0);
    const std::vector<std::vector<std::string>> evening = {
        {"draw", "--next", "--public", "1 2"},
        {"void", "4", "1", "--reason", "absent", "--public", "3"},
        {"relabel", "4", "--level", "二等奖", "--reason", "misread"},
        {"reset"},
        {"announce", "--round", "2", "--source", "tomorrow's lottery"},
        {"draw", "--next", "--public", "17"},
    };
    for (const auto& command : evening) {
        const RunResult done = tool(command);
        ASSERT_EQ(done.status, 0) << command[0] << ": " << done.err;
    }
    const RunResult verified = tool({"verify"});
    EXPECT_EQ(verified.status, 0) << verified.out;
    const std::string back = (m_dir / "back.mdb").string();
    ASSERT_EQ(runProgram(SORTIA_DB_TOOL, {"copy", m_db, back}).status, 0);
    for (const char* command : {"history", "plan", "anchor", "verify"})
        EXPECT_EQ(toolOn(back, {command}).out, tool({command}).out) << command;
}

TEST_F(ServerToolTest, CopyRefusesTextTheServerCannotHoldAndLeavesNothing)
{
    ASSERT_EQ(toolOn(m_file, {"create", "--demo", "5"}).status, 0);
    // A name written by another program in a legacy encoding, byte for byte.
    ASSERT_EQ(runProgram("/usr/bin/python3",
                         {"-c", "import sqlite3, sys; c = sqlite3.connect(sys.argv[1]); "
                                "c.execute(\"update sheet set user_name = cast(X'B2E2CAD4' as text) where id = 4\"); "
                                "c.commit()",
                          m_file})
                  .status,
              0);
    const RunResult copied = runProgram(SORTIA_DB_TOOL, {"copy", m_file, m_db});
    EXPECT_EQ(copied.status, 1);
    for (const char* part : {"sheet, row id = 4", "user_name", "B2 E2 CA D4", "nothing was copied"})
        EXPECT_NE(copied.err.find(part), std::string::npos) << part << " in " << copied.err;
    const RunResult after = tool({"stats"});
    EXPECT_NE(after.err.find("has no table 'sheet'"), std::string::npos) << "the tables made for the copy are gone";
}

TEST_F(ServerToolTest, SortiaIniBesideTheToolNamesTheDatabase)
{
    ASSERT_EQ(tool({"create", "--demo", "6"}).status, 0);
    const fs::path copy = m_dir / "sortia-db";
    fs::copy_file(SORTIA_DB_TOOL, copy);
    writeFile("sortia.ini", "; the list on the server\n[database]\nData_Source = " + m_db + "\n");
    const RunResult stats = runProgram(copy.string(), {"stats"});
    EXPECT_EQ(stats.status, 0) << stats.err;
    EXPECT_EQ(stats.out, "all\t6\nwon\t0\nnot won\t6\n");
    EXPECT_FALSE(fs::exists(m_dir / "Sbase.mdb"));

    writeFile("sortia.ini", "[database]\ndatasource = " + withPassword() + "\n");
    const RunResult mistyped = runProgram(copy.string(), {"stats"});
    EXPECT_EQ(mistyped.status, 2);
    EXPECT_NE(mistyped.err.find("sortia.ini:2: only 'data_source = ...'"), std::string::npos) << mistyped.err;
    EXPECT_EQ(mistyped.err.find("cr3t"), std::string::npos) << mistyped.err;

    // A password others may read works, with a warning; kept private, without.
    const std::string ini = writeFile("sortia.ini", "data_source = " + withPassword() + "\n");
    chmod(ini.c_str(), 0644);
    const RunResult shared = runProgram(copy.string(), {"stats"});
    EXPECT_EQ(shared.status, 0) << shared.err;
    EXPECT_NE(shared.err.find("~/.pgpass"), std::string::npos) << shared.err;
    EXPECT_EQ(shared.err.find("cr3t"), std::string::npos) << shared.err;
    chmod(ini.c_str(), 0600);
    EXPECT_EQ(runProgram(copy.string(), {"stats"}).err, "");

    writeFile("sortia.ini", "data_source = other.mdb\n");  // relative to the program's folder
    const RunResult relative = runProgram(copy.string(), {"stats"});
    EXPECT_NE(relative.err.find((m_dir / "other.mdb").string()), std::string::npos) << relative.err;
}

}  // namespace
