#pragma once
// Reading the record's rows: the loop over a result and the fields that may
// be Null, shared by the readers of every kind of entry.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "store/connection.h"

namespace draw {

// Calls read(row) for every row of `rows`; false with connection.error()
// when the statement or a row could not be read.
template <typename Read>
bool ReadRows(store::DbConnection& connection, std::unique_ptr<store::Recordset> rows, Read read)
{
    if (!rows)
        return false;
    while (!rows->EndOfFile()) {
        read(*rows);
        if (!rows->MoveNext()) {
            connection.noteReadError(*rows);
            return false;
        }
    }
    return true;
}

inline std::optional<std::string> OptionalText(const store::Recordset& row, int position)
{
    if (row.IsNull(position))
        return std::nullopt;
    return row.Field(position);
}

inline std::optional<long long> OptionalInteger(const store::Recordset& row, int position)
{
    if (row.IsNull(position))
        return std::nullopt;
    return row.FieldInteger(position);
}

inline store::Value TextValue(const std::optional<std::string>& text)
{
    return text ? store::Value(*text) : store::Value::Null();
}

inline store::Value NumberValue(const std::optional<long long>& number)
{
    return number ? store::Value(std::int64_t(*number)) : store::Value::Null();
}

}  // namespace draw
