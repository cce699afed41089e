#pragma once
// The one connection to the participant database and the forward-only
// results of its statements.
//
// The connection is opened from a connection string naming the provider and
// the file ("Data Source="); the file is an SQLite database, whatever its
// name. Opening never creates a file or a table.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

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
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool EndOfFile() const { return m_eof; }
    int FieldCount() const { return m_fieldCount; }
    std::string Field(int position) const;
    bool IsNull(int position) const;
    // True when the field holds a whole number (not text that looks like one).
    bool IsInteger(int position) const;
    // The field as a whole number (0 for Null; text is converted as SQL does).
    std::int64_t FieldInteger(int position) const;
    // Advances to the next row; false (with error()) when reading failed.
    bool MoveNext();
    const std::string& error() const { return m_error; }

private:
    friend class DbConnection;
    Recordset(sqlite3_stmt* statement, sqlite3* db);
    bool step();

    sqlite3_stmt* m_statement = nullptr;
    sqlite3* m_db = nullptr;
    bool m_eof = true;
    int m_fieldCount = 0;
    std::string m_error;
};

class DbConnection {
public:
    DbConnection() = default;
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    // Opens the file named by the connection string. On failure returns false
    // and error() describes why in words an operator can act on: a missing
    // file, an Access file (with how to convert it), a file that is not a
    // database, or a database without a usable `sheet` table.
    bool Open(const std::string& connectionString, const std::string& userId, const std::string& password,
              int options = -1);
    // Opens a file directly, with the same checks (the tool's way in).
    bool OpenFile(const std::string& path);
    bool isOpen() const { return m_db != nullptr; }
    const std::string& path() const { return m_path; }

    // Runs one statement; parameters are bound in order to its '?' marks.
    // Returns the result (positioned on its first row), or nullptr with error().
    std::unique_ptr<Recordset> Execute(const std::string& sql, const std::vector<std::string>& parameters = {});
    // Runs a statement that returns no rows; false with error() on failure.
    bool Run(const std::string& sql, const std::vector<std::string>& parameters = {});
    // The same with typed values (numbers, Null, bytes) bound to the marks.
    std::unique_ptr<Recordset> ExecuteBound(const std::string& sql, const std::vector<Value>& values);
    bool RunBound(const std::string& sql, const std::vector<Value>& values);
    int changes() const;

    bool BeginTransaction();
    bool CommitTransaction();
    void RollbackTransaction();

    const std::string& error() const { return m_error; }
    void setError(std::string message) { m_error = std::move(message); }
    // Takes over the message of a result whose reading failed, so that
    // error() describes the failure of the whole operation.
    void noteReadError(const Recordset& result) { m_error = result.error(); }
    sqlite3* handle() const { return m_db; }

private:
    bool fail(const std::string& message);
    bool failToRead();  // with SQLite's reason
    bool checkSheet();
    void close();

    sqlite3* m_db = nullptr;
    std::string m_path;
    std::string m_error;
};

// How long a statement waits for another program's lock before failing.
constexpr int kBusyTimeoutMs = 8000;

}  // namespace store
