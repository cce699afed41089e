// An evening run from a plan with sortia-db: the plan in and out through CSV
// and XLSX, rounds drawn in order within their groups, a round announced and
// its winners worked out from the notice alone, a correction and a void
// after the fact; the record checks out throughout.

#include <map>

#include "tests/store/store_test_support.h"
#include "tests/tools/db_tool_fixture.h"

namespace {

using namespace dbtooltest;

const char* const kPython = "/usr/bin/python3";

class EventToolTest : public DbToolTest {
protected:
    void SetUp() override
    {
        DbToolTest::SetUp();
        ASSERT_EQ(tool({"create", "--demo", "60"}).status, 0);
        // Ids 1-10 work in sales, 11-20 in marketing; the rest have no group.
        storetest::runSql(m_db, "create table participant_group (participant_id integer primary key,"
                                " group_name text not null);"
                                "insert into participant_group select id, case when id <= 10 then '销售部'"
                                " else '市场部' end from sheet where id <= 20;");
    }
    std::map<std::string, std::string> namesById()
    {
        std::map<std::string, std::string> names;
        for (const std::string& line : linesOf(tool({"list"}).out))
            names[fieldsOf(line)[0]] = fieldsOf(line)[1];
        return names;
    }
    std::string planShown() { return tool({"plan"}).out; }
    void expectVerified()
    {
        const RunResult verified = tool({"verify"});
        EXPECT_EQ(verified.status, 0) << verified.out;
        const RunResult alone = runProgram(kPython, {SORTIA_SOURCE_DIR "/tests/tools/check_record.py", m_db});
        EXPECT_EQ(alone.status, 0) << alone.out;
    }
};

TEST_F(EventToolTest, APlanGoesInAndOutThroughCsvAndXlsxAndItsRoundsAreDrawnInOrder)
{
    const std::string plan = writeFile("plan.csv", "\xEF\xBB\xBF奖项,奖品,人数,部门\r\n三等奖,保温杯,3,销售部\r\n"
                                                   "二等奖,耳机,2,\"除:销售部|市场部\"\r\n一等奖,电脑,1,\r\n");
    const RunResult imported = tool({"plan", "import", plan});
    ASSERT_EQ(imported.status, 0) << imported.err;
    const std::string shown = planShown();
    ASSERT_EQ(linesOf(shown).size(), 4u) << shown;
    EXPECT_EQ(linesOf(shown)[1], "1\t三等奖\t保温杯\t3\tonly: 销售部\t");
    for (const char* name : {"out.csv", "out.XLSX"}) {
        const std::string path = (m_dir / name).string();
        ASSERT_EQ(tool({"plan", "export", path}).status, 0) << name;
        ASSERT_EQ(tool({"plan", "import", path}).status, 0) << name;
        EXPECT_EQ(planShown(), shown) << name;
    }

    const RunResult first = tool({"draw", "--next", "--public", "4 8 15"});
    ASSERT_EQ(first.status, 0) << first.err;
    const auto names = namesById();
    for (const std::string& line : linesOf(first.out)) {
        bool inSales = false;
        for (int id = 1; id <= 10; ++id)
            inSales |= names.at(std::to_string(id)) == fieldsOf(line)[0];
        EXPECT_TRUE(inSales) << line << " is not in 销售部";
    }
    const RunResult changed = tool({"plan", "import", writeFile("changed.csv", "level,count\n三等奖,4\n")});
    EXPECT_EQ(changed.status, 1);
    EXPECT_NE(changed.err.find("round 1 was drawn by draw 1"), std::string::npos) << changed.err;
    EXPECT_NE(linesOf(planShown())[1].find("drawn (draw 1)"), std::string::npos) << planShown();
    ASSERT_EQ(tool({"draw", "--next", "--public", "16 23"}).status, 0);
    ASSERT_EQ(tool({"draw", "--next", "--public", "42"}).status, 0);
    EXPECT_EQ(tool({"draw", "--next", "--public", "42"}).status, 1) << "every round is drawn";
    const auto history = linesOf(tool({"history"}).out);
    ASSERT_EQ(history.size(), 4u);
    EXPECT_EQ(fieldsOf(history[2])[7], "2");
    EXPECT_EQ(fieldsOf(history[2])[8], "耳机");
    const RunResult bad = tool({"plan", "import", writeFile("bad.csv", "level,count,group\n,0,maybe:x\n")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("bad.csv:2: the level is empty"), std::string::npos) << bad.err;
    EXPECT_NE(bad.err.find("bad.csv:2: the count '0'"), std::string::npos) << bad.err;
    expectVerified();
}

// The announcement's digest as the notice gives it.
std::string noticeDigest(const std::string& notice)
{
    const std::string marker = "Digest of this announcement: ";
    const std::size_t at = notice.find(marker);
    return at == std::string::npos ? std::string() : notice.substr(at + marker.size(), 64);
}

TEST_F(EventToolTest, AnAnnouncedDrawFollowsFromTheNoticeAndThePublicValue)
{
    const std::string notice = (m_dir / "notice.txt").string(), pdf = (m_dir / "notice.pdf").string();
    const std::string list = (m_dir / "ids.txt").string();
    const RunResult announced = tool({"announce", "--level", "特等奖", "--count", "2", "--source",
                                      "the lottery of 3 May, first prize", "--notice", notice, "--notice", pdf,
                                      "--list", list});
    ASSERT_EQ(announced.status, 0) << announced.err;
    EXPECT_TRUE(announced.out.empty()) << "the notice went to its file";
    const std::string text = readAll(notice);
    EXPECT_NE(text.find("The public value that will pick the winners: the lottery of 3 May"), std::string::npos);
    EXPECT_EQ(readAll(pdf).rfind("%PDF-", 0), 0u);
    if (fs::exists("/usr/bin/pdftotext")) {
        const RunResult read = runProgram("/usr/bin/pdftotext", {pdf, "-"});
        EXPECT_NE(read.out.find("Announcement 1 of a prize draw"), std::string::npos) << read.out;
    }
    EXPECT_EQ(tool({"draw", "--announced", "1"}).status, 1) << "the public value is needed";
    const RunResult drawn = tool({"draw", "--announced", "1", "--public", " 03 15 22 "});
    ASSERT_EQ(drawn.status, 0) << drawn.err;

    // The winners' positions from the notice's digest and the public value
    // by the rules the notice states, their ids from the published list.
    const std::string digest = noticeDigest(text);
    ASSERT_EQ(digest.size(), 64u) << text;
    const RunResult worked = runProgram(
        kPython, {"-c",
                  "import hashlib, sys\n"
                  "sys.path.insert(0, sys.argv[1])\n"
                  "import check_record as r\n"
                  "ids = open(sys.argv[3]).read().split()\n"
                  "tags = r.netstrings('sortia-announced-1', sys.argv[2], sys.argv[4].encode())\n"
                  "seed = hashlib.sha256(tags).digest()\n"
                  "print('\\n'.join(ids[i] for i in r.picks(seed, len(ids), int(sys.argv[5]))))\n",
                  SORTIA_SOURCE_DIR "/tests/tools", digest, list, "03 15 22", "2"});
    ASSERT_EQ(worked.status, 0) << worked.err;
    const auto names = namesById();
    std::vector<std::string> expected;
    for (const std::string& id : linesOf(worked.out))
        expected.push_back(names.at(id));
    std::vector<std::string> printed;
    for (const std::string& line : linesOf(drawn.out))
        printed.push_back(fieldsOf(line)[0]);
    EXPECT_EQ(printed, expected);
    EXPECT_EQ(tool({"draw", "--announced", "1", "--public", "03 15 22"}).status, 1) << "drawn once only";
    expectVerified();
}

TEST_F(EventToolTest, ACorrectionAndAVoidAfterTheFactShowInHistoryAndExport)
{
    ASSERT_EQ(tool({"draw", "3", "--level", "二等奖", "--prize", "耳机", "--public", "1"}).status, 0);
    ASSERT_EQ(tool({"draw", "2", "--level", "三等奖", "--public", "2"}).status, 0);
    const RunResult relabelled = tool({"relabel", "1", "--level", "一等奖", "--reason", "announced as 一等奖"});
    ASSERT_EQ(relabelled.status, 0) << relabelled.err;
    EXPECT_EQ(tool({"relabel", "1", "--level", "一等奖"}).status, 2) << "a reason is needed";
    EXPECT_EQ(tool({"relabel", "9", "--level", "x", "--reason", "y"}).status, 1);
    EXPECT_EQ(tool({"void", "1", "1", "--public", "3"}).status, 1) << "only the last draw";
    const RunResult voided = tool({"void", "2", "2", "--reason", "absent", "--public", "3"});
    ASSERT_EQ(voided.status, 0) << voided.err;
    EXPECT_EQ(linesOf(voided.out).size(), 1u);

    const auto history = linesOf(tool({"history"}).out);
    EXPECT_EQ(fieldsOf(history.at(1))[2], "一等奖");
    EXPECT_EQ(fieldsOf(history.at(1))[8], "耳机") << "a level corrected alone keeps the prize";
    EXPECT_EQ(fieldsOf(history.at(2))[5], "1") << "one void";
    const std::string csv = (m_dir / "all.csv").string();
    ASSERT_EQ(tool({"export", csv}).status, 0);
    const auto rows = linesOf(readAll(csv));
    ASSERT_EQ(rows.size(), 1u + 3 + 2 + 1);
    EXPECT_EQ(rows[1].rfind("一等奖,1,", 0), 0u) << rows[1];
    EXPECT_NE(rows[1].find("corrected from 二等奖 耳机: announced as 一等奖"), std::string::npos) << rows[1];
    EXPECT_NE(rows[6].find(",void,"), std::string::npos) << rows[6];
    expectVerified();
}

// A round that asks more than its group holds is refused with its own count,
// whether drawn or announced; a mistyped round is not taken for a level.
TEST_F(EventToolTest, ARoundLargerThanItsGroupIsRefusedWithItsCount)
{
    ASSERT_EQ(tool({"plan", "import", writeFile("plan.csv", "level,count,group\n三等奖,12,销售部\n")}).status, 0);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"draw", "--next", "--public", "7"},
                                                 std::vector<std::string>{"announce", "--round", "1", "--source", "s"}}) {
        const RunResult refused = tool(args);
        EXPECT_EQ(refused.status, 1) << args[0];
        EXPECT_NE(refused.err.find("12"), std::string::npos) << args[0] << ": " << refused.err;
        EXPECT_NE(refused.err.find("10"), std::string::npos) << args[0] << ": " << refused.err;
    }
    EXPECT_EQ(tool({"announce", "--round", "x", "--level", "一等奖", "--count", "2", "--source", "s"}).status, 2);
}

}  // namespace
