// The record's tables on an older file, voids with their replacements, and
// the results written for spreadsheets.

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/language/language.h"
#include "draw/draw_verify.h"
#include "draw/prize_draw.h"
#include "export/results_export.h"
#include "store/utf8.h"
#include "tests/draw/draw_test_support.h"

namespace {

using storetest::seedOf;

std::string sqlText(const std::string& path, const std::string& sql)
{
    store::DbConnection connection;
    EXPECT_TRUE(connection.OpenFile(path));
    auto row = connection.Execute(sql);
    return row ? row->Field(0) : "(failed: " + connection.error() + ")";
}

const char* const kRecordTableCount =
    "select count(*) from sqlite_master where name in ('draw_record', 'draw_winner', 'draw_void')";

TEST(DrawTables, AnOlderFileIsReadAsOneWithoutDrawsEvenReadOnly)
{
    storetest::TempDir dir;
    const std::string path = dir.file("Sbase.mdb");
    storetest::makeSheet(path, "(1, 'a', '1', '否'), (2, 'b', '2', '是')");
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    store::DbConnection connection;
    ASSERT_TRUE(connection.OpenFile(path, store::Access::Read)) << connection.error();
    std::vector<draw::DrawRecord> history;
    EXPECT_TRUE(draw::ReadHistory(connection, history)) << connection.error();
    EXPECT_TRUE(history.empty());
    long long last = -1;
    EXPECT_TRUE(draw::LastDrawId(connection, last));
    EXPECT_EQ(last, 0);
    draw::DrawRecord record;
    EXPECT_FALSE(draw::ReadDraw(connection, 1, record));
    EXPECT_EQ(connection.error(), "");
    draw::VerifyReport report;
    EXPECT_TRUE(draw::VerifyDraws(connection, std::nullopt, report)) << connection.error();
    EXPECT_TRUE(report.ok());
    EXPECT_EQ(sqlText(path, kRecordTableCount), "0");
}

TEST(DrawTables, AnOlderFileGainsThemAtItsFirstDrawAndSheetStaysAsItWas)
{
    storetest::TempDir dir;
    const std::string path = dir.file("Sbase.mdb");
    storetest::makeSheet(path, "(1, 'a', '1', '否'), (2, 'b', '2', '是')");
    const std::string sheetBefore = sqlText(path, "select sql from sqlite_master where name = 'sheet'");
    for (int open = 0; open < 2; ++open) {  // a second time finds them and changes nothing
        store::DbConnection connection;
        ASSERT_TRUE(connection.OpenFile(path)) << connection.error();
        EXPECT_EQ(sqlText(path, kRecordTableCount), open == 0 ? "0" : "3") << "opening alone adds nothing";
        ASSERT_TRUE(draw::EnsureDrawTables(connection)) << connection.error();
    }
    EXPECT_EQ(sqlText(path, kRecordTableCount), "3");
    EXPECT_EQ(sqlText(path, "select sql from sqlite_master where name = 'sheet'"), sheetBefore);
    EXPECT_EQ(sqlText(path, "select group_concat(id || user_name || user_number || isluck) from sheet"),
              "1a1否,2b2是");
}

class VoidTest : public storetest::SheetOnBothKinds {
protected:
    void SetUp() override
    {
        openSheet(storetest::participantRows(8));
    }
    draw::DrawRecord draw(long long n, std::uint8_t seed)
    {
        draw::DrawRequest request;
        request.level = "二等奖";
        request.count = n;
        request.seeds = [seed] { return seedOf(seed); };
        const draw::DrawResult result = draw::RunDraw(m_connection, request);
        EXPECT_EQ(result.status, draw::DrawStatus::Done) << result.error;
        return result.record;
    }
    draw::DrawResult voidAt(long long drawId, int position, std::uint8_t seed = 9)
    {
        return draw::VoidAndReplace(m_connection, drawId, position, [seed] { return seedOf(seed); });
    }
    std::string isluck(std::int64_t id)
    {
        auto row = m_connection.ExecuteBound("select isluck from sheet where id = ?", {id});
        return row ? row->Field(0) : "";
    }
};
SORTIA_ON_BOTH_KINDS(VoidTest);

TEST_P(VoidTest, AReplacementTakesTheVoidedPlaceAndTheVoidedStaysMarked)
{
    const draw::DrawRecord drawn = draw(3, 1);
    const draw::DrawResult voided = voidAt(drawn.id, 2);
    ASSERT_EQ(voided.status, draw::DrawStatus::Done) << voided.error;
    const draw::DrawRecord& record = voided.record;
    ASSERT_EQ(record.voids.size(), 1u);
    const draw::DrawVoid& entry = record.voids[0];
    EXPECT_EQ(entry.seq, 1);
    EXPECT_EQ(entry.position, 2);
    EXPECT_EQ(entry.voidedId, drawn.winners[1].id);
    EXPECT_EQ(entry.eligibleCount, 5);
    EXPECT_EQ(entry.previousDigest, drawn.digest);
    for (const draw::RecordedWinner& winner : drawn.winners)
        EXPECT_NE(entry.replacement.id, winner.id);
    EXPECT_EQ(isluck(entry.voidedId), "是");
    EXPECT_EQ(isluck(entry.replacement.id), "是");

    const auto current = draw::CurrentWinners(record);
    ASSERT_EQ(current.size(), 3u);
    EXPECT_EQ(current[0].id, drawn.winners[0].id);
    EXPECT_EQ(current[1].id, entry.replacement.id);
    EXPECT_EQ(current[1].position, 2);
    EXPECT_EQ(current[2].id, drawn.winners[2].id);
    const auto gone = draw::VoidedWinners(record);
    ASSERT_EQ(gone.size(), 1u);
    EXPECT_EQ(gone[0].id, drawn.winners[1].id);

    // The replacement can be voided in turn; the record reads back the same.
    const draw::DrawResult again = voidAt(drawn.id, 2, 10);
    ASSERT_EQ(again.status, draw::DrawStatus::Done) << again.error;
    draw::DrawRecord stored;
    ASSERT_TRUE(draw::ReadDraw(m_connection, drawn.id, stored));
    ASSERT_EQ(stored.voids.size(), 2u);
    EXPECT_EQ(stored.voids[1].voidedId, entry.replacement.id);
    EXPECT_EQ(stored.voids[1].previousDigest, stored.voids[0].digest);
    EXPECT_EQ(draw::VoidedWinners(stored).size(), 2u);
    EXPECT_EQ(draw::CurrentWinners(stored)[1].id, stored.voids[1].replacement.id);
}

TEST_P(VoidTest, RefusalsChangeNothing)
{
    const draw::DrawRecord first = draw(2, 1);
    struct Case {
        long long drawId;
        int position;
        draw::DrawStatus status;
    };
    const Case before[] = {{first.id, 0, draw::DrawStatus::NoSuchPosition},
                           {first.id, 3, draw::DrawStatus::NoSuchPosition},
                           {first.id + 1, 1, draw::DrawStatus::NotLastDraw}};
    for (const Case& c : before)
        EXPECT_EQ(voidAt(c.drawId, c.position).status, c.status) << c.position;
    // A reason that could not stand in the record as given, from any caller.
    draw::VoidRequest badReason;
    badReason.drawId = first.id;
    badReason.position = 1;
    badReason.reason = "absent\nreally";
    EXPECT_EQ(draw::VoidAndReplace(m_connection, badReason).status, draw::DrawStatus::Refused);
    const draw::DrawRecord second = draw(6, 2);  // everybody has won now
    EXPECT_EQ(voidAt(first.id, 1).status, draw::DrawStatus::NotLastDraw);
    EXPECT_EQ(voidAt(second.id, 1).status, draw::DrawStatus::NobodyLeft);
    draw::DrawRecord stored;
    ASSERT_TRUE(draw::ReadDraw(m_connection, second.id, stored));
    EXPECT_TRUE(stored.voids.empty());
    ASSERT_TRUE(draw::ReadDraw(m_connection, first.id, stored));
    EXPECT_TRUE(stored.voids.empty());
}

TEST_P(VoidTest, ResultRowsShowTheReplacementInPlaceAndTheVoidBelow)
{
    const draw::DrawRecord first = draw(2, 1);
    const draw::DrawRecord drawn = draw(3, 2);
    const draw::DrawResult voided = voidAt(drawn.id, 1);
    ASSERT_EQ(voided.status, draw::DrawStatus::Done);
    std::vector<draw::DrawRecord> history;
    ASSERT_TRUE(draw::ReadHistory(m_connection, history));
    const auto rows = exporter::ResultRows(history);
    ASSERT_EQ(rows.size(), 6u);
    const std::string replaced = drawn.winners[0].name.value();
    const draw::RecordedWinner& replacement = voided.record.voids[0].replacement;
    struct Expected {
        long long drawId;
        int position;
        std::string name;
        std::string note;
    };
    const Expected expected[] = {
        {1, 1, *first.winners[0].name, ""},
        {1, 2, *first.winners[1].name, ""},
        {2, 1, *replacement.name, "replaces " + replaced},
        {2, 2, *drawn.winners[1].name, ""},
        {2, 3, *drawn.winners[2].name, ""},
        {2, 1, replaced, "void"},
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].drawId, expected[i].drawId) << i;
        EXPECT_EQ(rows[i].position, expected[i].position) << i;
        EXPECT_EQ(rows[i].name, expected[i].name) << i;
        EXPECT_EQ(rows[i].note, expected[i].note) << i;
        EXPECT_EQ(rows[i].level, "二等奖") << i;
    }
    EXPECT_EQ(rows[2].time, voided.record.voids[0].time);
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(ResultsFile, CsvIsUtf8WithAMarkAndQuotesWhatNeedsIt)
{
    lang::setUiLanguage(lang::Language::English);
    storetest::TempDir dir;
    const std::vector<exporter::ResultRow> rows = {
        {"一等奖", 1, "not a time", 1, "张三", "13800000001", "", 3, "笔记本"},
        {"a,b", 2, "not a time", 2, "say \"hi\"\nthere", std::string("\xB2\xE2"), "void", std::nullopt, ""},
    };
    std::string error;
    const std::string path = dir.file("out.CSV");
    ASSERT_TRUE(exporter::ExportResults(rows, path, error)) << error;
    EXPECT_EQ(readFile(path), "\xEF\xBB\xBF"
                              "level,draw,time,position,name,number,note,round,prize\r\n"
                              "一等奖,1,not a time,1,张三,13800000001,,3,笔记本\r\n"
                              "\"a,b\",2,not a time,2,\"say \"\"hi\"\"\nthere\",\xEF\xBF\xBD\xEF\xBF\xBD,void,,\r\n");
    lang::resetUiLanguage();
}

TEST(ResultsFile, RefusalsLeaveNoFileBehind)
{
    storetest::TempDir dir;
    std::string error;
    EXPECT_FALSE(exporter::ExportResults({}, dir.file("out.txt"), error));
    EXPECT_NE(error.find(".csv or .xlsx"), std::string::npos) << error;
    EXPECT_FALSE(exporter::ExportResults({}, dir.file("missing/out.csv"), error));
    EXPECT_NE(error.find("missing/out.csv"), std::string::npos) << error;
    // An existing file is replaced only by a complete one.
    const std::string path = dir.file("keep.xlsx");
    std::ofstream(path) << "old";
    const std::vector<exporter::ResultRow> tooLong = {{"", 1, "", 1, std::string(40000, 'x'), "", "", {}, ""}};
    EXPECT_FALSE(exporter::ExportResults(tooLong, path, error));
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(error.find(".sortia-export"), std::string::npos) << error;
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.file("")))
        ++files;
    EXPECT_EQ(files, 1u) << "a temporary file was left behind";
}

TEST(ResultsFile, InvalidUtf8BecomesReplacementCharacters)
{
    struct Case {
        std::string in;
        std::string out;
    };
    const std::string bad = "\xEF\xBF\xBD";
    const Case cases[] = {
        {"plain", "plain"},
        {"张三", "张三"},
        {"\xF0\x9F\x8E\x89", "\xF0\x9F\x8E\x89"},  // four bytes
        {"\xC0\xAF", bad + bad},                    // overlong
        {"\xED\xA0\x80", bad + bad + bad},          // surrogate
        {"\xE5\xBC", bad + bad},                    // cut
        {"a\xFFz", "a" + bad + "z"},
        {"\xF4\x90\x80\x80", bad + bad + bad + bad},  // beyond U+10FFFF
    };
    for (const Case& c : cases)
        EXPECT_EQ(store::ValidUtf8(c.in), c.out) << c.in;
}

}  // namespace
