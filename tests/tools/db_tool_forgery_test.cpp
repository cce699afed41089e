// The forgeries a sceptical auditor tried with the file and the README: a
// new seed picked until a chosen person wins, the chain written anew; a
// void's replacement chosen; winners flipped back or participants marked
// without a trace; the newest draw deleted. Each is either caught by
// `sortia-db verify` and by the README's own check alone, or caught once an
// anchor taken at the time (the QR code after a stop or void) is given.

#include <cctype>
#include <map>

#include "tests/store/store_test_support.h"
#include "tests/tools/db_tool_fixture.h"

namespace {

using namespace dbtooltest;

const char* const kPython = "/usr/bin/python3";

enum class Event { Plain, WithVoid, Format1 };

struct Forgery {
    const char* what;
    Event event;
    std::vector<std::string> forge;  // forge_record.py arguments after the file, or "sql" and a statement
    bool caughtAlone;                 // without an anchor
    const char* anchor;               // the anchor held against it: "draw1", "draw2" or "void"
};

class ForgeryTest : public DbToolTest, public ::testing::WithParamInterface<Forgery> {
protected:
    // Two draws of format 2 (a void after the second for WithVoid), or the
    // fixture of an older version; the anchors as they were shown.
    void holdEvent(Event event)
    {
        if (event == Event::Format1) {
            fs::copy_file(SORTIA_TESTDATA_DIR "/record/format1.mdb", m_db);
            m_anchors["draw1"] = "1:" + fieldsOf(linesOf(tool({"history"}).out).at(1)).at(6);
            return;
        }
        ASSERT_EQ(tool({"create", "--demo", "200"}).status, 0);
        ASSERT_EQ(tool({"draw", "10", "--level", "三等奖", "--public", "12 7 33"}).status, 0);
        m_anchors["draw1"] = anchor();
        ASSERT_EQ(tool({"draw", "1", "--level", "特等奖", "--public", "5 19 2"}).status, 0);
        m_anchors["draw2"] = anchor();
        if (event == Event::WithVoid) {
            ASSERT_EQ(tool({"void", "2", "1", "--reason", "absent", "--public", "8"}).status, 0);
            m_anchors["void"] = anchor();
        }
    }
    std::string anchor()
    {
        const RunResult shown = tool({"anchor"});
        EXPECT_EQ(shown.status, 0) << shown.err;
        return linesOf(shown.out).at(0);
    }
    // Someone not won now, hence on every list: whom the forger favours.
    std::string favoured() { return fieldsOf(linesOf(tool({"list", "--not-won"}).out).at(0)).at(0); }
    int checkAlone(const std::vector<std::string>& against)
    {
        std::vector<std::string> args = {SORTIA_SOURCE_DIR "/tests/tools/check_record.py", m_db};
        for (const std::string& anchorText : against)
            args.insert(args.end(), {"--against", anchorText});
        return runProgram(kPython, args).status;
    }
    int verify(const std::vector<std::string>& against)
    {
        std::vector<std::string> args = {"verify"};
        for (const std::string& anchorText : against)
            args.insert(args.end(), {"--against", anchorText});
        return tool(args).status;
    }

    std::map<std::string, std::string> m_anchors;
};

TEST_P(ForgeryTest, IsCaughtAloneOrByTheAnchorTakenAtTheTime)
{
    const Forgery& f = GetParam();
    holdEvent(f.event);
    ASSERT_EQ(verify({}), 0);
    const std::string historyBefore = tool({"history"}).out;
    if (f.forge.at(0) == "sql") {
        storetest::runSql(m_db, f.forge.at(1));
    } else {
        std::vector<std::string> args = {SORTIA_SOURCE_DIR "/tests/tools/forge_record.py", m_db};
        for (const std::string& arg : f.forge)
            args.push_back(arg == "FAVOURED" ? favoured() : arg);
        const RunResult forged = runProgram(kPython, args);
        ASSERT_EQ(forged.status, 0) << forged.err;
    }
    const int expectedAlone = f.caughtAlone ? 1 : 0;
    EXPECT_EQ(verify({}), expectedAlone) << tool({"verify"}).out;
    EXPECT_EQ(checkAlone({}), expectedAlone);
    const std::string& heldAgainst = m_anchors.at(f.anchor);
    EXPECT_EQ(verify({heldAgainst}), 1) << heldAgainst;
    EXPECT_EQ(checkAlone({heldAgainst}), 1) << heldAgainst;
    if (f.event == Event::WithVoid && !f.caughtAlone) {
        // The draw's own entry, and its printed digest, stayed as they were.
        EXPECT_EQ(verify({m_anchors.at("draw2")}), 0);
        EXPECT_EQ(fieldsOf(linesOf(tool({"history"}).out).at(2)).at(6),
                  fieldsOf(linesOf(historyBefore).at(2)).at(6));
    }
}

const char* const kWinnerOfDraw2 = "(select participant_id from draw_winner where draw_id = 2)";

INSTANTIATE_TEST_SUITE_P(
    Forgeries, ForgeryTest,
    ::testing::Values(
        Forgery{"top prize to a chosen person, a new commitment", Event::Plain, {"draw", "2", "1", "FAVOURED"}, false,
                "draw2"},
        Forgery{"top prize, the commitment shown kept", Event::Plain,
                {"draw", "2", "1", "FAVOURED", "--keep-commitment"}, true, "draw2"},
        Forgery{"top prize, the seed picked directly", Event::Plain, {"draw", "2", "1", "FAVOURED", "--seed-only"},
                true, "draw2"},
        Forgery{"every winner of an earlier draw", Event::Plain, {"draw", "1", "1", "FAVOURED"}, true, "draw1"},
        Forgery{"every winner of an earlier draw of an older version", Event::Format1, {"draw", "1", "1", "FAVOURED"},
                false, "draw1"},
        Forgery{"a void's replacement", Event::WithVoid, {"void", "2", "1", "FAVOURED"}, false, "void"},
        Forgery{"a winner set back to 否", Event::Plain,
                {"sql", std::string("update sheet set isluck = '否' where id = ") + kWinnerOfDraw2}, true, "draw2"},
        Forgery{"a participant set to 是", Event::Plain,
                {"sql", "update sheet set isluck = '是' where id = (select max(id) from sheet where isluck = '否')"}, true,
                "draw2"},
        Forgery{"the newest draw deleted", Event::Plain,
                {"sql", std::string("update sheet set isluck = '否' where id = ") + kWinnerOfDraw2 +
                            "; delete from draw_winner where draw_id = 2; delete from draw_record where draw_id = 2"},
                false, "draw2"}),
    [](const ::testing::TestParamInfo<Forgery>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c)
            if (std::isalnum(static_cast<unsigned char>(*c)))
                name += *c;
        return name + std::to_string(info.index);
    });

}  // namespace
