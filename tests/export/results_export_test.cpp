// Results files as they leave the program: texts that stay texts in a
// spreadsheet, the user's umask, a replacement that reaches the disk before
// it takes the final name, and the masked form for publishing.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "export/file_replace.h"
#include "export/results_export.h"
#include "platform/language/language.h"

namespace {

namespace fs = std::filesystem;

const bool kEnglish = (lang::setUiLanguage(lang::Language::English), true);

class ResultsExportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "sortia-export-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    // The folder's file names, to see that no temporary file stays behind.
    std::vector<std::string> names() const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(m_dir))
            found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    fs::path m_dir;
};

std::string contents(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

exporter::ResultRow row(const std::string& name, const std::string& number)
{
    return {"一等奖", 1, "2026-01-01T00:00:00Z", 1, name, number, "", std::nullopt, ""};
}

TEST_F(ResultsExportTest, TextsThatLookLikeFormulasStayTexts)
{
    struct Case {
        std::string name;
        std::string written;  // as the CSV line holds it
    };
    const Case cases[] = {
        {"=HYPERLINK(\"http://x\",\"y\")", "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\""},
        {"+8613800000000", "'+8613800000000"},
        {"-2+3", "'-2+3"},
        {"@SUM(A1:A9)", "'@SUM(A1:A9)"},
        {"\tcmd", "'\tcmd"},
        {"\rcmd", "\"'\rcmd\""},
        {"a=b", "a=b"},
        {"张三", "张三"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        ASSERT_TRUE(exporter::ExportResults({row(c.name, "1")}, path("r.csv"), error)) << error;
        EXPECT_NE(contents(path("r.csv")).find("," + c.written + ",1,"), std::string::npos) << contents(path("r.csv"));
    }
}

TEST_F(ResultsExportTest, FilesKeepTheUsersUmask)
{
    for (const mode_t mask : {mode_t(002), mode_t(077), mode_t(027)}) {
        for (const char* name : {"r.csv", "r.xlsx"}) {
            SCOPED_TRACE(std::string(name) + " under umask " + std::to_string(mask));
            const mode_t before = umask(mask);
            std::string error;
            const bool written = exporter::ExportResults({row("张三", "13800000001")}, path(name), error);
            umask(before);
            ASSERT_TRUE(written) << error;
            struct stat info {};
            ASSERT_EQ(stat(path(name).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
            fs::remove(path(name));
        }
    }
}

// The data reaches the disk before it takes the final name (else a power
// cut could leave an empty file there), and the rename after it.
TEST_F(ResultsExportTest, AReplacementIsFlushedBeforeItTakesTheName)
{
    std::ofstream(path("r.csv")) << "old";
    std::vector<std::string> seen;  // what the final name held at each flush
    const exporter::SyncFn recording = [&](int fd) {
        struct stat info {};
        fstat(fd, &info);
        seen.push_back((S_ISDIR(info.st_mode) ? "folder:" : "file:") + contents(path("r.csv")));
        return fsync(fd);
    };
    std::string error;
    ASSERT_TRUE(exporter::ReplaceFile(
        path("r.csv"), [](const std::string& temporary, std::string&) { return bool(std::ofstream(temporary) << "new"); },
        error, recording))
        << error;
    EXPECT_EQ(seen, (std::vector<std::string>{"file:old", "folder:new"}));

    // A disk that fails the flush: the old file stays, nothing else does.
    const exporter::SyncFn failing = [](int) {
        errno = EIO;
        return -1;
    };
    EXPECT_FALSE(exporter::ReplaceFile(
        path("r.csv"), [](const std::string& temporary, std::string&) { return bool(std::ofstream(temporary) << "new2"); },
        error, failing));
    EXPECT_NE(error.find(path("r.csv")), std::string::npos) << error;
    EXPECT_EQ(contents(path("r.csv")), "new");
    EXPECT_EQ(names(), std::vector<std::string>{"r.csv"});
}

TEST(ResultRows, MaskedForPublishingFullOtherwise)
{
    draw::DrawRecord record;
    record.id = 1;
    record.level = "一等奖";
    record.winners = {{1, 7, std::string("张三丰"), std::string("13812345678")},
                      {2, 8, std::string("李四"), std::string("13900000000")}};
    draw::DrawVoid entry;
    entry.position = 2;
    entry.replacement = {2, 9, std::string("王小五"), std::string("13700001111")};
    record.voids = {entry};

    const auto full = exporter::ResultRows({record});
    ASSERT_EQ(full.size(), 3u);
    EXPECT_EQ(full[0].name, "张三丰");
    EXPECT_EQ(full[0].number, "13812345678");

    const auto masked = exporter::ResultRows({record}, exporter::Masking::Masked);
    ASSERT_EQ(masked.size(), 3u);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"张*丰", "138****5678"}, {"王*五", "137****1111"}, {"李*", "139****0000"}};
    for (std::size_t i = 0; i < masked.size(); ++i) {
        EXPECT_EQ(masked[i].name, expected[i].first);
        EXPECT_EQ(masked[i].number, expected[i].second);
    }
    // The replacement's note names whom it replaced, masked as well.
    EXPECT_EQ(masked[1].note.find("李四"), std::string::npos) << masked[1].note;
    EXPECT_NE(masked[1].note.find("李*"), std::string::npos) << masked[1].note;
}

}  // namespace
