// sortia-db's draws as the record keeps them: the level, the history, the
// escaped winners, verify naming what differs, export read back by
// independent readers, two draws at once, and a check made from the
// README's description alone.

#include <map>

#include "draw/prize_draw.h"
#include "tests/store/store_test_support.h"
#include "tests/tools/db_tool_fixture.h"

namespace {

using namespace dbtooltest;

const char* const kPython = "/usr/bin/python3";

class DbToolRecordTest : public DbToolTest {
protected:
    void sql(const std::string& statements) { storetest::runSql(m_db, statements); }
    // Draws that leave a record with a void in the middle of the chain.
    void holdEvent()
    {
        ASSERT_EQ(tool({"create", "--demo", "30"}).status, 0);
        ASSERT_EQ(tool({"draw", "3", "--level", "一等奖"}).status, 0);
        store::DbConnection connection;
        ASSERT_TRUE(connection.OpenFile(m_db));
        ASSERT_EQ(draw::VoidAndReplace(connection, 1, 2).status, draw::DrawStatus::Done);
        ASSERT_EQ(tool({"draw", "--level", "二等奖", "2"}).status, 0);
    }
    std::string outsideCheck(int& status)
    {
        const RunResult checked = runProgram(kPython, {SORTIA_SOURCE_DIR "/tests/tools/check_record.py", m_db});
        status = checked.status;
        return checked.out + checked.err;
    }
};

TEST_F(DbToolRecordTest, DrawRecordsItsLevelAndHistoryShowsIt)
{
    holdEvent();
    const RunResult history = tool({"history"});
    ASSERT_EQ(history.status, 0) << history.err;
    const auto lines = linesOf(history.out);
    ASSERT_EQ(lines.size(), 3u) << history.out;
    const auto first = fieldsOf(lines[1]), second = fieldsOf(lines[2]);
    ASSERT_EQ(first.size(), 9u);
    EXPECT_EQ(first[0], "1");
    EXPECT_EQ(first[2], "一等奖");
    EXPECT_EQ(first[3], "3");
    EXPECT_EQ(first[4], "30");
    EXPECT_EQ(first[5], "1");
    EXPECT_EQ(first[6].size(), 16u);
    EXPECT_EQ(second[2], "二等奖");
    EXPECT_EQ(second[4], "26");

    const RunResult one = tool({"history", "1"});
    ASSERT_EQ(one.status, 0) << one.err;
    const auto rows = linesOf(one.out);
    ASSERT_EQ(rows.size(), 5u) << one.out;  // the title, three positions, the void
    EXPECT_EQ(fieldsOf(rows[2])[3].rfind("replaces ", 0), 0u) << rows[2];
    EXPECT_EQ(fieldsOf(rows[4])[0], "2");
    EXPECT_EQ(fieldsOf(rows[4])[3], "void");
    EXPECT_EQ(tool({"history", "3"}).status, 1);
    EXPECT_EQ(tool({"history", "x"}).status, 2);
}

TEST_F(DbToolRecordTest, WinnersPrintOneToALineWhateverTheirNames)
{
    ASSERT_EQ(tool({"create"}).status, 0);
    sql("insert into sheet (user_name, user_number, isluck) values"
        " ('tab' || char(9) || 'bed', 'n1', '否'), ('two' || char(10) || 'lines', 'n2', '否'),"
        " ('back\\slash' || char(13), 'n' || char(9) || '3', '否');");
    const RunResult drawn = tool({"draw", "3"});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    const auto lines = linesOf(drawn.out);
    ASSERT_EQ(lines.size(), 3u) << drawn.out;
    const std::set<std::string> printed(lines.begin(), lines.end());
    const std::set<std::string> expected = {"tab\\tbed\tn1", "two\\nlines\tn2", "back\\\\slash\\r\tn\\t3"};
    EXPECT_EQ(printed, expected);
    EXPECT_NE(drawn.err.find("draw 1 recorded"), std::string::npos) << drawn.err;
    for (const std::string& line : linesOf(tool({"list"}).out))
        EXPECT_EQ(fieldsOf(line).size(), 4u) << line;
}

TEST_F(DbToolRecordTest, VerifySaysWhetherEachDrawMatchesAndWhatDiffers)
{
    holdEvent();
    const RunResult clean = tool({"verify"});
    EXPECT_EQ(clean.status, 0) << clean.out << clean.err;
    EXPECT_NE(clean.out.find("draw 1: matches\ndraw 1, void 1: matches\ndraw 2: matches\n"), std::string::npos)
        << clean.out;
    EXPECT_NE(clean.out.find("everything matches"), std::string::npos);

    sql("update draw_winner set participant_id = participant_id + 1 where draw_id = 2 and position = 1");
    const RunResult tampered = tool({"verify"});
    EXPECT_EQ(tampered.status, 1);
    EXPECT_NE(tampered.out.find("draw 2: DOES NOT MATCH\n  - winner 1 is id"), std::string::npos) << tampered.out;
    EXPECT_NE(tampered.out.find("does NOT match"), std::string::npos);
    EXPECT_EQ(tool({"verify", "1"}).status, 0);
    EXPECT_EQ(tool({"verify", "2"}).status, 1);
    EXPECT_EQ(tool({"verify", "9"}).status, 1);
    EXPECT_EQ(tool({"verify", "0"}).status, 2);
}

TEST_F(DbToolRecordTest, AnOutsiderFollowingTheReadmeComesToTheSameVerdict)
{
    holdEvent();
    int status = -1;
    std::string said = outsideCheck(status);
    EXPECT_EQ(status, 0) << said;
    EXPECT_EQ(said, "draw 1: ok\ndraw 1 void 1: ok\ndraw 2: ok\n");
    // A seed that does not follow from S, the public input and the list.
    sql("update draw_void set seed = '" + std::string(64, 'a') + "'");
    said = outsideCheck(status);
    EXPECT_EQ(status, 1) << said;
    EXPECT_NE(said.find("draw 1 void 1: seed does not follow from its inputs; record digest differs"),
              std::string::npos) << said;
    EXPECT_EQ(tool({"verify"}).status, 1);
    // Another S than the one committed to: a false S picks the recorded
    // replacement by chance once in 27 draws, so several are tried, each
    // caught by the commitment, and at least one by the pick.
    bool pickDiffered = false;
    for (const char digit : {'a', 'b', 'c', 'd'}) {
        sql("update draw_void set organiser_seed = '" + std::string(64, digit) + "'");
        said = outsideCheck(status);
        EXPECT_EQ(status, 1) << said;
        EXPECT_NE(said.find("draw 1 void 1: commitment does not match the organiser seed"), std::string::npos)
            << said;
        pickDiffered |= said.find("replacement does not follow from the seed") != std::string::npos;
        EXPECT_EQ(tool({"verify"}).status, 1);
    }
    EXPECT_TRUE(pickDiffered);
}

// CSV read as text and XLSX read by a spreadsheet library of its own give
// the same rows.
TEST_F(DbToolRecordTest, ExportReadsBackTheSameThroughIndependentReaders)
{
    holdEvent();
    const std::string csv = (m_dir / "all.csv").string(), xlsx = (m_dir / "one.XLSX").string();
    const RunResult toCsv = tool({"export", csv});
    ASSERT_EQ(toCsv.status, 0) << toCsv.err;
    EXPECT_EQ(toCsv.out, "exported 6 rows to " + csv + "\n");
    const std::string bytes = readAll(csv);
    ASSERT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u);
    auto csvLines = linesOf(bytes.substr(3));
    ASSERT_EQ(csvLines.size(), 7u);
    EXPECT_EQ(csvLines[0], "level,draw,time,position,name,number,note,round,prize\r");

    ASSERT_EQ(tool({"export", "1", xlsx}).status, 0);
    const RunResult read = runProgram(
        kPython, {"-c",
                  "import sys, openpyxl\n"
                  "sheet = openpyxl.load_workbook(sys.argv[1]).active\n"
                  "for row in sheet.iter_rows(values_only=True):\n"
                  "    print(','.join('' if v is None else v.strftime('%Y-%m-%d %H:%M:%S')"
                  " if hasattr(v, 'strftime') else str(v) for v in row))\n",
                  xlsx});
    ASSERT_EQ(read.status, 0) << read.err;
    const auto xlsxLines = linesOf(read.out);
    ASSERT_EQ(xlsxLines.size(), 5u) << read.out;  // the titles and the four rows of draw 1
    for (std::size_t i = 0; i < xlsxLines.size(); ++i)
        EXPECT_EQ(xlsxLines[i] + "\r", csvLines[i]) << i;
    const auto replacement = fieldsOf(xlsxLines[2]);
    EXPECT_EQ(std::count(xlsxLines[4].begin(), xlsxLines[4].end(), ','), 8) << xlsxLines[4];
    EXPECT_NE(xlsxLines[4].find(",void"), std::string::npos) << xlsxLines[4];
    EXPECT_NE(xlsxLines[2].find(",replaces "), std::string::npos) << xlsxLines[2];

    // --masked: names and numbers as published, everything else as it was.
    const std::string masked = (m_dir / "masked.csv").string();
    ASSERT_EQ(tool({"export", masked, "--masked"}).status, 0);
    const auto maskedLines = linesOf(readAll(masked).substr(3));
    ASSERT_EQ(maskedLines.size(), csvLines.size());
    for (std::size_t i = 1; i < csvLines.size(); ++i) {
        const std::string& full = csvLines[i];
        const std::string& shown = maskedLines[i];
        EXPECT_EQ(shown.substr(0, shown.find(",", shown.find(",", shown.find(",") + 1) + 1)),
                  full.substr(0, full.find(",", full.find(",", full.find(",") + 1) + 1)));  // level, draw, time
        EXPECT_NE(shown.find('*'), std::string::npos) << shown;
        EXPECT_NE(shown.find("****"), std::string::npos) << shown;  // the number
        EXPECT_NE(shown, full);
    }

    EXPECT_EQ(tool({"export"}).status, 2);
    EXPECT_EQ(tool({"export", "1", "2", "3"}).status, 2);
    EXPECT_EQ(tool({"export", "7", csv}).status, 1);
    const RunResult badName = tool({"export", (m_dir / "out.txt").string()});
    EXPECT_EQ(badName.status, 1);
    EXPECT_NE(badName.err.find(".csv or .xlsx"), std::string::npos) << badName.err;
}

// Two draws started together on a large list: the second waits for the
// first's transaction and draws from what is left, so nobody wins twice.
TEST_F(DbToolRecordTest, TwoDrawsAtOnceNeverGiveADoubleWinner)
{
    ASSERT_EQ(tool({"create", "--demo", "100000"}).status, 0);
    constexpr int kRounds = 3;
    std::multiset<std::string> winners;
    for (int round = 0; round < kRounds; ++round) {
        pid_t pids[2];
        for (int k = 0; k < 2; ++k) {
            const std::string out = (m_dir / ("draw" + std::to_string(k) + ".txt")).string();
            pids[k] = fork();
            if (pids[k] == 0) {
                const int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                dup2(fd, 1);
                execl(SORTIA_DB_TOOL, SORTIA_DB_TOOL, "--db", m_db.c_str(), "draw", "2000", nullptr);
                _exit(127);
            }
        }
        for (int k = 0; k < 2; ++k) {
            int status = 0;
            waitpid(pids[k], &status, 0);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round << ", draw " << k;
            const auto lines = linesOf(readAll(m_dir / ("draw" + std::to_string(k) + ".txt")));
            EXPECT_EQ(lines.size(), 2000u);
            winners.insert(lines.begin(), lines.end());
        }
    }
    EXPECT_EQ(std::set<std::string>(winners.begin(), winners.end()).size(), winners.size())
        << "somebody won twice";
    expectStats(100000, 2000 * 2 * kRounds, 100000 - 2000 * 2 * kRounds);
    EXPECT_EQ(tool({"verify"}).status, 0);
}

}  // namespace

namespace {

// The names in the folder, each with a digest of its bytes.
std::map<std::string, std::size_t> folderContents(const fs::path& folder)
{
    std::map<std::string, std::size_t> contents;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().filename().string().rfind("std", 0) != 0)
            contents[entry.path().filename().string()] = std::hash<std::string>()(readAll(entry.path()));
    return contents;
}

// A refused or failed copy leaves every file as it was, draws and a stray
// ".partial" included; a new file appears only whole, under its own name.
TEST_F(DbToolRecordTest, ACopyTouchesNothingThatWasThere)
{
    holdEvent();
    const std::string source = (m_dir / "source.mdb").string();
    ASSERT_EQ(runProgram(SORTIA_DB_TOOL, {"--db", source, "create", "--demo", "7"}).status, 0);
    writeFile("new.mdb.partial", "left by someone");
    const std::string older = (m_dir / "older.mdb").string();
    storetest::makeSheet(older, storetest::participantRows(2));
    const std::string badIds = (m_dir / "bad-ids.mdb").string();
    storetest::runSql(badIds, "create table sheet (id text, user_name text, user_number text, isluck text);"
                              "insert into sheet values ('x1', 'a', '1', '否');");
    struct Case {
        std::vector<std::string> args;
        const char* saying;
    };
    const Case cases[] = {
        {{"copy", source, m_db}, "already holds participants or draws"},
        {{"copy", source, older}, "already holds participants or draws"},
        {{"copy", badIds, (m_dir / "new.mdb").string()}, "cannot copy"},
    };
    for (const Case& c : cases) {
        const auto before = folderContents(m_dir);
        const RunResult refused = runProgram(SORTIA_DB_TOOL, c.args);
        EXPECT_EQ(refused.status, 1) << c.args.back();
        EXPECT_NE(refused.err.find(c.saying), std::string::npos) << refused.err;
        EXPECT_EQ(folderContents(m_dir), before) << c.args.back();
    }
    // A copy that fails in an older, empty file takes away the record's
    // tables it added there, and nothing else.
    const std::string emptyOlder = (m_dir / "empty-older.mdb").string();
    storetest::makeSheet(emptyOlder, "");
    EXPECT_EQ(runProgram(SORTIA_DB_TOOL, {"copy", badIds, emptyOlder}).status, 1);
    store::DbConnection olderFile;
    ASSERT_TRUE(olderFile.OpenFile(emptyOlder, store::Access::Read));
    EXPECT_EQ(olderFile.HasTable("draw_record"), false);
    EXPECT_EQ(olderFile.HasTable("sheet"), true);

    const auto before = folderContents(m_dir);
    ASSERT_EQ(runProgram(SORTIA_DB_TOOL, {"copy", m_db, (m_dir / "new.mdb").string()}).status, 0);
    auto after = folderContents(m_dir);
    EXPECT_EQ(after.count("new.mdb"), 1u);
    after.erase("new.mdb");
    EXPECT_EQ(after, before) << "only the new file appeared";
}

}  // namespace
