#include "store/postgres_rows.h"

#include <cctype>
#include <charconv>

#include "platform/language/language.h"
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

namespace {

// A binary COPY starts with this signature, a flags word and an extension
// area; each row then has a 16-bit field count (-1 ends the data) and each
// field a 32-bit length (-1 for Null) before its bytes.
constexpr std::string_view kCopySignature("PGCOPY\n\377\r\n\0", 11);

bool takeInteger(std::string_view& bytes, std::size_t size, std::int64_t& value)
{
    if (bytes.size() < size)
        return false;
    value = bigEndian(bytes.substr(0, size));
    bytes.remove_prefix(size);
    return true;
}

}  // namespace

StreamCursor::StreamCursor(PGconn* connection, std::vector<Column> columns,
                           std::function<std::string(const PGresult*)> failure, StreamCursor** holder)
    : PostgresCursor(std::move(columns)), m_connection(connection), m_failure(std::move(failure)), m_holder(holder),
      m_fields(std::size_t(fieldCount()))
{
    *m_holder = this;
}

StreamCursor::~StreamCursor()
{
    // The rest of the COPY is read and dropped: the connection must be free
    // for the next statement.
    while (m_connection && receive()) {
    }
    release();
    if (m_holder)
        *m_holder = nullptr;
}

bool StreamCursor::start(std::string& error)
{
    return next(error);
}

void StreamCursor::release()
{
    PQfreemem(m_received);
    m_received = nullptr;
}

bool StreamCursor::receive()
{
    release();
    if (!m_connection) {
        if (m_ahead.empty())
            return false;
        m_kept = std::move(m_ahead.front());
        m_ahead.pop_front();
        m_message = m_kept;
        return true;
    }
    const int length = PQgetCopyData(m_connection, &m_received, 0);
    if (length >= 0) {
        m_message = std::string_view(m_received, std::size_t(length));
        return true;
    }
    // The COPY is over: its final result says whether it all went well.
    for (Result result(PQgetResult(m_connection)); result; result.reset(PQgetResult(m_connection)))
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && m_failureText.empty())
            m_failureText = m_failure(result.get());
    if (length == -2 && m_failureText.empty())
        m_failureText = m_failure(nullptr);
    m_connection = nullptr;
    return false;
}

bool StreamCursor::next(std::string& error)
{
    rowChanged();
    if (m_atEnd)
        return true;
    if (!receive()) {
        m_atEnd = true;
        error = m_failureText;
        return m_failureText.empty();
    }
    return parseRow(error);
}

bool StreamCursor::parseRow(std::string& error)
{
    std::string_view bytes = m_message;
    std::int64_t value = 0;
    if (!m_headerRead) {
        m_headerRead = true;
        if (bytes.substr(0, kCopySignature.size()) != kCopySignature)
            bytes = {};
        else
            bytes.remove_prefix(kCopySignature.size());
        if (!takeInteger(bytes, 4, value) || !takeInteger(bytes, 4, value) || bytes.size() < std::size_t(value))
            bytes = {};
        else
            bytes.remove_prefix(std::size_t(value));
    }
    std::int64_t count = -2;
    bool whole = takeInteger(bytes, 2, count);
    if (whole && count == -1) {
        m_atEnd = true;  // the trailer; the COPY's end follows
        while (m_connection && receive()) {
        }
        error = m_failureText;
        return m_failureText.empty();
    }
    whole = whole && count == fieldCount();
    for (std::size_t i = 0; whole && i < m_fields.size(); ++i) {
        whole = takeInteger(bytes, 4, value);
        if (whole && value < 0) {
            m_fields[i].reset();
        } else if (whole && std::size_t(value) <= bytes.size()) {
            m_fields[i] = bytes.substr(0, std::size_t(value));
            bytes.remove_prefix(std::size_t(value));
        } else {
            whole = false;
        }
    }
    if (whole)
        return true;
    m_atEnd = true;
    error = lang::tr("The database server sent rows in a form this program cannot read",
                     "数据库服务器发来的数据行格式无法读取");
    return false;
}

void StreamCursor::detach()
{
    if (m_connection) {
        // The current row's fields point into the message: it is kept as it is.
        if (m_received) {
            m_kept.assign(m_received, m_message.size());
            const char* old = m_message.data();
            m_message = m_kept;
            for (std::optional<std::string_view>& field : m_fields)
                if (field)
                    field = m_message.substr(std::size_t(field->data() - old), field->size());
            release();
        }
        char* row = nullptr;
        int length = 0;
        while ((length = PQgetCopyData(m_connection, &row, 0)) >= 0) {
            m_ahead.emplace_back(row, std::size_t(length));
            PQfreemem(row);
        }
        for (Result result(PQgetResult(m_connection)); result; result.reset(PQgetResult(m_connection)))
            if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && m_failureText.empty())
                m_failureText = m_failure(result.get());
        m_connection = nullptr;
    }
    // The back end may go before the cursor: nothing of it is used again.
    m_failure = nullptr;
    if (m_holder)
        *m_holder = nullptr;
    m_holder = nullptr;
}

std::optional<std::string_view> StreamCursor::field(int position) const
{
    return m_fields[std::size_t(position)];
}

}  // namespace store::pg
