// Reading a table of an Access database through mdbtools. The genuine
// sample is optional: the tests that need it are named AccessSample* and
// run as their own ctest entry, which shows as skipped without it.

#include <gtest/gtest.h>

#include "platform/language/language.h"
#include "import/mdb_reader.h"
#include "import/participant_import.h"
#include "tests/store/store_test_support.h"
#include "tests/support/access_sample.h"
#include "tests/support/workbooks.h"

namespace {

using importer::Record;
using Fields = std::vector<std::string>;

const bool kEnglish = (lang::setUiLanguage(lang::Language::English), true);

importer::AccessTable dateTestRequest(const std::string& name = "ShortTextCol")
{
    importer::AccessTable request;
    request.table = "datetest";  // names match without regard to case
    request.columns.name = name;
    request.columns.number = "IDCol";
    return request;
}

TEST(AccessSample, ReadsATableThroughTheColumnOptions)
{
    const std::string sample = testsupport::accessSamplePath();
    if (sample.empty())
        GTEST_SKIP() << testsupport::accessSampleMissingReason();
    const std::string bytes = testsupport::fileBytes(sample);
    EXPECT_EQ(importer::detectFormat(bytes), importer::FileFormat::Access);
    std::vector<Record> records;
    importer::Problem problem;
    ASSERT_TRUE(importer::readMdb(bytes, dateTestRequest(), records, problem)) << problem.message;
    ASSERT_EQ(records.size(), 7u);
    EXPECT_EQ(records[0].fields, (Fields{"ShortTextCol", "IDCol"}));  // the table has no isluck
    EXPECT_EQ(records[1].line, 1u);
    EXPECT_EQ(records[1].fields, (Fields{"Hello", "1"}));
    EXPECT_EQ(records[2].fields, (Fields{"Year 1999", "2"}));
    EXPECT_EQ(records[6].line, 6u);
    EXPECT_EQ(records[6].fields, (Fields{"No new line", "6"}));
    // The memo column's sixth value holds a line break, which the checks refuse later.
    ASSERT_TRUE(importer::readMdb(bytes, dateTestRequest("LongTextCol"), records, problem)) << problem.message;
    EXPECT_EQ(records[6].fields, (Fields{"New line\r\nin field", "6"}));
}

TEST(AccessSample, NamesTheTablesAndColumnsThereAre)
{
    const std::string sample = testsupport::accessSamplePath();
    if (sample.empty())
        GTEST_SKIP() << testsupport::accessSampleMissingReason();
    const std::string bytes = testsupport::fileBytes(sample);
    struct Case {
        importer::AccessTable request;
        const char* messagePart;
    };
    importer::AccessTable noColumn = dateTestRequest("Surname");
    const Case cases[] = {
        {importer::AccessTable(), "no table sheet (its tables: DateTest)"},
        {noColumn, "no column Surname (its columns: IDCol, DateTimeCol, DateCol, TimeCol, LongTextCol, ShortTextCol)"},
    };
    for (const Case& c : cases) {
        std::vector<Record> records;
        importer::Problem problem;
        EXPECT_FALSE(importer::readMdb(bytes, c.request, records, problem));
        EXPECT_EQ(problem.line, 0u);
        EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
    }
}

TEST(ReadMdb, RefusesWhatIsNoReadableAccessFile)
{
    storetest::TempDir dir;
    testsupport::writeAccessHeader(dir.file("header.mdb"));
    for (const std::string& bytes : {std::string("user_name,user_number\n"), testsupport::fileBytes(dir.file("header.mdb"))}) {
        std::vector<Record> records;
        importer::Problem problem;
        EXPECT_FALSE(importer::readMdb(bytes, {}, records, problem));
        EXPECT_FALSE(problem.message.empty());
    }
}

}  // namespace
