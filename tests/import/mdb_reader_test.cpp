// Reading a table of an Access database through mdbtools. The genuine
// sample is optional: the tests that need it are named AccessSample* and
// run as their own ctest entry, which shows as skipped without it.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>

#include "platform/language/language.h"
#include "import/access_child.h"
#include "import/mdb_reader.h"
#include "import/participant_import.h"
#include "tests/store/store_test_support.h"
#include "tests/support/access_sample.h"
#include "tests/support/workbooks.h"

namespace {

using importer::Record;
using Fields = std::vector<std::string>;

const bool kEnglish = (lang::setUiLanguage(lang::Language::English), true);
// The child is this build's sortia-db unless a test names another.
const bool kChild = (importer::setAccessChild(SORTIA_DIST_DIR "/sortia-db"), true);

importer::AccessTable dateTestRequest(const std::string& name = "ShortTextCol")
{
    importer::AccessTable request;
    request.table = "datetest";  // names match without regard to case
    request.columns.name = {name};
    request.columns.number = {"IDCol"};
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
        // The child reports the same refusal.
        EXPECT_FALSE(importer::readMdbIsolated(bytes, c.request, records, problem));
        EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
    }
}

TEST(AccessSample, ReadsTheSameInAChildProcess)
{
    const std::string sample = testsupport::accessSamplePath();
    if (sample.empty())
        GTEST_SKIP() << testsupport::accessSampleMissingReason();
    const std::string bytes = testsupport::fileBytes(sample);
    std::vector<Record> here, there;
    importer::Problem problem;
    ASSERT_TRUE(importer::readMdb(bytes, dateTestRequest(), here, problem)) << problem.message;
    ASSERT_TRUE(importer::readMdbIsolated(bytes, dateTestRequest(), there, problem)) << problem.message;
    ASSERT_EQ(there.size(), here.size());
    for (std::size_t i = 0; i < here.size(); ++i) {
        EXPECT_EQ(there[i].line, here[i].line);
        EXPECT_EQ(there[i].fields, here[i].fields);
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
        EXPECT_FALSE(importer::readMdbIsolated(bytes, {}, records, problem));
        EXPECT_NE(problem.message.find("not an Access database that can be read"), std::string::npos)
            << problem.message;
    }
}

// Whatever ends the reader early is a refusal that says why, and this
// process goes on: a crash, a reader that never ends, one that writes
// nonsense, one that cannot be started, and an operator who stops waiting.
TEST(ReadMdbIsolated, SurvivesAReaderThatFails)
{
    storetest::TempDir dir;
    struct Case {
        const char* label;
        std::string script;  // the child, as a shell script ("" for one that does not exist)
        bool stop;           // progress asks to stop
        const char* messagePart;
    };
    const Case cases[] = {
        {"crash", "kill -SEGV $$", false, "its reader stopped on it (SIGSEGV)"},
        {"abort", "kill -ABRT $$", false, "(SIGABRT)"},
        {"never ends", "exec sleep 60", false, "took longer than 1 seconds"},
        {"nonsense", "printf 'Zzzzz'", false, "wrote what it must not"},
        {"a record wider than asked", "printf 'R\\010\\000\\000\\000\\001\\000\\000\\000\\011\\000\\000\\000'",
         false, "wrote what it must not"},
        {"silent exit", "exit 0", false, "its reader failed"},
        {"missing", "", false, "could not be started"},
        {"stopped by the operator", "exec sleep 60", true, "stopped"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string program = dir.file(std::string("reader-") + c.label);
        if (!c.script.empty()) {
            std::ofstream(program) << "#!/bin/sh\n" << c.script << "\n";
            chmod(program.c_str(), 0755);
        }
        importer::AccessChildLimits limits;
        limits.wallSeconds = 1;
        importer::setAccessChild(program, limits);
        std::vector<Record> records;
        importer::Problem problem;
        EXPECT_FALSE(importer::readMdbIsolated("Standard Jet DB", {}, records, problem,
                                               [&](const importer::Progress&) { return !c.stop; }));
        EXPECT_TRUE(records.empty());
        EXPECT_NE(problem.message.find(c.messagePart), std::string::npos) << problem.message;
    }
    importer::setAccessChild(SORTIA_DIST_DIR "/sortia-db");
}

}  // namespace
