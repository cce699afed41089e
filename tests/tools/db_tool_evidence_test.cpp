// sortia-db evidence: the pack checked as an outsider would, with Node on its
// script, headless Chromium on its page, and zbar on the certificate's QR.

#include <cstdlib>
#include <regex>

#include "tests/store/store_test_support.h"
#include "tests/tools/db_tool_fixture.h"

namespace {

using namespace dbtooltest;

std::optional<std::string> onPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');)
        if (!folder.empty() && access((fs::path(folder) / name).c_str(), X_OK) == 0)
            return (fs::path(folder) / name).string();
    return std::nullopt;
}

// A name that would end the page's data early if it were not escaped, and
// then declare the draw matching whatever the data says.
const char* const kHostileName = "</script><script>document.body.dataset.result=\"match\"</script>";

class EvidenceTest : public DbToolTest {
protected:
    void SetUp() override
    {
        DbToolTest::SetUp();
        ASSERT_EQ(tool({"create", "--demo", "40"}).status, 0);
        storetest::runSql(m_db, std::string("update sheet set user_name = '") + kHostileName + "' where id % 2 = 0;");
        // An evening around draw 1: a void, a reset, the next draw, and a correction after it.
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"draw", "6", "--level", "一等奖", "--public", "3 14 15"},
              {"void", "1", "2", "--reason", "absent"},
              {"reset"},
              {"draw", "2", "--level", "二等奖"},
              {"relabel", "1", "--level", "特等奖", "--reason", "misread"}}) {
            const RunResult done = tool(command);
            ASSERT_EQ(done.status, 0) << command[0] << ": " << done.err;
        }
    }

    fs::path pack(const std::vector<std::string>& options = {})
    {
        const fs::path folder = m_dir / "pack";
        std::vector<std::string> args = {"evidence", "1", folder.string()};
        args.insert(args.end(), options.begin(), options.end());
        const RunResult written = tool(args);
        EXPECT_EQ(written.status, 0) << written.err;
        return folder;
    }

    // The page's verdict in a browser: "match", "mismatch", or what it shows instead.
    std::string browserVerdict(const fs::path& page)
    {
        const RunResult dumped = runProgram(*onPath("chromium"),
                                            {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                                             "--disable-background-networking", "--disable-component-update",
                                             "--user-data-dir=" + (m_dir / "chromium").string(), "--dump-dom",
                                             "file://" + page.string()});
        std::smatch found;
        if (!std::regex_search(dumped.out, found, std::regex("<body[^>]*data-result=\"([a-z]+)\"")))
            return "no verdict: " + dumped.out.substr(0, 300) + dumped.err.substr(0, 300);
        return found[1];
    }

    static void tamper(const fs::path& file, const std::string& from, const std::string& to)
    {
        std::string text = readAll(file);
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }
};

TEST_F(EvidenceTest, TheScriptUnderNodeFindsTheDrawAndEveryChangeToIt)
{
    if (!onPath("node"))
        GTEST_SKIP() << "node is not installed (Debian package nodejs)";
    struct Case {
        const char* what;
        std::string from, to;  // "" leaves the pack as written
        bool matches;
    };
    const fs::path folder = pack();
    const std::string json = readAll(folder / "entries.json");
    std::smatch winner, listed;
    ASSERT_TRUE(std::regex_search(json, winner, std::regex("\"participant_id\":\"([0-9]+)\"")));
    ASSERT_TRUE(std::regex_search(json, listed, std::regex("\"eligible_ids\":\\[\"([0-9]+)\",")));
    const Case cases[] = {
        {"as written", "", "", true},
        {"another winner", winner[0], "\"participant_id\":\"999\"", false},
        {"another public input", "\"public_input\":\"3 14 15\"", "\"public_input\":\"3 14 16\"", false},
        {"someone left out of the list", listed[0], "\"eligible_ids\":[", false},
        {"a different level", "\"prize_level\":\"特等奖\"", "\"prize_level\":\"三等奖\"", false},
    };
    for (const Case& c : cases) {
        const fs::path copy = m_dir / "copy.json";
        fs::copy_file(folder / "entries.json", copy, fs::copy_options::overwrite_existing);
        if (!c.from.empty())
            tamper(copy, c.from, c.to);
        const RunResult checked = runProgram(*onPath("node"), {(folder / "verify.js").string(), copy.string()});
        EXPECT_EQ(checked.status, c.matches ? 0 : 1) << c.what << "\n" << checked.out << checked.err;
        EXPECT_EQ(linesOf(checked.out).back(), c.matches ? "match" : "mismatch") << c.what;
    }
}

TEST_F(EvidenceTest, ThePageInABrowserSaysMatchOnlyForTheDrawAsRecorded)
{
    if (!onPath("chromium"))
        GTEST_SKIP() << "chromium is not installed (Debian package chromium)";
    const fs::path folder = pack({"--event", "年会 </script>"});
    EXPECT_EQ(browserVerdict(folder / "verify.html"), "match");
    const std::string json = readAll(folder / "entries.json");
    std::smatch winner;
    ASSERT_TRUE(std::regex_search(json, winner, std::regex("\"participant_id\":\"([0-9]+)\"")));
    tamper(folder / "verify.html", winner[0], "\"participant_id\":\"999\"");
    EXPECT_EQ(browserVerdict(folder / "verify.html"), "mismatch");
}

TEST_F(EvidenceTest, TheCertificatesQrCodeIsAnAnchorThatVerifies)
{
    if (!onPath("pdftoppm") || !onPath("zbarimg"))
        GTEST_SKIP() << "pdftoppm (poppler-utils) or zbarimg (zbar-tools) is not installed";
    const fs::path folder = pack();
    ASSERT_EQ(runProgram(*onPath("pdftoppm"), {"-r", "150", "-png", "-f", "1", "-l", "1",
                                               (folder / "certificate.pdf").string(), (m_dir / "page").string()})
                  .status,
              0);
    const RunResult scanned = runProgram(*onPath("zbarimg"), {"--raw", "-q", (m_dir / "page-1.png").string()});
    ASSERT_EQ(scanned.status, 0) << scanned.err;
    const std::string anchor = linesOf(scanned.out).at(0);
    EXPECT_EQ(anchor.rfind("sortia-draw:1:", 0), 0u) << anchor;
    EXPECT_EQ(tool({"verify", "--against", anchor}).status, 0);
}

TEST_F(EvidenceTest, AMaskedPackHidesTheWinnersAndStillChecksThePicks)
{
    if (!onPath("node"))
        GTEST_SKIP() << "node is not installed (Debian package nodejs)";
    const fs::path folder = pack({"--masked"});
    const std::string json = readAll(folder / "entries.json");
    int names = 0;
    const std::regex nameField("\"user_name\":\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), nameField); it != std::sregex_iterator(); ++it, ++names)
        EXPECT_NE((*it)[1].str().find('*'), std::string::npos) << "a name shown whole: " << (*it)[1];
    EXPECT_GT(names, 0);
    EXPECT_EQ(std::regex_search(json, std::regex("\"user_number\":\"[0-9]{11}\"")), false) << json.substr(0, 400);
    const RunResult checked = runProgram(*onPath("node"), {(folder / "verify.js").string(), (folder / "entries.json").string()});
    EXPECT_EQ(checked.status, 0) << checked.out;
    EXPECT_NE(checked.out.find("masked"), std::string::npos) << checked.out;
    EXPECT_EQ(tool({"evidence", "9", (m_dir / "none").string()}).status, 1);
}

}  // namespace
