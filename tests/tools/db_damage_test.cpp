// Databases that cannot serve as they are: read-only files and folders,
// damaged files, a full disk, a sheet made by another program with missing
// columns, Nulls and duplicates, and names no statement may trip over. Each
// is refused or handled with a message naming the file, and nothing is lost.

#include <sys/stat.h>

#include <cstring>
#include <set>

#include <sqlite3.h>

#include "draw/prize_draw.h"
#include "tests/store/store_test_support.h"
#include "tests/support/small_filesystem.h"
#include "tests/tools/db_tool_fixture.h"

namespace {

using namespace dbtooltest;

constexpr uid_t kNobody = 65534;

void corruptAt(const std::string& path, std::uintmax_t offset, std::size_t length)
{
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(std::streamoff(offset));
    for (std::size_t i = 0; i < length; ++i)
        file.put(char(0xA5 ^ (i * 37)));
}

struct DamageCase {
    const char* name;
    void (*damage)(const std::string& db, const fs::path& folder);
    bool permissions;         // a case of rights, which root does not have to respect
    const char* drawSaying;   // in the draw's refusal
    bool listWorks;           // reading still works
};

const DamageCase kDamage[] = {
    {"ReadOnlyFile", [](const std::string& db, const fs::path&) { chmod(db.c_str(), 0444); }, true,
     "is read-only", true},
    {"ReadOnlyFolder", [](const std::string& db, const fs::path& folder) {
         chmod(db.c_str(), 0666);
         chmod(folder.c_str(), 0555);
     }, true, "The folder", true},
    {"TruncatedToHalf", [](const std::string& db, const fs::path&) { fs::resize_file(db, fs::file_size(db) / 2); },
     false, "is damaged", false},
    {"CorruptedPage", [](const std::string& db, const fs::path&) { corruptAt(db, 4096 * 3 + 100, 2000); }, false,
     "is damaged", false},
    {"CorruptedHeader", [](const std::string& db, const fs::path&) { corruptAt(db, 0, 16); }, false,
     "is not a database file", false},
    {"EmptyFile", [](const std::string& db, const fs::path&) { fs::resize_file(db, 0); }, false, "is not a database file",
     false},
};

class DamagedDatabaseTest : public DbToolTest, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedDatabaseTest, IsRefusedWithTheFileTheCauseAndNothingChanged)
{
    const DamageCase& c = GetParam();
    ASSERT_EQ(tool({"create", "--demo", "3000"}).status, 0);
    ASSERT_EQ(tool({"draw", "2"}).status, 0);
    if (c.permissions && geteuid() == 0) {
        // Root may write anywhere: the tool runs as an ordinary user instead.
        chmod(m_dir.c_str(), 0755);
        chmod(m_db.c_str(), 0644);
        std::string why;
        if (!userCanRun(kNobody, SORTIA_DB_TOOL, m_dir, why))
            GTEST_SKIP() << c.name << " checks rights as an ordinary user, but " << why;
        runAsUser = kNobody;
    }
    c.damage(m_db, m_dir);
    const std::string before = readAll(m_db);
    const RunResult drawn = tool({"draw", "3"});
    const RunResult listed = tool({"list"});
    chmod(m_dir.c_str(), 0755);
    runAsUser.reset();
    EXPECT_EQ(drawn.status, 1) << drawn.out;
    EXPECT_NE(drawn.err.find(m_db), std::string::npos) << drawn.err;
    EXPECT_NE(drawn.err.find(c.drawSaying), std::string::npos) << drawn.err;
    EXPECT_EQ(listed.status, c.listWorks ? 0 : 1) << listed.err;
    if (c.listWorks) {
        EXPECT_EQ(linesOf(listed.out).size(), 3000u);
    }
    EXPECT_TRUE(readAll(m_db) == before) << "the refused file was changed";
}

INSTANTIATE_TEST_SUITE_P(Files, DamagedDatabaseTest, ::testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.name); });

// What the child on the small filesystem found, as its exit status.
enum FullDiskFinding {
    kAsExpected = testsupport::kBodyPassed,
    kSetUpFailed = 10,
    kNotRefusedWhenNearlyFull,
    kReadingRefused,
    kDrawNotFailedOnFullDisk,
    kFullDiskMessageUnclear,
    kDamagedOrMarked,
    kNoDrawOnceRoomMade,
};

std::string fill(const std::string& folder, std::size_t leaveBytes)
{
    const std::string filler = folder + "/filler";
    std::ofstream out(filler, std::ios::binary);
    const std::string block(4096, 'x');
    for (;;) {
        const std::uintmax_t free = fs::space(folder).available;
        if (free <= leaveBytes || !out.write(block.data(), std::streamsize(block.size())).flush())
            break;
    }
    return filler;
}

int fullDiskBody(const std::string& folder)
{
    const std::string db = folder + "/Sbase.mdb";
    std::string error;
    if (!store::CreateDatabase(db, error))
        return kSetUpFailed;
    {
        store::DbConnection setUp;
        if (!setUp.OpenFile(db) || !setUp.Run("insert into sheet (user_name, user_number) values ('a', '1'), "
                                              "('b', '2'), ('c', '3'), ('d', '4')"))
            return kSetUpFailed;
    }
    // Nearly full at start-up: refused for drawing, still readable.
    std::string filler = fill(folder, 256 * 1024);
    store::DbConnection early;
    if (early.OpenFile(db) || early.errorKind() != store::ErrorKind::DiskFull)
        return kNotRefusedWhenNearlyFull;
    if (!store::DbConnection().OpenFile(db, store::Access::Read))
        return kReadingRefused;
    fs::remove(filler);
    // Full in the middle of the event: the draw fails as a whole and says why.
    store::DbConnection connection;
    if (!connection.OpenFile(db))
        return kSetUpFailed;
    filler = fill(folder, 0);
    draw::DrawRequest request;
    request.count = 2;
    const draw::DrawResult failed = draw::RunDraw(connection, request);
    if (failed.status != draw::DrawStatus::DatabaseError || failed.errorKind != store::ErrorKind::DiskFull)
        return kDrawNotFailedOnFullDisk;
    if (failed.error.find(db) == std::string::npos || failed.error.find("is full") == std::string::npos)
        return kFullDiskMessageUnclear;
    fs::remove(filler);
    store::Counts counts;
    if (!store::CountParticipants(connection, counts) || counts.won != 0)
        return kDamagedOrMarked;
    if (draw::RunDraw(connection, request).status != draw::DrawStatus::Done)
        return kNoDrawOnceRoomMade;
    return kAsExpected;
}

TEST(FullDisk, RefusedNearlyFullAndADrawOnAFullDiskChangesNothing)
{
    storetest::TempDir dir;
    const std::string folder = dir.file("small");
    fs::create_directory(folder);
    const int found = testsupport::runOnSmallFilesystem(folder, 2 * 1024 * 1024, fullDiskBody);
    if (found == testsupport::kNoSmallFilesystem)
        GTEST_SKIP() << "FullDisk: this machine does not let the test mount a small filesystem";
    EXPECT_EQ(found, kAsExpected) << "see FullDiskFinding";
}

struct SheetCase {
    const char* name;
    const char* schemaAndRows;
    std::vector<std::string> draws;    // the count of each draw, in order
    std::vector<int> statuses;         // their exit statuses
    const char* saying;                // in the first failure's message
    const char* flagsAfter;            // isluck by id, '1' won, '0' not, '-' Null
};

const SheetCase kSheets[] = {
    {"NoIsluckColumn", "create table sheet (id integer primary key, user_name text, user_number text);"
     "insert into sheet values (1, 'a', '1');", {"1"}, {1}, "needs a column isluck", ""},
    {"NoUserNumberColumn", "create table sheet (id integer primary key, user_name text, isluck text);"
     "insert into sheet values (1, 'a', '否');", {"1"}, {1}, "first columns must be", ""},
    {"NullsAreDrawnButNullIsluckIsNot",
     "create table sheet (id integer primary key, user_name text, user_number text, isluck text);"
     "insert into sheet values (1, null, 'n1', '否'), (2, 'b', null, '否'), (3, 'c', 'n3', null), (4, 'd', 'n4', '否');",
     {"3", "1"}, {0, 1}, "没有找到相关信息", "11-1"},
    {"DuplicateNumbersAreMarkedTogether",
     "create table sheet (id integer primary key, user_name text, user_number text, isluck text);"
     "insert into sheet values (1, 'a', 'same', '否'), (2, 'b', 'same', '否');",
     {"1", "1"}, {0, 1}, "没有找到相关信息", "11"},
    {"DuplicateIdsAreRefused",
     "create table sheet (id integer, user_name text, user_number text, isluck text);"
     "insert into sheet values (1, 'a', 'n1', '否'), (1, 'b', 'n2', '否'), (2, 'c', 'n3', '否');",
     {"1"}, {1}, "nobody was marked", "000"},
};

class SheetContentsTest : public DbToolTest, public ::testing::WithParamInterface<SheetCase> {};

TEST_P(SheetContentsTest, DrawsWhatCanBeDrawnAndSaysWhatCannot)
{
    const SheetCase& c = GetParam();
    storetest::runSql(m_db, c.schemaAndRows);
    std::string firstFailure;
    for (std::size_t i = 0; i < c.draws.size(); ++i) {
        const RunResult drawn = tool({"draw", c.draws[i]});
        EXPECT_EQ(drawn.status, c.statuses[i]) << "draw " << i << ": " << drawn.err;
        if (drawn.status != 0 && firstFailure.empty())
            firstFailure = drawn.err;
    }
    EXPECT_NE(firstFailure.find(c.saying), std::string::npos) << firstFailure;
    if (std::strlen(c.flagsAfter) == 0)
        return;
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(m_db.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* rows = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "select isluck from sheet order by rowid", -1, &rows, nullptr), SQLITE_OK);
    std::string flags;
    while (sqlite3_step(rows) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(rows, 0);
        flags += !text ? '-' : std::string(reinterpret_cast<const char*>(text)) == "是" ? '1' : '0';
    }
    sqlite3_finalize(rows);
    sqlite3_close(db);
    EXPECT_EQ(flags, c.flagsAfter);
}

INSTANTIATE_TEST_SUITE_P(Sheets, SheetContentsTest, ::testing::ValuesIn(kSheets),
                         [](const auto& info) { return std::string(info.param.name); });

// Names and numbers that quote, escape or look like SQL come back as they went in.
TEST_F(DbToolTest, OddNamesAreDrawnAndRecordedExactly)
{
    const std::vector<std::string> names = {
        "O'Brien",
        "\"quoted\" and 'single'",
        "🎉🐉 李小龙 👨‍👩‍👧",
        std::string(300, 'x') + std::string("长名字") + std::string(700, 'y'),
        "'; drop table sheet; --",
        "Robert'); delete from sheet where ('1'='1",
        "back\\slash",
    };
    storetest::makeSheet(m_db, "");
    {
        store::DbConnection db;
        ASSERT_TRUE(db.OpenFile(m_db));
        for (std::size_t i = 0; i < names.size(); ++i)
            ASSERT_TRUE(db.Run("insert into sheet (user_name, user_number) values (?, ?)", {names[i], names[i] + "#"}));
    }
    const RunResult drawn = tool({"draw", std::to_string(names.size()), "--level", "'); drop table draw_record; --"});
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    // The tool prints a backslash doubled.
    const auto printed = [](const std::string& text) {
        std::string out;
        for (char ch : text)
            out += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
        return out;
    };
    std::set<std::string> expected;
    for (const std::string& name : names)
        expected.insert(printed(name) + "\t" + printed(name + "#"));
    const auto lines = linesOf(drawn.out);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected);
    expectStats(long(names.size()), long(names.size()), 0);
    EXPECT_EQ(tool({"verify"}).status, 0);
    const RunResult history = tool({"history", "1"});
    EXPECT_NE(history.out.find(names[2]), std::string::npos) << history.out;
}

}  // namespace
