// sortia-db import and import-mdb as an operator uses them: what is refused
// (with file:line), what a repeat import does, workbooks and Access files.

#include <sqlite3.h>

#include "tests/tools/db_tool_fixture.h"
#include "tests/support/access_sample.h"
#include "tests/support/workbooks.h"

namespace {

using namespace dbtooltest;

const std::string kHeader = "user_name,user_number\n";

class DbImportTest : public DbToolTest {
protected:
    void SetUp() override
    {
        DbToolTest::SetUp();
        ASSERT_EQ(tool({"create"}).status, 0);
    }
};

TEST_F(DbImportTest, RefusesBadListsNamingTheLinesAndImportsNothing)
{
    ASSERT_EQ(tool({"import", writeFile("base.csv", "user_name,user_number,isluck\n张三,13800000001,是\n李四,13800000002,\n")})
                  .status,
              0);
    struct Case {
        const char* label;
        std::string bytes;
        std::vector<std::string> messages;  // each after "<path>"
    };
    const Case cases[] = {
        {"a number twice in the file", kHeader + "a,1\nb,2\nc,1\n",
         {":4: user_number 1 appears again; it is already on line 2"}},
        {"numbers a spreadsheet rounded", kHeader + "a,1.38665E+10\nb,1.38666E+10\n",
         {":2: user_number '1.38665E+10' is in scientific notation", ":3: user_number '1.38666E+10'"}},
        {"empty names", kHeader + ",1\n\" \",2\n", {":2: user_name is empty", ":3: user_name is empty"}},
        {"a number the database has for another name", kHeader + "new,9\n王五,13800000002\n",
         {":3: user_number 13800000002 is already in the database for '李四' (id 2), not for '王五'"}},
        {"Latin-1", "user_name,user_number\nM\xFCller,1\n", {":2: the text is neither UTF-8 nor GB18030"}},
        {"UTF-16 without a byte-order mark", std::string("u\0,\0x\0\n\0", 8), {":1: the file looks like UTF-16 without"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string path = writeFile("bad.csv", c.bytes);
        const RunResult result = tool({"import", path});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.out.empty()) << result.out;
        for (const std::string& message : c.messages)
            EXPECT_NE(result.err.find(path + message), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
        EXPECT_EQ(rows(), (std::vector<std::string>{"张三\t13800000001\t是", "李四\t13800000002\t否"}));
    }
}

TEST_F(DbImportTest, ARepeatImportSkipsThoseAlreadyThere)
{
    const std::string first = writeFile("first.csv", kHeader + "张三,13800000001\n李四,13800000002\n");
    ASSERT_EQ(tool({"import", first}).out, "imported 2 participants\n");
    ASSERT_EQ(tool({"draw", "2"}).status, 0);
    const RunResult again = tool({"import", first});
    EXPECT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, "imported 0 participants; skipped 2 already in the database\n");
    const RunResult more = tool({"import", writeFile("more.csv", kHeader + "王五,13800000003\n 李四 ,13800000002\n")});
    EXPECT_EQ(more.out, "imported 1 participants; skipped 1 already in the database\n") << more.err;
    // The winners stay winners: a repeat import makes nobody eligible again.
    EXPECT_EQ(rows(), (std::vector<std::string>{"张三\t13800000001\t是", "李四\t13800000002\t是",
                                                "王五\t13800000003\t否"}));
}

TEST_F(DbImportTest, ImportsTheFirstSheetOfAWorkbook)
{
    using namespace testsupport;
    const std::string path = (m_dir / "list.xlsx").string();
    ASSERT_TRUE(writeWorkbook(path, {{textCell("USER_NAME"), textCell("remark"), textCell("user_number")},
                                     {textCell("张三"), {}, numberCell(13866512345.0)},
                                     {textCell("李四"), textCell("x"), textCell("001")}}));
    const RunResult imported = tool({"import", path});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "imported 2 participants\n");
    EXPECT_EQ(rows(), (std::vector<std::string>{"张三\t13866512345\t否", "李四\t001\t否"}));

    ASSERT_TRUE(writeWorkbook(path, {{textCell("user_name"), textCell("user_number")},
                                     {textCell("a"), numberCell(1e20)},
                                     {textCell("b"), textCell("002")}}));
    const RunResult refused = tool({"import", path});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find(path + ":2: user_number '1E+20' is in scientific notation"), std::string::npos)
        << refused.err;
    EXPECT_EQ(rows().size(), 2u);
}

TEST_F(DbImportTest, RefusesFilesThatAreNoList)
{
    struct Case {
        const char* label;
        std::string bytes;
        const char* message;
    };
    const Case cases[] = {
        {"an old Excel workbook", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(504, '\0'),
         "Excel 97-2003 workbook"},
        {"a damaged workbook", "PK\x03\x04 and then nothing", "not an XLSX workbook"},
        {"an Access header without a database", "", "not an Access database"},
        {"the program's own database", "", "SQLite database"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::string path = writeFile("odd.file", c.bytes);
        if (std::string(c.label).find("Access") != std::string::npos)
            testsupport::writeAccessHeader(path);
        if (std::string(c.label).find("own database") != std::string::npos)
            path = m_db;
        const RunResult result = tool({"import", path});
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("nothing was imported"), std::string::npos) << result.err;
    }
    for (const std::vector<std::string>& call : std::vector<std::vector<std::string>>{
             {"import-mdb"}, {"import-mdb", "a.mdb", "--table"}, {"import-mdb", "a.mdb", "--frobnicate", "x"},
             {"import-mdb", "a.mdb", "b.mdb"}, {"import", "a.csv", "b.csv"}}) {
        const RunResult result = tool(call);
        EXPECT_EQ(result.status, 2) << call.size();
        EXPECT_NE(result.err.find("usage:"), std::string::npos);
    }
}

TEST_F(DbImportTest, StatsCountsRowsThatAreNeverDrawn)
{
    ASSERT_EQ(tool({"import", writeFile("in.csv", "user_name,user_number,isluck\na,1,\nb,2,是\n")}).status, 0);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_db.c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "insert into sheet (user_name, user_number, isluck) values ('c', '3', ''), ('d', '4', null),"
                     " ('e', '5', 'yes')", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    const RunResult stats = tool({"stats"});
    EXPECT_EQ(stats.out, "all\t5\nwon\t1\nnot won\t1\nnever drawn\t3\n");
    EXPECT_NE(stats.err.find("3 participants have an isluck other than 是 or 否 and are never drawn"),
              std::string::npos)
        << stats.err;
}

class AccessSampleImport : public DbImportTest {};

TEST_F(AccessSampleImport, ImportsATableThroughTheColumnOptions)
{
    const std::string sample = testsupport::accessSamplePath();
    if (sample.empty())
        GTEST_SKIP() << testsupport::accessSampleMissingReason();
    const RunResult defaults = tool({"import", sample});
    EXPECT_EQ(defaults.status, 1);
    EXPECT_NE(defaults.err.find("no table sheet (its tables: DateTest)"), std::string::npos) << defaults.err;

    const RunResult memo = tool({"import-mdb", sample, "--table", "DateTest", "--name", "LongTextCol", "--number", "IDCol"});
    EXPECT_EQ(memo.status, 1);
    EXPECT_NE(memo.err.find(sample + ":6: user_name or user_number holds a line break"), std::string::npos) << memo.err;

    const RunResult imported =
        tool({"import-mdb", sample, "--table", "DateTest", "--name", "ShortTextCol", "--number", "IDCol"});
    ASSERT_EQ(imported.status, 0) << imported.err;
    EXPECT_EQ(imported.out, "imported 6 participants\n");
    const auto all = rows();
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all.front(), "Hello\t1\t否");
    EXPECT_EQ(all.back(), "No new line\t6\t否");
}

}  // namespace
