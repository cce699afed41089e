// Reading the first sheet of XLSX workbooks: as a spreadsheet writer makes
// them, and hand-built for the cases a writer does not produce.

#include <gtest/gtest.h>

#include "platform/language/language.h"
#include "import/xlsx_reader.h"
#include "tests/store/store_test_support.h"
#include "tests/support/workbooks.h"

namespace {

using importer::Record;
using namespace testsupport;

const bool kEnglish = (lang::setUiLanguage(lang::Language::English), true);

class XlsxReaderTest : public ::testing::Test {
protected:
    std::string path(const std::string& name) const { return m_dir.file(name); }

    bool read(const std::string& file, std::vector<Record>& records, importer::Problem& problem)
    {
        return importer::readXlsx(fileBytes(file), records, problem);
    }

    storetest::TempDir m_dir;
};

using Fields = std::vector<std::string>;

TEST_F(XlsxReaderTest, ReadsWhatASpreadsheetWriterWrites)
{
    const std::vector<std::vector<SheetCell>> rows = {
        {textCell("user_name"), textCell("user_number"), textCell("isluck")},
        {textCell("张三"), numberCell(13866512345.0), textCell("是")},
        {textCell(" 李四 "), textCell("00123"), formulaCell("否")},
        {},  // an empty row is no record
        {textCell("王五"), numberCell(1.38665e10)},
        {textCell("x"), numberCell(42.5), {}, textCell("right of the header")},
    };
    for (const bool inlineStrings : {false, true}) {
        SCOPED_TRACE(inlineStrings ? "inline strings" : "shared strings");
        ASSERT_TRUE(writeWorkbook(path("list.xlsx"), rows, inlineStrings));
        std::vector<Record> records;
        importer::Problem problem;
        ASSERT_TRUE(read(path("list.xlsx"), records, problem)) << problem.message;
        ASSERT_EQ(records.size(), 5u);
        EXPECT_EQ(records[0].fields, (Fields{"user_name", "user_number", "isluck"}));
        EXPECT_EQ(records[1].fields, (Fields{"张三", "13866512345", "是"}));
        EXPECT_EQ(records[2].fields, (Fields{" 李四 ", "00123", "否"}));
        EXPECT_EQ(records[3].line, 5u);
        EXPECT_EQ(records[3].fields, (Fields{"王五", "13866500000"}));
        EXPECT_EQ(records[4].fields, (Fields{"x", "42.5"}));
    }
}

// The parts of a workbook around one sheet.
std::vector<std::pair<std::string, std::string>> workbookParts(const std::string& sheet, const std::string& strings,
                                                               const std::string& sheetTarget = "worksheets/sheet1.xml")
{
    const std::string rels = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    return {
        {"_rels/.rels", "<Relationships><Relationship Id=\"rId1\" Type=\"" + rels +
                            "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
        // The second tab's part comes first in the relationships; the first tab decides.
        {"xl/workbook.xml", "<workbook xmlns:r=\"" + rels +
                                "\"><sheets><sheet name=\"a\" sheetId=\"1\" r:id=\"rId7\"/>"
                                "<sheet name=\"b\" sheetId=\"2\" r:id=\"rId2\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<Relationships><Relationship Id=\"rId2\" Type=\"" + rels + "/worksheet\" Target=\"worksheets/other.xml\"/>"
         "<Relationship Id=\"rId7\" Type=\"" + rels + "/worksheet\" Target=\"" + sheetTarget + "\"/>"
         "<Relationship Id=\"rId3\" Type=\"" + rels + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData>" + sheet + "</sheetData></worksheet>"},
        {"xl/worksheets/other.xml", "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>wrong</t></is></c></row>"
                                    "</sheetData></worksheet>"},
        {"xl/sharedStrings.xml", "<sst>" + strings + "</sst>"},
    };
}

TEST_F(XlsxReaderTest, FollowsTheFormatsLesserUsedRules)
{
    const std::string strings =
        "<si><t>user_name</t></si><si><t>user_number</t></si>"
        // rich text runs, and a phonetic guide that is not part of the value
        "<si><r><t>张</t></r><r><rPr><b/></rPr><t xml:space=\"preserve\">三 </t></r><rPh><t>ジャン</t></rPh></si>";
    const std::string sheet =
        "<row><c t=\"s\"><v>0</v></c><c t=\"s\"><v>1</v></c></row>"     // row 1, cells A and B without r
        "<row r=\"3\"><c r=\"B3\"><v>1.3866512345E10</v></c><c r=\"A3\" t=\"s\"><v>2</v></c></row>"
        "<row><c t=\"inlineStr\"><is><r><t>李</t></r><t>四</t></is></c><c t=\"str\"><f>A1</f><v>T1</v></c></row>"
        "<row r=\"9\"><c r=\"A9\" t=\"e\"><v>#N/A</v></c><c r=\"B9\" t=\"b\"><v>1</v></c></row>"
        "<row r=\"10\"><c r=\"C10\"><v>5</v></c></row>"  // only right of the header: no record
        "<row><c t=\"str\"><v>x</v></c><c r=\"C11\"><v>5</v></c></row>";  // as wide as its last cell
    for (const std::string& target : {std::string("worksheets/sheet1.xml"), std::string("/xl/worksheets/sheet1.xml"),
                                      std::string("../xl/worksheets/sheet1.xml")}) {
        SCOPED_TRACE(target);
        ASSERT_TRUE(writeZip(path("parts.xlsx"), workbookParts(sheet, strings, target)));
        std::vector<Record> records;
        importer::Problem problem;
        ASSERT_TRUE(read(path("parts.xlsx"), records, problem)) << problem.message;
        ASSERT_EQ(records.size(), 5u);
        const std::vector<std::size_t> lines = {1, 3, 4, 9, 11};
        const std::vector<Fields> fields = {
            {"user_name", "user_number"}, {"张三 ", "13866512345"}, {"李四", "T1"}, {"#N/A", "TRUE"}, {"x"}};
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].line, lines[i]);
            EXPECT_EQ(records[i].fields, fields[i]);
        }
    }
}

TEST_F(XlsxReaderTest, RefusesWhatIsNoReadableWorkbook)
{
    const std::string strings = "<si><t>a</t></si>";
    struct Case {
        const char* label;
        std::vector<std::pair<std::string, std::string>> parts;  // empty: not a ZIP file at all
        std::size_t line;
        const char* messagePart;
    };
    auto withoutWorkbook = workbookParts("", strings);
    withoutWorkbook.erase(withoutWorkbook.begin() + 1);
    auto withoutSheet = workbookParts("", strings);
    withoutSheet.erase(withoutSheet.begin() + 3);
    const Case cases[] = {
        {"not a ZIP file", {}, 0, "not an XLSX workbook"},
        {"no workbook part", withoutWorkbook, 0, "no part xl/workbook.xml"},
        {"no sheet part", withoutSheet, 0, "no part xl/worksheets/sheet1.xml"},
        {"shared string out of range", workbookParts("<row r=\"4\"><c r=\"A4\" t=\"s\"><v>1</v></c></row>", strings), 4,
         "shared string that does not exist"},
        {"negative shared string", workbookParts("<row><c t=\"s\"><v>-1</v></c></row>", strings), 1, "shared string"},
        {"bad cell reference", workbookParts("<row r=\"2\"><c r=\"a2\"><v>1</v></c></row>", strings), 2,
         "bad cell reference"},
        {"column beyond XFD", workbookParts("<row r=\"2\"><c r=\"XFE2\"><v>1</v></c></row>", strings), 2,
         "bad cell reference"},
        {"bad row number", workbookParts("<row r=\"0\"/>", strings), 0, "bad row number"},
        {"damaged XML", workbookParts("<row><c><v>1</v></row>", strings), 0, "damaged (XML line"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string file = path("bad.xlsx");
        if (c.parts.empty())
            std::ofstream(file, std::ios::binary) << "user_name,user_number\n";
        else
            ASSERT_TRUE(writeZip(file, c.parts));
        std::vector<Record> records;
        importer::Problem problem;
        EXPECT_FALSE(read(file, records, problem));
        EXPECT_EQ(problem.line, c.line);
        EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
    }
}

TEST_F(XlsxReaderTest, ReportsProgressAndStopsWhenAsked)
{
    std::vector<std::vector<SheetCell>> rows = {{textCell("user_name"), textCell("user_number")}};
    for (int i = 0; i < 10000; ++i)
        rows.push_back({textCell("n" + std::to_string(i)), numberCell(13800000000.0 + i)});
    ASSERT_TRUE(writeWorkbook(path("big.xlsx"), rows));
    const std::string bytes = fileBytes(path("big.xlsx"));
    std::vector<Record> records;
    importer::Problem problem;
    std::vector<importer::Progress> seen;
    ASSERT_TRUE(importer::readXlsx(bytes, records, problem, [&](const importer::Progress& p) {
        seen.push_back(p);
        return true;
    }));
    EXPECT_EQ(records.size(), rows.size());
    ASSERT_EQ(seen.size(), 2u);  // every 4096 rows
    EXPECT_GT(seen[1].done, seen[0].done);
    EXPECT_LE(seen[1].done, seen[1].total);
    EXPECT_FALSE(importer::readXlsx(bytes, records, problem, [](const importer::Progress&) { return false; }));
    EXPECT_NE(problem.message.find("stopped"), std::string::npos);
}

}  // namespace

namespace {

std::string times(const std::string& text, std::size_t count)
{
    std::string out;
    out.reserve(text.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        out += text;
    return out;
}

// Small files made to exhaust memory or time: each is refused by its own
// limit, with a message that quotes no more than a value's start.
TEST_F(XlsxReaderTest, RefusesWorkbooksMadeToExhaustTheMachine)
{
    const std::string header = "<row r=\"1\"><c t=\"inlineStr\"><is><t>user_name</t></is></c>"
                               "<c t=\"inlineStr\"><is><t>user_number</t></is></c>"
                               "<c t=\"inlineStr\"><is><t>note</t></is></c></row>";
    // Rows 2, 3 ..., the name and note cells given, the number the row's.
    const auto rows = [&](const std::string& name, const std::string& note, int count = 1000) {
        std::string out = header;
        for (int r = 2; r <= count + 1; ++r)
            out += "<row r=\"" + std::to_string(r) + "\">" + name + "<c><v>" + std::to_string(r) + "</v></c>" + note +
                   "</row>";
        return out;
    };
    const std::string sharedCell = "<c t=\"s\"><v>0</v></c>";
    const std::string noCell = "<c t=\"inlineStr\"><is><t>n</t></is></c>";
    struct Case {
        const char* label;
        std::string sheet;
        std::string strings;
        const char* messagePart;
    };
    const Case cases[] = {
        {"a thousand names point at one string of a million characters", rows(sharedCell, ""),
         "<si><t>" + std::string(1 << 20, 'A') + "</t></si>", "longer than 32767 characters"},
        {"the same string in a column nobody reads", rows(noCell, sharedCell),
         "<si><t>" + std::string(1 << 20, 'A') + "</t></si>", "longer than 32767 characters"},
        {"cells that refer their way to far more text than the file holds", rows(noCell, sharedCell, 3000),
         "<si><t>" + std::string(30000, 'A') + "</t></si>", "far more text than its size can hold"},
        {"a million empty shared strings", header, times("<si/>", 1000000), "more shared strings than its size"},
        {"elements nested without end", times("<a>", 100000), "", "nested more than 64 deep"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(writeZip(path("bomb.xlsx"), workbookParts(c.sheet, c.strings)));
        EXPECT_LT(fileBytes(path("bomb.xlsx")).size(), 200000u) << "a small file";
        std::vector<Record> records;
        importer::Problem problem;
        EXPECT_FALSE(read(path("bomb.xlsx"), records, problem));
        EXPECT_TRUE(records.empty());
        EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
        EXPECT_LT(problem.message.size(), 300u) << problem.message;
    }
    // A note a thousand characters long in every row is a list, not an attack.
    ASSERT_TRUE(writeZip(path("notes.xlsx"), workbookParts(rows(noCell, sharedCell),
                                                            "<si><t>" + std::string(1000, 'A') + "</t></si>")));
    std::vector<Record> records;
    importer::Problem problem;
    ASSERT_TRUE(read(path("notes.xlsx"), records, problem)) << problem.message;
    EXPECT_EQ(records.size(), 1001u);
}

}  // namespace
