#include "store/sqlite_backend.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <sqlite3.h>

#include "platform/language/language.h"
#include "store/connection.h"
#include "store/data_source.h"
#include "store/schema.h"
#include "store/sqlite_problems.h"
#include "store/text.h"

namespace store {

namespace {

const Dialect kSqliteDialect{"SQLite", "integer", "blob", "id integer primary key", nullptr,
                             "select count(*) from sqlite_master where type = 'table' and lower(name) = ?"};

// Turns the connection's last failure into words naming the file, and keeps
// its kind; shared by the back end and its cursors.
class FailureNotes {
public:
    FailureNotes(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}
    std::string note()
    {
        return DescribeSqliteFailure(sqlite3_extended_errcode(m_db), sqlite3_errmsg(m_db), m_path, m_lastKind);
    }
    ErrorKind lastKind() const { return m_lastKind; }

private:
    sqlite3* m_db;
    std::string m_path;
    ErrorKind m_lastKind = ErrorKind::None;
};

class SqliteCursor : public Cursor {
public:
    SqliteCursor(sqlite3_stmt* statement, std::shared_ptr<FailureNotes> notes)
        : m_statement(statement), m_notes(std::move(notes)), m_fieldCount(sqlite3_column_count(statement))
    {
    }
    ~SqliteCursor() override { sqlite3_finalize(m_statement); }

    // The first step, which runs the statement.
    bool start(std::string& error) { return next(error); }

    bool atEnd() const override { return m_eof; }
    bool next(std::string& error) override
    {
        const int rc = sqlite3_step(m_statement);
        m_eof = rc != SQLITE_ROW;
        if (rc == SQLITE_ROW || rc == SQLITE_DONE)
            return true;
        error = m_notes->note();
        return false;
    }
    int fieldCount() const override { return m_fieldCount; }
    bool isNull(int position) const override { return sqlite3_column_type(m_statement, position) == SQLITE_NULL; }
    bool isInteger(int position) const override
    {
        return sqlite3_column_type(m_statement, position) == SQLITE_INTEGER;
    }
    std::string_view text(int position) const override
    {
        const unsigned char* text = sqlite3_column_text(m_statement, position);
        if (!text)
            return {};
        return {reinterpret_cast<const char*>(text), std::size_t(sqlite3_column_bytes(m_statement, position))};
    }
    std::int64_t integer(int position) const override { return sqlite3_column_int64(m_statement, position); }

private:
    sqlite3_stmt* m_statement;
    std::shared_ptr<FailureNotes> m_notes;
    int m_fieldCount;
    bool m_eof = true;
};

// `lifetime` is SQLITE_STATIC where the values outlive the statement's step
// (SQLite then keeps no copy of its own), SQLITE_TRANSIENT otherwise.
void bindValues(sqlite3_stmt* statement, const std::vector<Value>& values,
                sqlite3_destructor_type lifetime = SQLITE_TRANSIENT)
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Value& value = values[i];
        const int mark = int(i + 1);
        switch (value.kind()) {
        case Value::Kind::Null: sqlite3_bind_null(statement, mark); break;
        case Value::Kind::Integer: sqlite3_bind_int64(statement, mark, value.integer()); break;
        case Value::Kind::Text:
            sqlite3_bind_text64(statement, mark, value.bytes().data(), value.bytes().size(), lifetime, SQLITE_UTF8);
            break;
        case Value::Kind::Blob:
            sqlite3_bind_blob64(statement, mark, value.bytes().data(), value.bytes().size(), lifetime);
            break;
        }
    }
}

class SqliteBackend : public Backend {
public:
    SqliteBackend(sqlite3* db, const std::string& path) : m_db(db), m_notes(std::make_shared<FailureNotes>(db, path))
    {
    }
    ~SqliteBackend() override
    {
        sqlite3_finalize(m_dataVersion);
        sqlite3_close_v2(m_db);
    }

    std::unique_ptr<Cursor> execute(const std::string& sql, const std::vector<Value>& values,
                                    std::string& error) override
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
            error = m_notes->note();
            return nullptr;
        }
        bindValues(statement, values);
        auto cursor = std::make_unique<SqliteCursor>(statement, m_notes);
        if (!cursor->start(error))
            return nullptr;
        return cursor;
    }

    bool runMany(const std::string& sql, const std::function<bool(std::vector<Value>&)>& next,
                 std::string& error) override
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql.c_str(), int(sql.size()), &statement, nullptr) != SQLITE_OK) {
            error = m_notes->note();
            return false;
        }
        std::vector<Value> values;
        bool ok = true;
        // The values stay put for the step; the bindings are cleared before
        // `next` changes them, so SQLite never holds a pointer into a value
        // that has gone.
        while (ok && next(values)) {
            bindValues(statement, values, SQLITE_STATIC);
            ok = sqlite3_step(statement) == SQLITE_DONE;
            if (!ok)
                error = m_notes->note();
            sqlite3_reset(statement);
            sqlite3_clear_bindings(statement);
        }
        sqlite3_finalize(statement);
        return ok;
    }

    int changes() const override { return sqlite3_changes(m_db); }

    bool begin(TransactionKind, std::string& error) override
    {
        // Immediate: take the write lock now (waiting for others), so the
        // statements that follow cannot fail half-way on a lock.
        return run("BEGIN IMMEDIATE", error);
    }
    bool commit(std::string& error) override { return run("COMMIT", error); }
    void rollback() override
    {
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    ErrorKind lastErrorKind() const override { return m_notes->lastKind(); }
    void setLockWait(int milliseconds) override
    {
        m_lockWait = std::chrono::milliseconds(std::max(milliseconds, 0));
        sqlite3_busy_handler(m_db, &SqliteBackend::waitForLock, this);
    }
    const Dialect& dialect() const override { return kSqliteDialect; }

    std::optional<ChangeStamp> changeStamp() override
    {
        // The data version moves only when another connection commits; the
        // rows changed through this one are counted apart. The statement is
        // kept: the window asks at every press of the draw button.
        if (!m_dataVersion && sqlite3_prepare_v3(m_db, "PRAGMA data_version", -1, SQLITE_PREPARE_PERSISTENT,
                                                 &m_dataVersion, nullptr) != SQLITE_OK)
            return std::nullopt;
        std::optional<ChangeStamp> stamp;
        if (sqlite3_step(m_dataVersion) == SQLITE_ROW)
            stamp = ChangeStamp{std::uint64_t(sqlite3_column_int64(m_dataVersion, 0)),
                                std::uint64_t(sqlite3_total_changes64(m_db))};
        sqlite3_reset(m_dataVersion);
        return stamp;
    }

private:
    bool run(const char* sql, std::string& error) { return execute(sql, {}, error) != nullptr; }

    // SQLite's own timed wait backs off to sleeps of 100 ms, so a program
    // that writes often gets the lock between our tries, again and again.
    // Short, even tries find the gaps between its transactions.
    static int waitForLock(void* self, int tries)
    {
        auto* backend = static_cast<SqliteBackend*>(self);
        const auto now = std::chrono::steady_clock::now();
        if (tries == 0)
            backend->m_waitStarted = now;
        if (now - backend->m_waitStarted >= backend->m_lockWait)
            return 0;
        std::this_thread::sleep_for(kLockRetry);
        return 1;
    }

    static constexpr std::chrono::milliseconds kLockRetry{1};

    sqlite3* m_db;
    sqlite3_stmt* m_dataVersion = nullptr;
    std::shared_ptr<FailureNotes> m_notes;
    std::chrono::milliseconds m_lockWait{0};
    std::chrono::steady_clock::time_point m_waitStarted;
};

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

// Why a file cannot serve as the database, or "" when it is an SQLite file.
std::string refusalFor(const std::string& path)
{
    switch (inspectFile(path)) {
    case FileKind::Missing:
        return lang::trf("Could not find file '%1'.", "找不到文件“%1”。", {path});
    case FileKind::Unreadable:
        return lang::trf("The database file '%1' cannot be read (check its permissions).",
                         "无法读取数据库文件“%1”（请检查它的权限）。", {path});
    case FileKind::Access:
        return lang::trf("'%1' is a Microsoft Access database. This program keeps its participants in an "
                         "SQLite database of the same name. To convert it, run:\n"
                         "  sortia-db --db NEW.mdb create\n"
                         "  sortia-db --db NEW.mdb import-mdb OLD.mdb\n"
                         "with OLD.mdb a copy of this file, then put NEW.mdb in its place as Sbase.mdb.",
                         "“%1”是 Microsoft Access 数据库。本程序把参与者保存在同名的 SQLite 数据库中。"
                         "要转换它，请运行：\n"
                         "  sortia-db --db NEW.mdb create\n"
                         "  sortia-db --db NEW.mdb import-mdb OLD.mdb\n"
                         "其中 OLD.mdb 是这个文件的副本，然后用 NEW.mdb 替换它，命名为 Sbase.mdb。",
                         {path});
    case FileKind::Other:
        return lang::trf("'%1' is not a database file that this program can open (unrecognized format).",
                         "“%1”不是本程序能打开的数据库文件（无法识别的格式）。", {path});
    case FileKind::SQLite:
        break;
    }
    return {};
}

std::string describe(sqlite3* db, const std::string& path, ErrorKind& kind)
{
    return DescribeSqliteFailure(sqlite3_extended_errcode(db), sqlite3_errmsg(db), path, kind);
}

// The list is read by position: id, user_name, user_number must come first.
std::string checkSheet(sqlite3* db, const std::string& path, ErrorKind& kind)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA table_info(sheet)", -1, &statement, nullptr) != SQLITE_OK)
        return describe(db, path, kind);
    std::vector<std::string> columns;
    int rc;
    while ((rc = sqlite3_step(statement)) == SQLITE_ROW) {
        const unsigned char* name = sqlite3_column_text(statement, 1);
        columns.push_back(LowerAscii(name ? reinterpret_cast<const char*>(name) : ""));
    }
    const std::string failure = rc == SQLITE_DONE ? std::string() : describe(db, path, kind);
    sqlite3_finalize(statement);
    if (!failure.empty())
        return failure;
    return SheetColumnsProblem(columns, "'" + path + "'");
}

// SQLite's quick check of the whole file (its pages and records; the
// contents of indexes are left to the full check). "" when it passes.
std::string quickCheck(sqlite3* db, const std::string& path, ErrorKind& kind)
{
    constexpr const char* kCheck = "PRAGMA quick_check(5)";  // the first few problems are enough to say what
    sqlite3_stmt* statement = nullptr;
    std::string problems;
    int rc = sqlite3_prepare_v2(db, kCheck, -1, &statement, nullptr);
    while (rc == SQLITE_OK || rc == SQLITE_ROW) {
        rc = sqlite3_step(statement);
        const unsigned char* text = rc == SQLITE_ROW ? sqlite3_column_text(statement, 0) : nullptr;
        const std::string line = text ? reinterpret_cast<const char*>(text) : "";
        if (rc == SQLITE_ROW && line != "ok")
            problems += (problems.empty() ? "" : "; ") + line;
    }
    const std::string failure = rc == SQLITE_DONE ? std::string() : describe(db, path, kind);
    sqlite3_finalize(statement);
    if (!failure.empty())
        return failure;
    return problems.empty() ? std::string() : DamagedFileMessage(path, problems);
}

// What keeps a file that opened from serving: "" when nothing does.
std::string problemAfterOpening(sqlite3* db, const std::string& path, Access access, ErrorKind& kind)
{
    if (access == Access::Change && sqlite3_db_readonly(db, "main") == 1)
        return DescribeSqliteFailure(SQLITE_READONLY, std::string(), path, kind);
    std::string problem = quickCheck(db, path, kind);
    if (problem.empty())
        problem = checkSheet(db, path, kind);
    if (problem.empty() && access == Access::Change) {
        problem = FreeSpaceProblem(path);
        kind = problem.empty() ? ErrorKind::None : ErrorKind::DiskFull;
    }
    return problem;
}

std::string alreadyThere(const std::string& path)
{
    return lang::trf("'%1' already exists; it is left as it is.", "“%1”已经存在，保持原样不动。", {path});
}

std::string cannotCreate(const std::string& path, const std::string& why)
{
    return lang::trf("Cannot create '%1': %2.", "无法创建“%1”：%2。", {path, why});
}

// The user's data folder of an installed copy may not exist yet.
void makeFolderOf(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
}

// A new, empty file, or -1 with errno (EEXIST when the name is taken): a
// file another program makes meanwhile is never taken over, nor removed, as
// this run's own.
int createExclusive(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

// Gives the new, empty file at `path` (this run's) an empty `sheet`; the file
// goes again when that fails.
bool initialiseFile(const std::string& path, std::string& error)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (!ok) {
        error = cannotCreate(path, db ? sqlite3_errmsg(db) : lang::tr("out of memory", "内存不足"));
    } else {
        const std::string schema = SheetSchema(kSqliteDialect);
        char* message = nullptr;
        ok = sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
        if (!ok)
            error = lang::trf("Cannot create the table in '%1': %2.", "无法在“%1”中创建表：%2。",
                              {path, message ? message : ""});
        sqlite3_free(message);
    }
    sqlite3_close_v2(db);
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

// A "file" that reads as a connection string with a password was meant for
// a server: it is refused before its name reaches a message or the disk.
std::string connectionStringRefusal(const std::string& path)
{
    if (!HoldsPassword(path))
        return {};
    return lang::trf("'%1' is not a file name but a connection to a database server with a password. Name a "
                     "server as postgresql://user@host/dbname, and keep the password in ~/.pgpass.",
                     "“%1”不是文件名，而是带密码的数据库服务器连接。请把服务器写成 postgresql://用户@主机/数据库名，"
                     "并把密码放在 ~/.pgpass 中。",
                     {RedactedDataSource(path)});
}

}  // namespace

std::unique_ptr<Backend> OpenSqliteFile(const std::string& path, Access access, int lockWaitMs, std::string& error,
                                        ErrorKind& kind)
{
    kind = ErrorKind::Other;
    if (path.empty()) {
        error = lang::tr("No database file was named.", "没有指定数据库文件。");
        return nullptr;
    }
    error = connectionStringRefusal(path);
    if (error.empty())
        error = refusalFor(path);
    if (error.empty() && access == Access::Change) {
        error = WriteProblem(path);
        kind = error.empty() ? ErrorKind::Other : ErrorKind::ReadOnly;
    }
    if (!error.empty())
        return nullptr;
    // Opened for reading and writing without creating anything, also when
    // only reading (a writer rolls back what a program that died left
    // half-done); other programs may use the file at the same time.
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (!db) {
        error = DescribeSqliteFailure(rc, sqlite3_errstr(rc), path, kind);
        return nullptr;
    }
    auto backend = std::make_unique<SqliteBackend>(db, path);
    if (rc != SQLITE_OK) {
        error = describe(db, path, kind);
        return nullptr;
    }
    backend->setLockWait(lockWaitMs);
    error = problemAfterOpening(db, path, access, kind);
    if (!error.empty())
        return nullptr;
    return backend;
}

bool CreateSqliteFile(const std::string& path, std::string& error)
{
    error = connectionStringRefusal(path);
    if (!error.empty())
        return false;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        error = alreadyThere(path);
        return false;
    }
    makeFolderOf(path);
    const int file = createExclusive(path);
    if (file < 0) {
        error = errno == EEXIST ? alreadyThere(path) : cannotCreate(path, std::strerror(errno));
        return false;
    }
    ::close(file);
    return initialiseFile(path, error);
}

bool CreateSqliteFileBeside(const std::string& path, std::string& made, std::string& error)
{
    error = connectionStringRefusal(path);
    if (!error.empty())
        return false;
    makeFolderOf(path);
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = path + ".partial-";
        for (int i = 0; i < 6; ++i)
            made += kLetters[random() % (sizeof kLetters - 1)];
        const int file = createExclusive(made);
        if (file >= 0) {
            ::close(file);
            return initialiseFile(made, error);
        }
        if (errno != EEXIST)
            break;
    }
    error = cannotCreate(made, std::strerror(errno));
    made.clear();
    return false;
}

}  // namespace store
