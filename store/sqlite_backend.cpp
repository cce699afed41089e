#include "store/sqlite_backend.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// The file needs no index for the list: sheet is stored in id order already,
// and every mark would have to keep one up to date.
const Dialect kSqliteDialect{"SQLite", "integer", "blob", "id integer primary key", nullptr,
                             "select count(*) from sqlite_master where type = 'table' and lower(name) = ?", nullptr,
                             nullptr, nullptr};


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

// Prepared statements kept for the connection's life, keyed by their text:
// a stop runs the same few statements once per winner, and preparing one
// costs more than running it. A statement is lent to one cursor at a time;
// the same text run again meanwhile gets a statement of its own, which is
// finalized when given back.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : m_db(db) {}
    ~StatementCache()
    {
        for (const Entry& entry : m_entries)
            sqlite3_finalize(entry.statement);
    }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // A statement for `sql`; nullptr when it cannot be prepared (the
    // connection's error says why).
    sqlite3_stmt* take(const std::string& sql)
    {
        for (Entry& entry : m_entries)
            if (!entry.lent && entry.sql == sql) {
                entry.lent = true;
                entry.used = ++m_clock;
                return entry.statement;
            }
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v3(m_db, sql.c_str(), int(sql.size()), SQLITE_PREPARE_PERSISTENT, &statement, nullptr) !=
            SQLITE_OK)
            return nullptr;
        // Kept in a free place, else in that of the entry unused longest; when
        // every entry is lent, the statement is a stranger, finalized when given back.
        Entry* slot = nullptr;
        if (m_entries.size() < kKept) {
            slot = &m_entries.emplace_back();
        } else {
            for (Entry& entry : m_entries)
                if (!entry.lent && (!slot || entry.used < slot->used))
                    slot = &entry;
        }
        if (slot) {
            sqlite3_finalize(slot->statement);
            *slot = {sql, statement, true, ++m_clock};
        }
        return statement;
    }

    // Takes back what take() lent, reset and unbound for the next time.
    void give(sqlite3_stmt* statement)
    {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
        for (Entry& entry : m_entries)
            if (entry.statement == statement) {
                entry.lent = false;
                return;
            }
        sqlite3_finalize(statement);
    }

private:
    struct Entry {
        std::string sql;
        sqlite3_stmt* statement = nullptr;
        bool lent = false;
        std::uint64_t used = 0;
    };
    static constexpr std::size_t kKept = 32;

    sqlite3* m_db;
    std::vector<Entry> m_entries;
    std::uint64_t m_clock = 0;
};

class SqliteCursor : public Cursor {
public:
    SqliteCursor(sqlite3_stmt* statement, std::shared_ptr<StatementCache> cache, std::shared_ptr<FailureNotes> notes)
        : m_statement(statement), m_cache(std::move(cache)), m_notes(std::move(notes))
    {
    }
    ~SqliteCursor() override { m_cache->give(m_statement); }

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
    // Asked each time: a kept statement is prepared afresh by its first step
    // when a table changed its form since.
    int fieldCount() const override { return sqlite3_column_count(m_statement); }
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
    std::shared_ptr<StatementCache> m_cache;
    std::shared_ptr<FailureNotes> m_notes;
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
    SqliteBackend(sqlite3* db, const std::string& path)
        : m_db(db), m_cache(std::make_shared<StatementCache>(db)), m_notes(std::make_shared<FailureNotes>(db, path))
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
        sqlite3_stmt* statement = m_cache->take(sql);
        if (!statement) {
            error = m_notes->note();
            return nullptr;
        }
        bindValues(statement, values);
        auto cursor = std::make_unique<SqliteCursor>(statement, m_cache, m_notes);
        if (!cursor->start(error))
            return nullptr;
        return cursor;
    }

    bool runMany(const std::string& sql, const std::function<bool(std::vector<Value>&)>& next,
                 std::string& error) override
    {
        sqlite3_stmt* statement = m_cache->take(sql);
        if (!statement) {
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
        m_cache->give(statement);
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
    // Shared with the cursors, which may outlive the back end: the
    // connection closes once the last statement is finalized (close_v2).
    std::shared_ptr<StatementCache> m_cache;
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

}  // namespace

const Dialect& SqliteDialect()
{
    return kSqliteDialect;
}

std::unique_ptr<Backend> OpenSqliteFile(const std::string& path, Access access, int lockWaitMs, std::string& error,
                                        ErrorKind& kind)
{
    kind = ErrorKind::Other;
    if (path.empty()) {
        error = lang::tr("No database file was named.", "没有指定数据库文件。");
        return nullptr;
    }
    error = FileNameProblem(path);
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

}  // namespace store
