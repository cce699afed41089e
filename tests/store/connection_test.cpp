// The connection string and every refusal when opening a database.

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/language/language.h"
#include "store/connection.h"
#include "store/participants.h"
#include "tests/store/store_test_support.h"
#include "tests/support/access_sample.h"

namespace {

using storetest::TempDir;

TEST(ConnectionString, HasTheFixedTextInOrder)
{
    const std::string expected =
        "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\Prog\\Sbase.mdb;Mode=Share Deny None;"
        "Extended Properties=;Jet OLEDB:System database=;Jet OLEDB:Registry Path=;"
        "Jet OLEDB:Database Password=;Jet OLEDB:Engine Type=5;Jet OLEDB:Database Locking Mode=1;"
        "Jet OLEDB:Global Partial Bulk Ops=2;Jet OLEDB:Global Bulk Transactions=1;"
        "Jet OLEDB:New Database Password=;Jet OLEDB:Create System Database=False;"
        "Jet OLEDB:Encrypt Database=False;Jet OLEDB:Don't Copy Locale on Compact=False;"
        "Jet OLEDB:Compact Without Replica Repair=False;Jet OLEDB:SFP=False;";
    EXPECT_EQ(store::BuildConnectionString("C:\\Prog\\Sbase.mdb", ""), expected);
    EXPECT_EQ(store::BuildConnectionString("C:\\Prog\\Sbase.mdb", "X=1"), expected + "X=1");
}

TEST(ConnectionString, ParseFindsProviderAndDataSource)
{
    struct Case {
        std::string text;
        std::string provider;
        std::string dataSource;
    };
    const Case cases[] = {
        {store::BuildConnectionString("/srv/draw/Sbase.mdb", ""), "Microsoft.Jet.OLEDB.4.0", "/srv/draw/Sbase.mdb"},
        {store::BuildConnectionString("/a b/c=d.mdb", ""), "Microsoft.Jet.OLEDB.4.0", "/a b/c=d.mdb"},
        {"Data Source=x.db", "", "x.db"},
        {"Provider=P;Data Source=", "P", ""},
        {"", "", ""},
        {";;noequals;Provider=Q", "Q", ""},
    };
    for (const Case& c : cases) {
        const store::ConnectionSettings settings = store::ParseConnectionString(c.text);
        EXPECT_EQ(settings.provider, c.provider) << c.text;
        EXPECT_EQ(settings.dataSource, c.dataSource) << c.text;
    }
}

struct RefusalCase {
    const char* label;
    std::function<void(const std::string& path)> make;  // prepares the file at path
    const char* expectedText;                            // part of the error message
};

TEST(OpenDatabase, RefusesWhatItCannotUse)
{
    const RefusalCase cases[] = {
        {"missing file", [](const std::string&) {}, "Could not find file"},
        {"text file", [](const std::string& p) { std::ofstream(p) << "user_name,user_number\n"; },
         "not a database file"},
        {"empty file", [](const std::string& p) { std::ofstream{p}; }, "not a database file"},
        {"Access file", [](const std::string& p) { testsupport::writeAccessHeader(p); }, "Microsoft Access"},
        {"no sheet", [](const std::string& p) { storetest::runSql(p, "create table other (id integer);"); },
         "has no table 'sheet'"},
        {"wrong column order",
         [](const std::string& p) {
             storetest::runSql(p, "create table sheet (user_name text, id integer, user_number text, isluck text);");
         },
         "is not usable"},
        {"no isluck",
         [](const std::string& p) {
             storetest::runSql(p, "create table sheet (id integer, user_name text, user_number text, prize text);");
         },
         "is not usable"},
    };
    for (const RefusalCase& c : cases) {
        TempDir dir;
        const std::string path = dir.file("Sbase.mdb");
        c.make(path);
        const bool existedBefore = std::filesystem::exists(path);
        store::DbConnection connection;
        EXPECT_FALSE(connection.Open(store::BuildConnectionString(path, ""))) << c.label;
        EXPECT_FALSE(connection.isOpen()) << c.label;
        EXPECT_NE(connection.error().find(c.expectedText), std::string::npos) << c.label << ": " << connection.error();
        EXPECT_EQ(std::filesystem::exists(path), existedBefore) << c.label << ": opening must not create a file";
    }
}

TEST(OpenDatabase, RefusesTheGenuineAccessSample)
{
    const std::string sample = testsupport::accessSamplePath();
    if (sample.empty())
        GTEST_SKIP() << testsupport::accessSampleMissingReason();
    TempDir dir;
    const std::string path = dir.file("Sbase.mdb");
    std::filesystem::copy_file(sample, path);
    store::DbConnection connection;
    EXPECT_FALSE(connection.Open(store::BuildConnectionString(path, "")));
    EXPECT_NE(connection.error().find("Microsoft Access"), std::string::npos) << connection.error();
}

TEST(OpenDatabase, RefusesAnUnknownProvider)
{
    TempDir dir;
    const std::string path = dir.file("Sbase.mdb");
    storetest::makeSheet(path, "");
    store::DbConnection connection;
    EXPECT_FALSE(connection.Open("Provider=Other;Data Source=" + path + ";"));
    EXPECT_NE(connection.error().find("Provider cannot be found"), std::string::npos);
}

class OpenEitherKind : public storetest::BothKinds {};
SORTIA_ON_BOTH_KINDS(OpenEitherKind);

TEST_P(OpenEitherKind, OpensAGoodSheetAndCreateRefusesToOverwrite)
{
    const std::string path = m_db.dataSource();
    std::string error;
    ASSERT_TRUE(store::CreateDatabase(path, error)) << error;
    store::DbConnection connection;
    ASSERT_TRUE(connection.Open(store::BuildConnectionString(path, ""))) << connection.error();
    ASSERT_TRUE(connection.Run("insert into sheet (user_name, user_number) values ('a', '1')"));
    auto result = connection.Execute("select isluck from sheet");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->Field(0), "否");  // the column's default

    EXPECT_FALSE(store::CreateDatabase(path, error));
    EXPECT_NE(error.find("already exists"), std::string::npos);
    store::Counts counts;
    ASSERT_TRUE(store::CountParticipants(connection, counts));
    EXPECT_EQ(counts.all, 1);  // the existing file kept its row
}

TEST(OpenServerDatabase, RefusesWhatItCannotUse)
{
    testsupport::PgScratchSchema schema;
    if (!schema.valid())
        GTEST_SKIP() << schema.why();
    const std::string unusable = "The table 'sheet' in ";
    struct Case {
        const char* label;
        std::string sql;  // run first, in the schema
        std::string dataSource;
        std::vector<std::string> expected;  // parts of the message
    };
    const Case cases[] = {
        {"no server", "", testsupport::pgDataSource("/nonexistent-folder", schema.schema()),
         {"Cannot connect to the participant database postgresql://sortia@/", "/nonexistent-folder"}},
        {"no such database", "", testsupport::pgDataSource(schema.host(), schema.schema(), "nosuchdb"),
         {"Cannot connect", "nosuchdb"}},
        {"no sheet", "", schema.dataSource(), {"has no table 'sheet'", "sortia-db --db postgresql://", " create"}},
        {"wrong column order", "create table sheet (user_name text, id bigint, user_number text, isluck text)",
         schema.dataSource(), {unusable, "is not usable"}},
    };
    for (const Case& c : cases) {
        if (!c.sql.empty()) {
            ASSERT_EQ(testsupport::pgRun(schema.dataSource(), c.sql), "") << c.label;
        }
        store::DbConnection connection;
        EXPECT_FALSE(connection.OpenFile(c.dataSource)) << c.label;
        EXPECT_FALSE(connection.isOpen()) << c.label;
        for (const std::string& part : c.expected)
            EXPECT_NE(connection.error().find(part), std::string::npos) << c.label << ": " << connection.error();
    }
}

}  // namespace

namespace {

// The refusals speak the user's language; the path is named either way.
TEST(OpenRefusals, SpeakChineseToAChineseSystem)
{
    TempDir dir;
    const std::string missing = dir.file("Sbase.mdb");
    lang::setUiLanguage(lang::Language::Chinese);
    store::DbConnection connection;
    EXPECT_FALSE(connection.OpenFile(missing));
    EXPECT_EQ(connection.error(), "找不到文件“" + missing + "”。");
    std::string error;
    ASSERT_TRUE(store::CreateDatabase(missing, error));
    EXPECT_FALSE(store::CreateDatabase(missing, error));
    EXPECT_EQ(error, "“" + missing + "”已经存在，保持原样不动。");
    lang::setUiLanguage(lang::Language::English);
    EXPECT_FALSE(connection.OpenFile(missing + ".none"));
    EXPECT_EQ(connection.error(), "Could not find file '" + missing + ".none'.");
    lang::resetUiLanguage();
}

}  // namespace

namespace {

// Statements are kept prepared per connection: the same text run again while
// its rows are still being read, more texts than are kept, a table that
// changes its form between runs, and rows read after the connection closed.
class KeptStatements : public storetest::SheetOnBothKinds {
protected:
    void SetUp() override { openSheet(storetest::participantRows(5)); }

    std::vector<std::string> column(const std::string& sql)
    {
        std::vector<std::string> values;
        auto rows = m_connection.Execute(sql);
        EXPECT_TRUE(rows) << m_connection.error();
        for (; rows && !rows->EndOfFile(); rows->MoveNext())
            values.push_back(rows->Field(0));
        return values;
    }
};
SORTIA_ON_BOTH_KINDS(KeptStatements);

TEST_P(KeptStatements, GiveTheSameRowsAsFreshOnes)
{
    if (!ready())
        return;
    const std::string ids = "select id from sheet order by id";
    const std::vector<std::string> all = {"1", "2", "3", "4", "5"};
    // The same text inside its own loop: each run reads its own rows.
    auto outer = m_connection.Execute(ids);
    ASSERT_TRUE(outer);
    for (std::size_t row = 0; !outer->EndOfFile(); outer->MoveNext(), ++row) {
        EXPECT_EQ(outer->Field(0), all[row]);
        EXPECT_EQ(column(ids), all);
    }
    // Far more texts than any connection keeps, each run twice, apart.
    for (int round = 0; round < 2; ++round)
        for (int n = 0; n < 150; ++n)
            EXPECT_EQ(column("select count(*) + " + std::to_string(n) + " from sheet where id <= 3"),
                      std::vector<std::string>{std::to_string(3 + n)});
    // A table that takes another form between two runs of one text.
    const std::string whole = "select * from extra order by 1";
    ASSERT_TRUE(m_connection.Run("create table extra (a text)"));
    ASSERT_TRUE(m_connection.Run("insert into extra values ('x')"));
    EXPECT_EQ(column(whole), std::vector<std::string>{"x"});
    ASSERT_TRUE(m_connection.Run("drop table extra"));
    ASSERT_TRUE(m_connection.Run("create table extra (b bigint, c text)"));
    ASSERT_TRUE(m_connection.Run("insert into extra values (7, 'y')"));
    auto changed = m_connection.Execute(whole);
    ASSERT_TRUE(changed) << m_connection.error();
    EXPECT_EQ(changed->FieldCount(), 2);
    EXPECT_EQ(changed->Field(1), "y");
    // Rows still being read when the connection goes.
    auto late = m_connection.Execute(ids);
    ASSERT_TRUE(late);
    late->MoveNext();
    ASSERT_TRUE(m_connection.OpenFile(m_db.dataSource()));
    std::vector<std::string> rest;
    for (; !late->EndOfFile(); late->MoveNext())
        rest.push_back(late->Field(0));
    EXPECT_EQ(rest, std::vector<std::string>(all.begin() + 1, all.end()));
}

}  // namespace

namespace {

// The server's index for the eligible list comes with a new database, and
// with the first writing open of an older one; opening to read adds nothing.
TEST(OpenServerDatabase, AWritingOpenAddsTheListIndexAReadingOneDoesNot)
{
    storetest::ScratchDatabase older(storetest::Kind::PostgreSQL);
    if (!older.available())
        GTEST_SKIP() << older.why();
    older.makeSheet(storetest::participantRows(3));
    const auto indexes = [&](store::DbConnection& connection) {
        auto rows = connection.Execute("select count(*) from pg_indexes where tablename = 'sheet'"
                                       " and schemaname = current_schema() and indexdef like '%(isluck, id)%'");
        return rows ? rows->FieldInteger(0) : -1;
    };
    store::DbConnection reader;
    ASSERT_TRUE(reader.OpenFile(older.dataSource(), store::Access::Read)) << reader.error();
    EXPECT_EQ(indexes(reader), 0);
    store::DbConnection writer;
    ASSERT_TRUE(writer.OpenFile(older.dataSource(), store::Access::Change)) << writer.error();
    EXPECT_EQ(indexes(writer), 1);
    ASSERT_TRUE(writer.OpenFile(older.dataSource(), store::Access::Change)) << writer.error();
    EXPECT_EQ(indexes(writer), 1) << "made once";

    storetest::ScratchDatabase fresh(storetest::Kind::PostgreSQL);
    std::string error;
    ASSERT_TRUE(store::CreateDatabase(fresh.dataSource(), error)) << error;
    ASSERT_TRUE(reader.OpenFile(fresh.dataSource(), store::Access::Read)) << reader.error();
    EXPECT_EQ(indexes(reader), 1);
}

}  // namespace

namespace {

// A long result from the server is read as a stream once the statement is
// known to give many rows: other statements in between, a cursor dropped
// half-way, the connection closed under it and a failure met late all leave
// every row as a whole result would give it.
TEST(ServerStream, ReadsLikeAWholeResult)
{
    storetest::ScratchDatabase db(storetest::Kind::PostgreSQL);
    if (!db.available())
        GTEST_SKIP() << db.why();
    constexpr int kRows = 30000;
    db.run("create table big as select n as id, 'name ' || n as name, case when n % 7 = 0 then null else n * 3 end"
           " as value from generate_series(1, " + std::to_string(kRows) + ") n;"
           "create view failing as select id, case when id = 25000 and current_setting('sortia.fail', true) = 'yes'"
           " then (1 / (id - id))::text else name end as name from big;");
    const std::string all = "select id, name, value from big order by id";
    store::DbConnection connection;
    db.makeSheet("");
    ASSERT_TRUE(connection.OpenFile(db.dataSource())) << connection.error();
    const auto expectRow = [](const store::Recordset& row, int n) {
        ASSERT_EQ(row.FieldInteger(0), n);
        EXPECT_EQ(row.Field(1), "name " + std::to_string(n));
        EXPECT_EQ(row.IsNull(2), n % 7 == 0);
        EXPECT_EQ(row.Field(2), n % 7 == 0 ? "" : std::to_string(n * 3));
    };
    for (int round = 0; round < 3; ++round) {
        auto rows = connection.Execute(all);
        ASSERT_TRUE(rows) << connection.error();
        int n = 0;
        for (; !rows->EndOfFile(); rows->MoveNext()) {
            expectRow(*rows, ++n);
            if (round == 1 && n == 100) {  // another statement, and a dropped stream, on the way
                auto dropped = connection.Execute(all);
                ASSERT_TRUE(dropped && dropped->MoveNext());
                auto count = connection.Execute("select count(*) from big");
                ASSERT_TRUE(count);
                EXPECT_EQ(count->FieldInteger(0), kRows);
            }
            if (round == 2 && n == 100) {
                ASSERT_TRUE(connection.OpenFile(db.dataSource()));
            }
        }
        EXPECT_EQ(n, kRows) << "round " << round;
        EXPECT_TRUE(rows->error().empty()) << rows->error();
    }
    // Read whole once, then as a stream that fails late (the view's setting
    // makes its 25,000th row fail).
    for (int round = 0; round < 3; ++round) {
        if (round == 1) {
            ASSERT_TRUE(connection.Run("set sortia.fail = 'yes'"));
        }
        auto rows = connection.Execute("select id, name from failing");
        int n = 0;
        bool failed = !rows;
        for (; rows && !rows->EndOfFile() && !failed; ++n)
            failed = !rows->MoveNext();
        EXPECT_EQ(failed, round > 0) << "round " << round;
        EXPECT_LE(n, round > 0 ? 24999 : kRows) << "round " << round;
        const std::string error = rows ? rows->error() : connection.error();
        EXPECT_EQ(error.find("division by zero") != std::string::npos, round > 0) << error;
    }
    auto after = connection.Execute("select count(*) from big");
    ASSERT_TRUE(after) << connection.error();
    EXPECT_EQ(after->FieldInteger(0), kRows);
}

}  // namespace
