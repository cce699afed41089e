#include "store/connection.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <sqlite3.h>

#include "platform/language/language.h"
#include "store/draw_record.h"

namespace store {

std::string BuildConnectionString(const std::string& dbPath, const std::string& extraText)
{
    std::string s;
    s += "Provider=Microsoft.Jet.OLEDB.4.0;";
    s += "Data Source=";
    s += dbPath;
    s += ";";
    s += "Mode=Share Deny None;";
    s += "Extended Properties=;";
    s += "Jet OLEDB:System database=;";
    s += "Jet OLEDB:Registry Path=;";
    s += "Jet OLEDB:Database Password=;";
    s += "Jet OLEDB:Engine Type=5;";
    s += "Jet OLEDB:Database Locking Mode=1;";
    s += "Jet OLEDB:Global Partial Bulk Ops=2;";
    s += "Jet OLEDB:Global Bulk Transactions=1;";
    s += "Jet OLEDB:New Database Password=;";
    s += "Jet OLEDB:Create System Database=False;";
    s += "Jet OLEDB:Encrypt Database=False;";
    s += "Jet OLEDB:Don't Copy Locale on Compact=False;";
    s += "Jet OLEDB:Compact Without Replica Repair=False;";
    s += "Jet OLEDB:SFP=False;";
    s += extraText;
    return s;
}

ConnectionSettings ParseConnectionString(const std::string& connectionString)
{
    ConnectionSettings settings;
    std::size_t pos = 0;
    while (pos < connectionString.size()) {
        std::size_t end = connectionString.find(';', pos);
        if (end == std::string::npos)
            end = connectionString.size();
        const std::string item = connectionString.substr(pos, end - pos);
        const std::size_t eq = item.find('=');
        if (eq != std::string::npos) {
            const std::string key = item.substr(0, eq);
            if (key == "Provider")
                settings.provider = item.substr(eq + 1);
            else if (key == "Data Source")
                settings.dataSource = item.substr(eq + 1);
        }
        pos = end + 1;
    }
    return settings;
}

// ---- Recordset ----

Recordset::Recordset(sqlite3_stmt* statement, sqlite3* db) : m_statement(statement), m_db(db)
{
    m_fieldCount = sqlite3_column_count(statement);
}

Recordset::~Recordset()
{
    sqlite3_finalize(m_statement);
}

bool Recordset::step()
{
    const int rc = sqlite3_step(m_statement);
    if (rc == SQLITE_ROW) {
        m_eof = false;
        return true;
    }
    m_eof = true;
    if (rc == SQLITE_DONE)
        return true;
    m_error = sqlite3_errmsg(m_db);
    return false;
}

std::string Recordset::Field(int position) const
{
    if (m_eof || position < 0 || position >= m_fieldCount)
        return {};
    const unsigned char* text = sqlite3_column_text(m_statement, position);
    if (!text)
        return {};
    return std::string(reinterpret_cast<const char*>(text), std::size_t(sqlite3_column_bytes(m_statement, position)));
}

bool Recordset::IsNull(int position) const
{
    if (m_eof || position < 0 || position >= m_fieldCount)
        return true;
    return sqlite3_column_type(m_statement, position) == SQLITE_NULL;
}

bool Recordset::IsInteger(int position) const
{
    if (m_eof || position < 0 || position >= m_fieldCount)
        return false;
    return sqlite3_column_type(m_statement, position) == SQLITE_INTEGER;
}

std::int64_t Recordset::FieldInteger(int position) const
{
    if (m_eof || position < 0 || position >= m_fieldCount)
        return 0;
    return sqlite3_column_int64(m_statement, position);
}

bool Recordset::MoveNext()
{
    if (m_eof)
        return true;
    return step();
}

// ---- DbConnection ----

namespace {

enum class FileKind { Missing, Unreadable, SQLite, Access, Other };

FileKind inspectFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        // A file that exists but cannot be opened (permissions) is not "missing".
        std::error_code ec;
        return std::filesystem::exists(path, ec) ? FileKind::Unreadable : FileKind::Missing;
    }
    std::array<char, 32> header{};
    in.read(header.data(), header.size());
    const std::size_t got = std::size_t(in.gcount());
    if (got >= 16 && std::memcmp(header.data(), "SQLite format 3\0", 16) == 0)
        return FileKind::SQLite;
    // Access files carry their engine's name at offset 4.
    if (got >= 19 && (std::memcmp(header.data() + 4, "Standard Jet DB", 15) == 0 ||
                      std::memcmp(header.data() + 4, "Standard ACE DB", 15) == 0))
        return FileKind::Access;
    return FileKind::Other;
}

}  // namespace

DbConnection::~DbConnection()
{
    close();
}

void DbConnection::close()
{
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
}

bool DbConnection::fail(const std::string& message)
{
    m_error = message;
    close();
    return false;
}

bool DbConnection::Open(const std::string& connectionString, const std::string&, const std::string&, int)
{
    const ConnectionSettings settings = ParseConnectionString(connectionString);
    if (settings.provider != "Microsoft.Jet.OLEDB.4.0")
        return fail(lang::trf("Provider cannot be found. It may not be properly installed: '%1'.",
                              "找不到数据提供程序，它可能没有正确安装：“%1”。", {settings.provider}));
    return OpenFile(settings.dataSource);
}

bool DbConnection::OpenFile(const std::string& path)
{
    close();
    m_path = path;
    m_error.clear();
    if (path.empty())
        return fail(lang::tr("No database file was named.", "没有指定数据库文件。"));
    switch (inspectFile(path)) {
    case FileKind::Missing:
        return fail(lang::trf("Could not find file '%1'.", "找不到文件“%1”。", {path}));
    case FileKind::Unreadable:
        return fail(lang::trf("The database file '%1' cannot be read (check its permissions).",
                              "无法读取数据库文件“%1”（请检查它的权限）。", {path}));
    case FileKind::Access:
        return fail(lang::trf("'%1' is a Microsoft Access database. This program keeps its participants in an "
                              "SQLite database of the same name. To convert it, run:\n"
                              "  sortia-db --db NEW.mdb create\n"
                              "  sortia-db --db NEW.mdb import-mdb OLD.mdb\n"
                              "with OLD.mdb a copy of this file, then put NEW.mdb in its place as Sbase.mdb.",
                              "“%1”是 Microsoft Access 数据库。本程序把参与者保存在同名的 SQLite 数据库中。"
                              "要转换它，请运行：\n"
                              "  sortia-db --db NEW.mdb create\n"
                              "  sortia-db --db NEW.mdb import-mdb OLD.mdb\n"
                              "其中 OLD.mdb 是这个文件的副本，然后用 NEW.mdb 替换它，命名为 Sbase.mdb。",
                              {path}));
    case FileKind::Other:
        return fail(lang::trf("'%1' is not a database file that this program can open (unrecognized format).",
                              "“%1”不是本程序能打开的数据库文件（无法识别的格式）。", {path}));
    case FileKind::SQLite:
        break;
    }
    // Opened for reading and writing without creating anything; other programs
    // may use the file at the same time.
    const int rc = sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(rc);
        return fail(lang::trf("The database file '%1' cannot be opened: %2.", "无法打开数据库文件“%1”：%2。",
                              {path, message}));
    }
    sqlite3_busy_timeout(m_db, kBusyTimeoutMs);
    if (!checkSheet())
        return false;
    // An older file gains the draw record's tables here. A file that cannot
    // take them (read-only) still opens for reading; a draw on it reports why.
    EnsureDrawTables(*this);
    m_error.clear();
    return true;
}

bool DbConnection::failToRead()
{
    return fail(lang::trf("The database file '%1' cannot be read: %2.", "无法读取数据库文件“%1”：%2。",
                          {m_path, sqlite3_errmsg(m_db)}));
}

bool DbConnection::checkSheet()
{
    // The list is read by position: id, user_name, user_number must come first.
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, "PRAGMA table_info(sheet)", -1, &statement, nullptr) != SQLITE_OK)
        return failToRead();
    std::vector<std::string> columns;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const unsigned char* name = sqlite3_column_text(statement, 1);
        std::string column = name ? reinterpret_cast<const char*>(name) : "";
        for (char& c : column)
            c = char(std::tolower(static_cast<unsigned char>(c)));
        columns.push_back(column);
    }
    sqlite3_finalize(statement);
    if (rc != SQLITE_DONE)
        return failToRead();
    const bool hasIsluck = std::find(columns.begin(), columns.end(), "isluck") != columns.end();
    if (columns.empty())
        return fail(lang::trf("The database '%1' has no table 'sheet'.", "数据库“%1”中没有 sheet 表。", {m_path}));
    if (columns.size() < 4 || columns[0] != "id" || columns[1] != "user_name" || columns[2] != "user_number" ||
        !hasIsluck)
        return fail(lang::trf("The table 'sheet' in '%1' is not usable: its first columns must be id, user_name "
                              "and user_number, and it needs a column isluck.",
                              "“%1”中的 sheet 表无法使用：它的前几列必须是 id、user_name 和 user_number，"
                              "并且需要一列 isluck。",
                              {m_path}));
    return true;
}

std::unique_ptr<Recordset> DbConnection::Execute(const std::string& sql, const std::vector<std::string>& parameters)
{
    std::vector<Value> values(parameters.begin(), parameters.end());
    return ExecuteBound(sql, values);
}

std::unique_ptr<Recordset> DbConnection::ExecuteBound(const std::string& sql, const std::vector<Value>& values)
{
    m_error.clear();
    if (!m_db) {
        m_error = lang::tr("The database is not open.", "数据库没有打开。");
        return nullptr;
    }
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(m_db, sql.c_str(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
        m_error = sqlite3_errmsg(m_db);
        return nullptr;
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Value& value = values[i];
        const int mark = int(i + 1);
        switch (value.kind()) {
        case Value::Kind::Null: sqlite3_bind_null(statement, mark); break;
        case Value::Kind::Integer: sqlite3_bind_int64(statement, mark, value.integer()); break;
        case Value::Kind::Text:
            sqlite3_bind_text64(statement, mark, value.bytes().data(), value.bytes().size(), SQLITE_TRANSIENT,
                                SQLITE_UTF8);
            break;
        case Value::Kind::Blob:
            sqlite3_bind_blob64(statement, mark, value.bytes().data(), value.bytes().size(), SQLITE_TRANSIENT);
            break;
        }
    }
    std::unique_ptr<Recordset> result(new Recordset(statement, m_db));
    if (!result->step()) {
        m_error = result->error();
        return nullptr;
    }
    return result;
}

bool DbConnection::Run(const std::string& sql, const std::vector<std::string>& parameters)
{
    return Execute(sql, parameters) != nullptr;
}

bool DbConnection::RunBound(const std::string& sql, const std::vector<Value>& values)
{
    return ExecuteBound(sql, values) != nullptr;
}

int DbConnection::changes() const
{
    return m_db ? sqlite3_changes(m_db) : 0;
}

bool DbConnection::BeginTransaction()
{
    // Immediate: take the write lock now (waiting for others), so the marks
    // that follow cannot fail half-way on a lock.
    return Run("BEGIN IMMEDIATE");
}

bool DbConnection::CommitTransaction()
{
    return Run("COMMIT");
}

void DbConnection::RollbackTransaction()
{
    if (m_db && !sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

}  // namespace store
