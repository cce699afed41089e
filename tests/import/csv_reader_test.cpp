// CSV splitting, participant rows, text decoding and the demo data.

#include <gtest/gtest.h>

#include "platform/language/language.h"
#include "import/csv_reader.h"
#include "import/participant_rows.h"
#include "import/text_encoding.h"
#include "store/utf8.h"

namespace {

using namespace std::string_literals;

// The messages checked below are the English ones.
const bool kEnglish = (lang::setUiLanguage(lang::Language::English), true);

using importer::Record;

TEST(ParseCsv, SplitsRecordsAndQuotedFields)
{
    struct Case {
        const char* label;
        std::string text;
        std::vector<Record> expected;
    };
    const Case cases[] = {
        {"plain LF", "a,b\n1,2\n", {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        {"CRLF, no final break", "a,b\r\n1,2", {{1, {"a", "b"}}, {2, {"1", "2"}}}},
        {"CR only", "a\r1\r", {{1, {"a"}}, {2, {"1"}}}},
        {"empty lines skipped", "\na\n\n\r\nb\n", {{2, {"a"}}, {5, {"b"}}}},
        {"empty fields", ",x,\n", {{1, {"", "x", ""}}}},
        {"quoted comma and quote", "\"a,b\",\"say \"\"hi\"\"\"\n", {{1, {"a,b", "say \"hi\""}}}},
        {"quoted empty field is a record", "\"\"\nz\n", {{1, {""}}, {2, {"z"}}}},
        {"line breaks inside quotes count", "\"x\ny\r\nz\",1\n2,3\n", {{1, {"x\ny\r\nz", "1"}}, {4, {"2", "3"}}}},
        {"spaces kept", " a , b \n", {{1, {" a ", " b "}}}},
        {"UTF-8 passes through", "张三,138\n", {{1, {"张三", "138"}}}},
    };
    for (const Case& c : cases) {
        std::vector<Record> records;
        importer::Problem problem;
        ASSERT_TRUE(importer::parseCsv(c.text, records, problem)) << c.label << ": " << problem.message;
        ASSERT_EQ(records.size(), c.expected.size()) << c.label;
        for (std::size_t i = 0; i < records.size(); ++i) {
            EXPECT_EQ(records[i].line, c.expected[i].line) << c.label << ", record " << i;
            EXPECT_EQ(records[i].fields, c.expected[i].fields) << c.label << ", record " << i;
        }
    }
}

TEST(ParseCsv, StopsAtBrokenQuotingWithItsLine)
{
    struct Case {
        std::string text;
        std::size_t line;
        const char* messagePart;
    };
    const Case cases[] = {
        {"a,b\n1,\"open\n2,3\n", 2, "not closed"},
        {"a,b\n\"x\"y,1\n", 2, "after the closing quote"},
        {"a,b\nx\"y,1\n", 2, "quote inside"},
        {"a\n\"one\ntwo\"x\n", 3, "after the closing quote"},
    };
    for (const Case& c : cases) {
        std::vector<Record> records;
        importer::Problem problem;
        EXPECT_FALSE(importer::parseCsv(c.text, records, problem)) << c.text;
        EXPECT_EQ(problem.line, c.line) << c.text;
        EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
    }
}

std::vector<Record> recordsOf(const std::string& text)
{
    std::vector<Record> records;
    importer::Problem problem;
    EXPECT_TRUE(importer::parseCsv(text, records, problem)) << problem.message;
    return records;
}

// What readParticipants() makes of records.
struct Checked {
    std::vector<importer::ImportRow> rows;
    std::vector<importer::Problem> problems;  // the kept ones
    std::size_t problemCount = 0;
    std::vector<importer::ColumnUse> columns;
};

Checked check(std::vector<Record> records, const importer::ColumnNames& names = {},
              importer::RowWidth width = importer::RowWidth::AsHeader)
{
    importer::ParticipantList list;
    importer::ProblemList problems;
    importer::readParticipants(std::move(records), names, list, problems, width);
    return {std::move(list.rows), problems.kept(), problems.size(), std::move(list.columns)};
}

TEST(ReadParticipants, TakesColumnsByHeaderName)
{
    const auto [rows, problems, count, columns] =
        check(recordsOf("Note, ISLUCK ,User_Number,user_name\nx,是,1, 张三 \ny,,2,李四\n,,,\n , ,\"\", \n"));
    ASSERT_TRUE(problems.empty()) << problems[0].message;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "张三");
    EXPECT_EQ(rows[0].number, "1");
    EXPECT_EQ(rows[0].isluck, "是");
    EXPECT_EQ(rows[1].line, 3u);
    EXPECT_EQ(rows[1].isluck, "否");  // empty means not won
}

TEST(ReadParticipants, ReportsEveryBadRowByLine)
{
    struct Case {
        std::string text;
        std::vector<std::pair<std::size_t, const char*>> problems;  // line, part of the message
    };
    const Case cases[] = {
        {"", {{1, "no header"}}},
        {"user_name,number\na,1\n", {{1, "must name"}}},
        {"user_name,user_number,user_name\n", {{1, "twice"}}},
        {"user_name,user_number,isluck\n"
         "a,,否\n"      // 2: no number
         "b,2,yes\n"    // 3: bad flag
         "c,3\n"        // 4: short row
         "\"d\ne\",4,否\n"  // 5-6: line break in a name
         "f,5,是,x\n",  // 7: long row
         {{2, "user_number is empty"}, {3, "isluck must be"}, {4, "2 fields"}, {5, "line break"}, {7, "4 fields"}}},
        {"user_name,user_number\nx,  \n", {{2, "user_number is empty"}}},
        {"user_name,user_number\n ,1\n\"\",2\n", {{2, "user_name is empty"}, {3, "user_name is empty"}}},
        {"user_name,user_number\n"
         "a,1.38665E+10\n"  // 2
         "b,1E+10\n"        // 3
         "c,\"1,5e-3\"\n"    // 4: a decimal comma
         "d,-2.5E+07\n"     // 5
         "e,3E5\n"          // a code, not a spreadsheet's number
         "f,A1.5E+10\n",    // nor this
         {{2, "scientific notation"}, {3, "scientific"}, {4, "scientific"}, {5, "scientific"}}},
        {"user_name,user_number\n"
         "a,100\n"    // 2
         "b,200\n"    // 3
         "a,100\n"    // 4: the same row again
         "c,\n"       // 5: bad in its own way, listed in line order
         "d, 200 \n"  // 6: the same number once trimmed
         "e,100\n",   // 7
         {{4, "100 appears again; it is already on line 2"}, {5, "empty"}, {6, "already on line 3"}, {7, "line 2"}}},
        {"user_name,user_number\n#N/A,1\nb,#REF!\nc,#NA\n", {{2, "spreadsheet error #N/A"}, {3, "#REF!"}}},
    };
    for (const Case& c : cases) {
        const auto [rows, problems, count, columns] = check(recordsOf(c.text));
        ASSERT_EQ(problems.size(), c.problems.size()) << c.text;
        EXPECT_EQ(count, c.problems.size()) << c.text;
        for (std::size_t i = 0; i < problems.size(); ++i) {
            EXPECT_EQ(problems[i].line, c.problems[i].first) << c.text;
            EXPECT_NE(problems[i].message.find(c.problems[i].second), std::string::npos) << problems[i].message;
        }
    }
}

// Organisers' own headers, and which of several a role takes.
TEST(ReadParticipants, KnowsTheHeadersOrganisersUse)
{
    struct Case {
        const char* text;
        std::vector<std::string> row;  // name, number, isluck, group
        const char* shown;             // describeColumns()
    };
    const Case cases[] = {
        {"姓名,工号,部门,是否中奖\n张三,E01,销售部,是", {"张三", "E01", "是", "销售部"},
         "姓名 → user_name, 工号 → user_number, 是否中奖 → isluck, 部门 → group"},
        // the first present of 工号, 编号, 手机号, 手机, 号码; the others are ignored like any column
        {"号码,手机,姓名,手机号,编号\nn1,m1,张三,p1,b1", {"张三", "b1", "否", ""}, "姓名 → user_name, 编号 → user_number"},
        {"手机,姓名,号码\nm1,张三,n1", {"张三", "m1", "否", ""}, "姓名 → user_name, 手机 → user_number"},
        {"分组,部门,姓名,号码\ng1,d1,张三,n1", {"张三", "n1", "否", "d1"},
         "姓名 → user_name, 号码 → user_number, 部门 → group"},
        // the program's own names come first and are not shown
        {"user_name,姓名,user_number,group\na,b,1,g", {"a", "1", "否", "g"}, ""},
        {" GROUP ,User_Name,工号\ng,a,E1", {"a", "E1", "否", "g"}, "工号 → user_number"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Checked checked = check(recordsOf(c.text));
        ASSERT_TRUE(checked.problems.empty()) << checked.problems[0].message;
        ASSERT_EQ(checked.rows.size(), 1u);
        const importer::ImportRow& row = checked.rows[0];
        EXPECT_EQ((std::vector<std::string>{row.name, row.number, row.isluck, row.group}), c.row);
        EXPECT_EQ(importer::describeColumns(checked.columns), c.shown);
    }
}

// A list with a problem on every line costs what a list with a few does,
// and every message quotes at most the start of a value.
TEST(ReadParticipants, KeepsAHandfulOfProblemsAndQuotesShortly)
{
    // Row i on line i + 2: numbers repeat from row 2500 on; the last ten
    // rows have a bad isluck, found first, but the repeats come earlier.
    std::string text = "user_name,user_number,isluck\n";
    for (int i = 0; i < 5000; ++i)
        text += "n" + std::to_string(i) + "," + std::to_string(i % 2500) + (i >= 4990 ? ",maybe\n" : ",\n");
    const Checked checked = check(recordsOf(text));
    EXPECT_EQ(checked.problemCount, 10u + 2490u);
    ASSERT_EQ(checked.problems.size(), importer::ProblemList::kKept);
    for (std::size_t i = 0; i < checked.problems.size(); ++i) {
        EXPECT_EQ(checked.problems[i].line, 2502 + i);
        EXPECT_NE(checked.problems[i].message.find("appears again"), std::string::npos);
    }

    const std::string longName(importer::kMaxValueChars + 1, 'x');
    const std::string longChinese = [] {
        std::string s;
        for (std::size_t i = 0; i < importer::kMaxValueChars; ++i)
            s += "张";
        return s;
    }();
    const Checked limits = check(recordsOf("user_name,user_number,isluck,group\n" + longName + ",1,,\n" + longChinese +
                                           ",2,,\nb,3," + std::string(200, 'C') + ",\nc,4,,\"a\nb\"\nd,5,," +
                                           longName + "\n"));
    ASSERT_EQ(limits.problems.size(), 4u) << "255 Chinese characters are no problem";
    const std::vector<std::pair<std::size_t, std::string>> expected = {
        {2, "user_name is longer than 255 characters ('" + std::string(60, 'x') + "…')"},
        {4, "isluck must be 是 or 否, not '" + std::string(60, 'C') + "…'"},
        {5, "the group holds a line break"},
        {7, "group is longer than 255 characters"}};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(limits.problems[i].line, expected[i].first);
        EXPECT_NE(limits.problems[i].message.find(expected[i].second), std::string::npos) << limits.problems[i].message;
    }
}

TEST(ParseCsv, RefusesAFieldNoCellCouldHold)
{
    for (const bool quoted : {false, true}) {
        const std::string field(importer::kMaxFieldChars + 1, 'B');
        const std::string text = "user_name,user_number\na,1\n" + (quoted ? "\"" + field + "\"" : field) + ",2\n";
        std::vector<Record> records;
        importer::Problem problem;
        EXPECT_FALSE(importer::parseCsv(text, records, problem));
        EXPECT_EQ(problem.line, 3u);
        EXPECT_NE(problem.message.find("('" + std::string(60, 'B') + "…')"), std::string::npos) << problem.message;
        EXPECT_LT(problem.message.size(), 200u);
    }
    std::vector<Record> records;
    importer::Problem problem;
    EXPECT_TRUE(importer::parseCsv("a\n" + std::string(importer::kMaxFieldChars, 'B') + "\n", records, problem));
}

TEST(ReadParticipants, TakesAnAccessTablesOwnColumns)
{
    importer::ColumnNames names;
    names.name = {"ShortTextCol"};
    names.number = {"IDCol"};
    const Checked access = check(recordsOf("idcol,SHORTTEXTCOL,isluck\n7,Hello,是\n"), names);
    ASSERT_TRUE(access.problems.empty()) << access.problems[0].message;
    ASSERT_EQ(access.rows.size(), 1u);
    EXPECT_EQ(access.rows[0].name, "Hello");
    EXPECT_EQ(access.rows[0].number, "7");
    EXPECT_EQ(access.rows[0].isluck, "是");
    const Checked other = check(recordsOf("user_name,user_number\na,1\n"), names);
    ASSERT_EQ(other.problems.size(), 1u);
    EXPECT_NE(other.problems[0].message.find("ShortTextCol and IDCol"), std::string::npos) << other.problems[0].message;
}

TEST(ReadParticipants, PadsTheShortRowsOfASheet)
{
    const std::vector<Record> records = {{1, {"user_name", "note", "user_number", "isluck"}},
                                         {2, {"a", "", "1"}},
                                         {3, {"b"}},
                                         {4, {"c", "", "3", "是", "x"}}};
    const auto [rows, problems, count, columns] = check(records, {}, importer::RowWidth::UpToHeader);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].number, "1");
    EXPECT_EQ(rows[0].isluck, "否");
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].line, 3u);
    EXPECT_NE(problems[0].message.find("user_number is empty"), std::string::npos);
    EXPECT_NE(problems[1].message.find("5 fields, the header has 4"), std::string::npos);
    EXPECT_EQ(check(records).problems.size(), 3u) << "a CSV line must have every field";
}

TEST(SpreadsheetNumbers, AreRecognisedAndWrittenAsDigits)
{
    struct Case {
        const char* text;
        bool scientific;
        const char* plain;  // plainNumberText
    };
    const Case cases[] = {
        {"1.38665E+10", true, "13866500000"},
        {"1.3866512345E+10", true, "13866512345"},
        {"1e+20", true, "1e+20"},         // beyond exact digits: kept, and refused as scientific
        {"-4.2E-03", true, "-4.2E-03"},
        {"1,5E+3", true, "1,5E+3"},
        {"13866512345", false, "13866512345"},
        {"42.0", false, "42"},
        {"42.5", false, "42.5"},
        {"3E5", false, "300000"},       // a code typed as text stays; a numeric cell's value is digits
        {"E+5", false, "E+5"},
        {"1.E+5", false, "100000"},
        {"1.5E+", false, "1.5E+"},
        {"0012", false, "12"},
        {"999999999999999", false, "999999999999999"},
        {"1000000000000000", false, "1000000000000000"},
        {"abc", false, "abc"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(importer::looksLikeScientificNumber(c.text), c.scientific) << c.text;
        EXPECT_EQ(importer::plainNumberText(c.text), c.plain) << c.text;
    }
}

TEST(ReadCsv, TakesTabsWhenTheHeaderHasNoComma)
{
    struct Case {
        std::string bytes;
        std::vector<std::string> secondRecord;
    };
    const Case cases[] = {
        {"user_name\tuser_number\na,b\t1\n", {"a,b", "1"}},
        {"user_name,user_number\n\"a\tb\",1\n", {"a\tb", "1"}},
        {"\xFF\xFE" "n\0\t\0n\0\r\0\n\0\x20\x5F\t\0" "1\0"s, {"张", "1"}},  // a spreadsheet's Unicode text
    };
    for (const Case& c : cases) {
        std::vector<Record> records;
        importer::Problem problem;
        ASSERT_TRUE(importer::readCsv(c.bytes, records, problem)) << problem.message;
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[1].fields, c.secondRecord);
    }
}

TEST(DecodeText, FindsUtf8OrConvertsGb18030)
{
    struct Case {
        const char* label;
        std::string bytes;
        bool ok;
        importer::TextEncoding encoding;
        std::string text;  // UTF-8 result, or part of the error
        std::size_t errorLine;
    };
    using E = importer::TextEncoding;
    const Case cases[] = {
        {"ASCII", "a,b\n", true, E::Utf8, "a,b\n", 0},
        {"UTF-8", "张三\n", true, E::Utf8, "张三\n", 0},
        {"UTF-8 with mark", "\xEF\xBB\xBF张三", true, E::Utf8WithBom, "张三", 0},
        // 张三 D5C5 C8FD, 是 CAC7, 否 B7F1, and U+20000 as the four bytes 95 32 82 36
        {"GB18030", "\xD5\xC5\xC8\xFD,\xCA\xC7,\xB7\xF1,\x95\x32\x82\x36", true, E::Gb18030, "张三,是,否,𠀀", 0},
        // 张 U+5F20; 𠀀 U+20000 is the surrogate pair D840 DC00
        {"UTF-16LE with mark", "\xFF\xFE" "a\0,\0\x20\x5F\n\0\x40\xD8\x00\xDC"s, true, E::Utf16WithBom, "a,张\n𠀀", 0},
        {"UTF-16BE with mark", "\xFE\xFF" "\0a\0\t\x5F\x20"s, true, E::Utf16WithBom, "a\t张", 0},
        {"UTF-16 lone surrogate", "\xFF\xFE" "a\0\n\0\x00\xDC"s, false, E::Utf16WithBom, "not valid UTF-16", 2},
        {"UTF-16 high surrogate at the end", "\xFF\xFE" "a\0\x40\xD8"s, false, E::Utf16WithBom, "not valid UTF-16", 1},
        {"UTF-16 odd length", "\xFF\xFE" "a\0b"s, false, E::Utf16WithBom, "not valid UTF-16", 1},
        {"UTF-16LE without mark", "u\0s\0e\0r\0,\0\x20\x5F\n\0"s, false, E::Utf8, "without a byte-order mark", 1},
        {"UTF-16BE without mark", "\0u\0s\0e\0r"s, false, E::Utf8, "without a byte-order mark", 1},
        {"NUL bytes", "a,b\n\0\0x,\0y\n"s, false, E::Utf8, "NUL bytes", 2},
        // Latin-1 ü FC, É C9, é E9, Ö D6: valid GB18030 byte pairs, but no Chinese text
        {"Latin-1 Müller", "user_name\nM\xFCller\n", false, E::Gb18030, "neither UTF-8 nor GB18030", 2},
        {"Latin-1 at a word's start", "a\n\xC9lodie,1\n", false, E::Gb18030, "neither UTF-8 nor GB18030", 2},
        {"Latin-1 beside Chinese", "\xD5\xC5\xC8\xFD,1\nRen\xE9\x65,2\n", false, E::Gb18030, "Latin-1", 2},
        // Élodie in Latin-1 after 张三: C9 6C reads as 蒷, which starts a word glued to "odie"; only the
        // word-start rule tells, since the text has common characters
        {"Latin-1 at a word's start beside Chinese", "\xD5\xC5\xC8\xFD,1\n\xC9lodie,2\n", false, E::Gb18030,
         "Latin-1", 2},
        // the same name written in GB18030 itself: É is the four bytes 81 30 87 37
        {"GB18030 Élodie beside Chinese", "\xD5\xC5\xC8\xFD,1\n\x81\x30\x87\x37lodie,2\n", true, E::Gb18030,
         "张三,1\nÉlodie,2\n", 0},
        {"no common character at all", "x\n\xD6z,1\n", false, E::Gb18030, "Latin-1", 2},
        // rare name characters whose second byte is a Latin letter: 李玥 C0EE AB68, 王赟 CDF5 DA53, 玥 alone
        {"GB18030 rare characters", "\xC0\xEE\xAB\x68,1\n\xCD\xF5\xDA\x53,2\n\xAB\x68,3\n", true, E::Gb18030,
         "李玥,1\n王赟,2\n玥,3\n", 0},
        {"mark then bad bytes", "\xEF\xBB\xBF" "a\nb\xC0\x80\n", false, E::Utf8WithBom, "not UTF-8", 2},
        {"neither", "a\nb\n\xFF\xFF", false, E::Gb18030, "neither UTF-8 nor GB18030", 3},
        {"cut inside a character", "ok\n\xD5", false, E::Gb18030, "ends inside", 2},
    };
    for (const Case& c : cases) {
        const importer::DecodedText decoded = importer::decodeText(c.bytes);
        ASSERT_EQ(decoded.ok, c.ok) << c.label << ": " << decoded.error;
        EXPECT_EQ(decoded.encoding, c.encoding) << c.label;
        if (c.ok) {
            EXPECT_EQ(decoded.text(), c.text) << c.label;
        } else {
            EXPECT_NE(decoded.error.find(c.text), std::string::npos) << c.label << ": " << decoded.error;
            EXPECT_EQ(decoded.errorLine, c.errorLine) << c.label;
        }
    }
}

TEST(DecodeText, ValidatesUtf8Strictly)
{
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"\x7F", true},
        {"\xC2\x80", true},              // U+0080, smallest two-byte
        {"\xC1\xBF", false},             // overlong
        {"\xE0\x9F\xBF", false},         // overlong three-byte
        {"\xED\x9F\xBF", true},          // U+D7FF
        {"\xED\xA0\x80", false},         // surrogate U+D800
        {"\xF4\x8F\xBF\xBF", true},      // U+10FFFF
        {"\xF4\x90\x80\x80", false},     // above U+10FFFF
        {"\xE4\xB8", false},             // cut short
        {"\x80", false},                 // lone continuation
        {"\xE4\xB8\x41", false},         // bad continuation
    };
    for (const Case& c : cases)
        EXPECT_EQ(store::IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

}  // namespace

namespace {

// Arbitrary bytes, weighted towards the characters that steer the parser.
TEST(ImportPipeline, SurvivesArbitraryBytes)
{
    const std::string alphabet = std::string(",\"\r\n a\xEF\xBB\xBF\xD5\xC5\xFF\xE4\xB8") + std::string(1, '\0');
    std::uint64_t state = 12345;
    const auto next = [&] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return std::size_t(state >> 33);
    };
    for (int round = 0; round < 3000; ++round) {
        std::string bytes = round % 2 ? "user_name,user_number,isluck\n" : "";
        const std::size_t length = next() % 64;
        for (std::size_t i = 0; i < length; ++i)
            bytes += next() % 4 == 0 ? char(next() & 0xFF) : alphabet[next() % alphabet.size()];
        const importer::DecodedText decoded = importer::decodeText(bytes);
        if (!decoded.ok)
            continue;
        ASSERT_TRUE(store::IsValidUtf8(decoded.text()));
        std::vector<Record> records;
        importer::Problem problem;
        if (!importer::parseCsv(decoded.text(), records, problem)) {
            EXPECT_GE(problem.line, 1u);
            continue;
        }
        for (const importer::ImportRow& row : check(records).rows) {
            EXPECT_FALSE(row.number.empty());
            EXPECT_TRUE(row.isluck == "是" || row.isluck == "否");
        }
    }
}

}  // namespace
