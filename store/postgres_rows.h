#pragma once
// How values travel to and from the PostgreSQL server, for the back end's
// own files: the values bound to a statement, and rows read through the
// store's Cursor whether they came as text or in binary.

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <libpq-fe.h>

#include "store/backend.h"
#include "store/connection.h"

namespace store::pg {

struct ResultDeleter {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

// The program writes '?' for a bound value; the server numbers them ($1, $2,
// ...). Marks inside quoted texts and names are left alone.
std::string NumberMarks(const std::string& sql);

// The bound values as the server takes them: whole numbers as int8 and
// bytes as bytea, both in binary; texts typed by where they stand.
class Parameters {
public:
    explicit Parameters(const std::vector<Value>& values);
    int count() const { return int(m_values.size()); }
    const Oid* types() const { return m_types.data(); }
    const char* const* values() const { return m_values.data(); }
    const int* lengths() const { return m_lengths.data(); }
    const int* formats() const { return m_formats.data(); }
    // One letter per value's kind: statements prepared for other kinds of
    // values are other statements.
    const std::string& kinds() const { return m_kinds; }

private:
    std::vector<std::array<char, 8>> m_integers;
    std::vector<Oid> m_types;
    std::vector<const char*> m_values;
    std::vector<int> m_lengths;
    std::vector<int> m_formats;
    std::string m_kinds;
};

// Whether the cursor reads a column of this type in binary as it would its
// text: whole numbers, texts and bytes.
bool ReadsInBinary(Oid type);

// How one column of a result is read.
struct Column {
    Oid type = 0;
    bool binary = false;
};

// A cursor's reading of fields, shared by its kinds: a whole number in
// binary reads as its digits, bytes in text form as the bytes.
class PostgresCursor : public Cursor {
public:
    int fieldCount() const override { return int(m_columns.size()); }
    bool isNull(int position) const override;
    bool isInteger(int position) const override;
    std::string_view text(int position) const override;
    std::int64_t integer(int position) const override;

protected:
    explicit PostgresCursor(std::vector<Column> columns);
    // The current row's field as it came; nullopt for Null.
    virtual std::optional<std::string_view> field(int position) const = 0;
    // Forgets what was worked out for the row before.
    void rowChanged();

private:
    std::vector<Column> m_columns;
    mutable std::vector<std::optional<std::string>> m_worked;  // per field of this row, on demand
};

// A cursor over a whole result in memory: moving on cannot fail.
std::unique_ptr<Cursor> ResultCursor(Result result);

// The rows of a binary COPY read one at a time as the server sends them:
// the program works on the first rows while the server still reads the
// last, and never holds them all at once. While it reads, the connection
// serves nothing else; whoever needs it first calls detach(), which reads
// the rest into memory.
class StreamCursor : public PostgresCursor {
public:
    // `failure` turns the result of a failed COPY into the message to report;
    // `*holder` points at the cursor while it holds the connection, and is
    // cleared when it goes first.
    StreamCursor(PGconn* connection, std::vector<Column> columns,
                 std::function<std::string(const PGresult*)> failure, StreamCursor** holder);
    ~StreamCursor() override;
    // Reads the first row; false with `error` when the COPY failed at once.
    bool start(std::string& error);
    bool atEnd() const override { return m_atEnd; }
    bool next(std::string& error) override;
    // Lets go of the connection, with the rows not yet read kept here; the
    // holder forgets the cursor.
    void detach();

protected:
    std::optional<std::string_view> field(int position) const override;

private:
    // The next message of the COPY (or the next kept one) into m_message;
    // false at its end or on failure (then m_failure says why).
    bool receive();
    bool parseRow(std::string& error);
    void release();

    PGconn* m_connection;
    std::function<std::string(const PGresult*)> m_failure;
    StreamCursor** m_holder;
    char* m_received = nullptr;       // libpq's buffer of the current message
    std::string m_kept;               // or the current message kept by detach()
    std::string_view m_message;
    bool m_headerRead = false;
    std::vector<std::optional<std::string_view>> m_fields;
    std::deque<std::string> m_ahead;  // read by detach(), not yet reached
    std::string m_failureText;
    bool m_atEnd = false;
};

}  // namespace store::pg
