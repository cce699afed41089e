#include "store/postgres_rows.h"

#include <cctype>
#include <charconv>

#include "store/sha256.h"

namespace store::pg {

namespace {

// Type numbers of the server's built-in types that matter here.
constexpr Oid kByteaType = 17;
constexpr Oid kNameType = 19;
constexpr Oid kInt8Type = 20;
constexpr Oid kInt2Type = 21;
constexpr Oid kInt4Type = 23;
constexpr Oid kTextType = 25;
constexpr Oid kCharType = 1042;
constexpr Oid kVarcharType = 1043;

bool isWholeNumber(Oid type)
{
    return type == kInt8Type || type == kInt4Type || type == kInt2Type;
}

// A binary whole number: big-endian, two, four or eight bytes.
std::int64_t bigEndian(std::string_view bytes)
{
    std::uint64_t value = 0;
    for (char byte : bytes)
        value = value << 8 | static_cast<unsigned char>(byte);
    const unsigned bits = unsigned(bytes.size()) * 8;
    if (bits > 0 && bits < 64 && (value >> (bits - 1)) != 0)
        value |= ~std::uint64_t(0) << bits;  // the sign of a shorter number
    return std::int64_t(value);
}

std::int64_t leadingInteger(std::string_view text)
{
    std::size_t start = 0;
    while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start])))
        ++start;
    if (start < text.size() && text[start] == '+')
        ++start;
    std::int64_t value = 0;
    std::from_chars(text.data() + start, text.data() + text.size(), value);
    return value;
}

// A bytea value in the server's text form ("\x" and two hex digits a byte).
std::string decodeBytea(std::string_view text)
{
    std::string bytes;
    if (text.substr(0, 2) != "\\x" || !FromHex(text.substr(2), bytes))
        return std::string(text);
    return bytes;
}

class WholeResultCursor : public PostgresCursor {
public:
    WholeResultCursor(Result result, std::vector<Column> columns)
        : PostgresCursor(std::move(columns)), m_result(std::move(result)), m_rows(PQntuples(m_result.get()))
    {
    }
    bool atEnd() const override { return m_row >= m_rows; }
    bool next(std::string&) override
    {
        ++m_row;
        rowChanged();
        return true;
    }

protected:
    std::optional<std::string_view> field(int position) const override
    {
        if (PQgetisnull(m_result.get(), m_row, position))
            return std::nullopt;
        return std::string_view(PQgetvalue(m_result.get(), m_row, position),
                                std::size_t(PQgetlength(m_result.get(), m_row, position)));
    }

private:
    Result m_result;
    int m_row = 0;
    int m_rows;
};

}  // namespace

std::string NumberMarks(const std::string& sql)
{
    std::string out;
    out.reserve(sql.size() + 16);
    char quote = 0;
    int mark = 0;
    for (char c : sql) {
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '?') {
            out += '$' + std::to_string(++mark);
            continue;
        }
        out += c;
    }
    return out;
}

Parameters::Parameters(const std::vector<Value>& values) : m_integers(values.size())
{
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Value& value = values[i];
        switch (value.kind()) {
        case Value::Kind::Null:
            m_types.push_back(0);
            m_values.push_back(nullptr);
            m_lengths.push_back(0);
            m_formats.push_back(0);
            m_kinds += 'N';
            break;
        case Value::Kind::Integer: {
            const auto number = std::uint64_t(value.integer());
            for (int byte = 0; byte < 8; ++byte)
                m_integers[i][std::size_t(byte)] = char(number >> (56 - 8 * byte));
            m_types.push_back(kInt8Type);
            m_values.push_back(m_integers[i].data());
            m_lengths.push_back(8);
            m_formats.push_back(1);
            m_kinds += 'I';
            break;
        }
        case Value::Kind::Text:
        case Value::Kind::Blob: {
            const bool blob = value.kind() == Value::Kind::Blob;
            m_types.push_back(blob ? kByteaType : 0);
            m_values.push_back(value.bytes().data());
            m_lengths.push_back(int(value.bytes().size()));
            m_formats.push_back(blob ? 1 : 0);
            m_kinds += blob ? 'B' : 'T';
            break;
        }
        }
    }
}

bool ReadsInBinary(Oid type)
{
    return isWholeNumber(type) || type == kTextType || type == kVarcharType || type == kCharType ||
           type == kNameType || type == kByteaType;
}

PostgresCursor::PostgresCursor(std::vector<Column> columns)
    : m_columns(std::move(columns)), m_worked(m_columns.size())
{
}

void PostgresCursor::rowChanged()
{
    for (std::optional<std::string>& worked : m_worked)
        worked.reset();
}

bool PostgresCursor::isNull(int position) const
{
    return !field(position).has_value();
}

bool PostgresCursor::isInteger(int position) const
{
    return isWholeNumber(m_columns[std::size_t(position)].type) && !isNull(position);
}

std::string_view PostgresCursor::text(int position) const
{
    const std::optional<std::string_view> raw = field(position);
    const Column& column = m_columns[std::size_t(position)];
    if (!raw)
        return {};
    const bool digits = column.binary && isWholeNumber(column.type);
    const bool hex = !column.binary && column.type == kByteaType;
    if (!digits && !hex)
        return *raw;
    std::optional<std::string>& worked = m_worked[std::size_t(position)];
    if (!worked)
        worked = digits ? std::to_string(bigEndian(*raw)) : decodeBytea(*raw);
    return *worked;
}

std::int64_t PostgresCursor::integer(int position) const
{
    const Column& column = m_columns[std::size_t(position)];
    const std::optional<std::string_view> raw = field(position);
    if (raw && column.binary && isWholeNumber(column.type))
        return bigEndian(*raw);
    return leadingInteger(text(position));
}

std::unique_ptr<Cursor> ResultCursor(Result result)
{
    std::vector<Column> columns(std::size_t(PQnfields(result.get())));
    for (std::size_t i = 0; i < columns.size(); ++i)
        columns[i] = {PQftype(result.get(), int(i)), PQfformat(result.get(), int(i)) == 1};
    return std::make_unique<WholeResultCursor>(std::move(result), std::move(columns));
}

}  // namespace store::pg
