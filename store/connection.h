#pragma once
// The one connection to the participant database and the forward-only
// results of its statements.
//
// The connection is opened from a connection string naming the provider and
// the data source ("Data Source="): an SQLite database file, whatever its
// name, or a PostgreSQL database named postgresql://user@host/dbname.
// Opening never creates a file or a table (opened for changing, a server
// database gains the index its eligible list is read by). What differs
// between kinds of database lives behind store::Backend (backend.h).

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/backend.h"

namespace store {

// Builds the connection string the program has always used, in its fixed order.
std::string BuildConnectionString(const std::string& dbPath, const std::string& extraText);

// The fields of a connection string this layer understands.
struct ConnectionSettings {
    std::string provider;
    std::string dataSource;
};
ConnectionSettings ParseConnectionString(const std::string& connectionString);

// A value bound to a statement's '?' mark: Null, a whole number, text or bytes.
class Value {
public:
    enum class Kind { Null, Integer, Text, Blob };
    Value() = default;
    Value(std::int64_t number) : m_kind(Kind::Integer), m_integer(number) {}
    Value(std::string text) : m_kind(Kind::Text), m_bytes(std::move(text)) {}
    Value(const char* text) : m_kind(Kind::Text), m_bytes(text) {}
    static Value Null() { return Value(); }
    static Value Blob(std::string bytes)
    {
        Value value(std::move(bytes));
        value.m_kind = Kind::Blob;
        return value;
    }

    Kind kind() const { return m_kind; }
    std::int64_t integer() const { return m_integer; }
    const std::string& bytes() const { return m_bytes; }

private:
    Kind m_kind = Kind::Null;
    std::int64_t m_integer = 0;
    std::string m_bytes;
};

// A forward-only result: EndOfFile() before the first row means "no rows".
// Fields are read by position; a Null value reads as "".
class Recordset {
public:
    explicit Recordset(std::unique_ptr<Cursor> cursor);
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool EndOfFile() const { return m_cursor->atEnd(); }
    int FieldCount() const { return m_cursor->fieldCount(); }
    std::string Field(int position) const { return std::string(FieldView(position)); }
    // The same without a copy, valid until the next MoveNext().
    std::string_view FieldView(int position) const;
    bool IsNull(int position) const;
    // True when the field holds a whole number (not text that looks like one).
    bool IsInteger(int position) const;
    // The field as a whole number (0 for Null; text is converted as SQL does).
    std::int64_t FieldInteger(int position) const;
    // Advances to the next row; false (with error()) when reading failed.
    bool MoveNext();
    const std::string& error() const { return m_error; }

private:
    bool inRow(int position) const { return !EndOfFile() && position >= 0 && position < FieldCount(); }

    std::unique_ptr<Cursor> m_cursor;
    std::string m_error;
};

class DbConnection {
public:
    DbConnection();
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Opens the data source named by the connection string. On failure returns
    // false and error() describes why in words an operator can act on: a
    // missing file, an Access file (with how to convert it), a file that is
    // not a database, or a database without a usable `sheet` table.
    bool Open(const std::string& connectionString);
    // Opens a data source directly, with the same checks (the tool's way in).
    // A connection that will only read may open a database that cannot be
    // changed; one opened for changing refuses it at once (see OpenSqliteFile).
    bool OpenFile(const std::string& dataSource, Access access = Access::Change);
    // How long statements wait for another program's lock before failing
    // with ErrorKind::Busy (kDefaultLockWaitMs unless set); also for opening.
    void setLockWait(int milliseconds);
    int lockWait() const { return m_lockWaitMs; }
    bool isOpen() const { return m_backend != nullptr; }
    // The data source last opened, as it may be shown: a file's path, or a
    // server's address without its password (RedactedDataSource).
    const std::string& shownDataSource() const { return m_shownSource; }

    // Runs one statement; parameters are bound in order to its '?' marks.
    // Returns the result (positioned on its first row), or nullptr with error().
    std::unique_ptr<Recordset> Execute(const std::string& sql, const std::vector<std::string>& parameters = {});
    // Runs a statement that returns no rows; false with error() on failure.
    bool Run(const std::string& sql, const std::vector<std::string>& parameters = {});
    // The same with typed values (numbers, Null, bytes) bound to the marks.
    std::unique_ptr<Recordset> ExecuteBound(const std::string& sql, const std::vector<Value>& values);
    bool RunBound(const std::string& sql, const std::vector<Value>& values);
    // Runs one statement once per set of values that `next` fills, until it
    // returns false; for many rows at once. False with error() on failure.
    bool RunMany(const std::string& sql, const std::function<bool(std::vector<Value>&)>& next);
    int changes() const;
    // Where the database's contents stand (see ChangeStamp); nullopt when
    // closed or when its kind cannot tell.
    std::optional<ChangeStamp> changeStamp();

    // A write transaction: a draw's (the default) sees and changes the list
    // as if nobody else were writing; an import's keeps other imports out.
    bool BeginTransaction(TransactionKind kind = TransactionKind::Draw);
    bool CommitTransaction();
    void RollbackTransaction();

    const std::string& error() const { return m_error; }
    // How the last failure can be acted on (ErrorKind::None after a success).
    ErrorKind errorKind() const { return m_errorKind; }
    void setError(std::string message);
    // Takes over the message of a result whose reading failed, so that
    // error() describes the failure of the whole operation.
    void noteReadError(const Recordset& result) { setError(result.error()); }
    // The SQL that differs between kinds of database (only while open).
    const Dialect& dialect() const { return m_backend->dialect(); }
    // Whether the table `name` (lower case) exists; nullopt with error() when
    // that cannot be read. Asks the catalogue, so that a missing table does
    // not abort an open transaction.
    std::optional<bool> HasTable(const std::string& name);

private:
    bool fail(const std::string& message);
    bool noteFailure(const std::string& message);
    void close();

    std::unique_ptr<Backend> m_backend;
    std::string m_shownSource;
    std::string m_error;
    ErrorKind m_errorKind = ErrorKind::None;
    int m_lockWaitMs = kDefaultLockWaitMs;
};

}  // namespace store
