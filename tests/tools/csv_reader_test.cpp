// CSV splitting, participant rows, text decoding and the demo data.

#include <set>

#include <gtest/gtest.h>

#include "tools/csv_reader.h"
#include "tools/demo_participants.h"
#include "tools/text_encoding.h"

namespace {

using dbtool::CsvRecord;

TEST(ParseCsv, SplitsRecordsAndQuotedFields)
{
    struct Case {
        const char* label;
        std::string text;
        std::vector<CsvRecord> expected;
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
        std::vector<CsvRecord> records;
        dbtool::CsvProblem problem;
        ASSERT_TRUE(dbtool::parseCsv(c.text, records, problem)) << c.label << ": " << problem.message;
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
        std::vector<CsvRecord> records;
        dbtool::CsvProblem problem;
        EXPECT_FALSE(dbtool::parseCsv(c.text, records, problem)) << c.text;
        EXPECT_EQ(problem.line, c.line) << c.text;
        EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
    }
}

std::vector<CsvRecord> recordsOf(const std::string& text)
{
    std::vector<CsvRecord> records;
    dbtool::CsvProblem problem;
    EXPECT_TRUE(dbtool::parseCsv(text, records, problem)) << problem.message;
    return records;
}

TEST(ReadParticipants, TakesColumnsByHeaderName)
{
    std::vector<dbtool::ImportRow> rows;
    std::vector<dbtool::CsvProblem> problems;
    dbtool::readParticipants(recordsOf("Note, ISLUCK ,User_Number,user_name\nx,是,1, 张三 \ny,,2,李四\n,,,\n , ,\"\", \n"), rows,
                             problems);
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
    };
    for (const Case& c : cases) {
        std::vector<dbtool::ImportRow> rows;
        std::vector<dbtool::CsvProblem> problems;
        dbtool::readParticipants(recordsOf(c.text), rows, problems);
        ASSERT_EQ(problems.size(), c.problems.size()) << c.text;
        for (std::size_t i = 0; i < problems.size(); ++i) {
            EXPECT_EQ(problems[i].line, c.problems[i].first) << c.text;
            EXPECT_NE(problems[i].message.find(c.problems[i].second), std::string::npos) << problems[i].message;
        }
    }
}

TEST(DecodeText, FindsUtf8OrConvertsGb18030)
{
    struct Case {
        const char* label;
        std::string bytes;
        bool ok;
        dbtool::TextEncoding encoding;
        std::string text;  // UTF-8 result, or part of the error
        std::size_t errorLine;
    };
    using E = dbtool::TextEncoding;
    const Case cases[] = {
        {"ASCII", "a,b\n", true, E::Utf8, "a,b\n", 0},
        {"UTF-8", "张三\n", true, E::Utf8, "张三\n", 0},
        {"UTF-8 with mark", "\xEF\xBB\xBF张三", true, E::Utf8WithBom, "张三", 0},
        // 张三 D5C5 C8FD, 是 CAC7, 否 B7F1, and U+20000 as the four bytes 95 32 82 36
        {"GB18030", "\xD5\xC5\xC8\xFD,\xCA\xC7,\xB7\xF1,\x95\x32\x82\x36", true, E::Gb18030, "张三,是,否,𠀀", 0},
        {"UTF-16", "\xFF\xFEu\0", false, E::Utf8, "UTF-16", 1},
        {"mark then bad bytes", "\xEF\xBB\xBF" "a\nb\xC0\x80\n", false, E::Utf8WithBom, "not UTF-8", 2},
        {"neither", "a\nb\n\xFF\xFF", false, E::Gb18030, "neither UTF-8 nor GB18030", 3},
        {"cut inside a character", "ok\n\xD5", false, E::Gb18030, "ends inside", 2},
    };
    for (const Case& c : cases) {
        const dbtool::DecodedText decoded = dbtool::decodeText(c.bytes);
        ASSERT_EQ(decoded.ok, c.ok) << c.label << ": " << decoded.error;
        EXPECT_EQ(decoded.encoding, c.encoding) << c.label;
        if (c.ok) {
            EXPECT_EQ(decoded.text, c.text) << c.label;
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
        EXPECT_EQ(dbtool::isValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

TEST(DemoParticipants, AreRepeatableWithDistinctPhoneLikeNumbers)
{
    const auto first = dbtool::makeDemoParticipants(20000);
    const auto again = dbtool::makeDemoParticipants(20000);
    std::set<std::string> numbers;
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].name, again[i].name);
        EXPECT_EQ(first[i].number, again[i].number);
        ASSERT_EQ(first[i].number.size(), 11u);
        EXPECT_EQ(first[i].number[0], '1');
        EXPECT_EQ(first[i].number.find_first_not_of("0123456789"), std::string::npos);
        // two or three Chinese characters, three UTF-8 bytes each
        EXPECT_TRUE(first[i].name.size() == 6 || first[i].name.size() == 9) << first[i].name;
        EXPECT_TRUE(dbtool::isValidUtf8(first[i].name));
        numbers.insert(first[i].number.substr(3));
    }
    EXPECT_EQ(numbers.size(), first.size());
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
        const dbtool::DecodedText decoded = dbtool::decodeText(bytes);
        if (!decoded.ok)
            continue;
        ASSERT_TRUE(dbtool::isValidUtf8(decoded.text));
        std::vector<CsvRecord> records;
        dbtool::CsvProblem problem;
        if (!dbtool::parseCsv(decoded.text, records, problem)) {
            EXPECT_GE(problem.line, 1u);
            continue;
        }
        std::vector<dbtool::ImportRow> rows;
        std::vector<dbtool::CsvProblem> problems;
        dbtool::readParticipants(records, rows, problems);
        for (const dbtool::ImportRow& row : rows) {
            EXPECT_FALSE(row.number.empty());
            EXPECT_TRUE(row.isluck == "是" || row.isluck == "否");
        }
    }
}

}  // namespace
