#pragma once
// How values travel to and from the PostgreSQL server, for the back end's
// own files: the values bound to a statement, and rows read through the
// store's Cursor whether they came as text or in binary.

#include <cstdint>
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

}  // namespace store::pg
