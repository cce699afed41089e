#include "import/participant_rows.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>
#include <utility>

#include "platform/language/language.h"
#include "import/number_index.h"

namespace importer {

namespace {

std::string lowered(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// Trims in place, keeping the string's buffer.
std::string trimmedField(std::string& field)
{
    const std::string_view kept = trimmedView(field);
    if (kept.size() == field.size())
        return std::move(field);
    return std::string(kept);
}

// What a spreadsheet shows (and writes to CSV) for a formula that failed.
bool isSpreadsheetError(const std::string& s)
{
    static const char* const kErrors[] = {"#NULL!", "#DIV/0!", "#VALUE!", "#REF!",   "#NAME?", "#NUM!",
                                          "#N/A",   "#SPILL!", "#CALC!",  "#FIELD!", "#GETTING_DATA"};
    return std::any_of(std::begin(kErrors), std::end(kErrors), [&](const char* e) { return s == e; });
}

bool hasControlCharacter(const std::string& s)
{
    return std::any_of(s.begin(), s.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 || u == 0x7F;
    });
}

struct Columns {
    int name = -1;
    int number = -1;
    int isluck = -1;
    int group = -1;
};

std::string alternatives(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names)
        out += (out.empty() ? "" : "/") + quoteValue(name);
    return out;
}

// Each role takes the first of its names that the header holds; a name
// the header holds twice is ambiguous.
bool readHeader(const Record& header, const ColumnNames& names, Columns& columns, ParticipantList& list,
                ProblemList& problems)
{
    const std::size_t before = problems.size();
    std::vector<std::string> cells;
    for (const std::string& field : header.fields)
        cells.push_back(lowered(trimmedView(field)));
    std::vector<char> taken(cells.size(), 0);
    const struct {
        const char* role;
        const std::vector<std::string>& candidates;
        int& column;
    } roles[] = {{"user_name", names.name, columns.name},
                 {"user_number", names.number, columns.number},
                 {"isluck", names.isluck, columns.isluck},
                 {"group", names.group, columns.group}};
    for (const auto& role : roles) {
        for (const std::string& candidate : role.candidates) {
            const std::string key = lowered(trimmedView(candidate));
            std::vector<std::size_t> found;
            for (std::size_t i = 0; i < cells.size(); ++i)
                if (!taken[i] && cells[i] == key)
                    found.push_back(i);
            if (found.empty())
                continue;
            const std::string shown(trimmedView(header.fields[found[0]]));
            if (found.size() > 1)
                problems.add(header.line, lang::trf("the header names the column %1 twice", "标题行两次出现列 %1",
                                                    {quoteValue(shown)}));
            role.column = int(found[0]);
            taken[found[0]] = 1;
            list.columns.push_back({shown, role.role, &candidate != &role.candidates.front()});
            break;
        }
    }
    if (columns.name < 0 || columns.number < 0)
        problems.add(header.line, lang::trf("the header row must name the columns %1 and %2", "标题行必须含有列 %1 和 %2",
                                            {alternatives(names.name), alternatives(names.number)}));
    list.hasGroup = columns.group >= 0;
    return problems.size() == before;
}

enum class Fault { None, Control, GroupControl, EmptyName, SpreadsheetError, EmptyNumber, TooLong, Scientific, Isluck };

Fault rowFault(const ImportRow& row)
{
    // Values are shown on one line and printed tab-separated by the tool, so
    // line breaks and tabs inside them would garble both.
    if (hasControlCharacter(row.name) || hasControlCharacter(row.number))
        return Fault::Control;
    if (hasControlCharacter(row.group))
        return Fault::GroupControl;
    if (row.name.empty())
        return Fault::EmptyName;
    if (isSpreadsheetError(row.name) || isSpreadsheetError(row.number))
        return Fault::SpreadsheetError;
    if (row.number.empty())
        return Fault::EmptyNumber;
    for (const std::string* value : {&row.name, &row.number, &row.group})
        if (value->size() > kMaxValueChars && characterCount(*value) > kMaxValueChars)
            return Fault::TooLong;
    if (looksLikeScientificNumber(row.number))
        return Fault::Scientific;
    if (row.isluck != "是" && row.isluck != "否")
        return Fault::Isluck;
    return Fault::None;
}

// The message for a fault, made only for the problems that are kept.
std::string faultMessage(Fault fault, const ImportRow& row)
{
    switch (fault) {
    case Fault::None:
        break;
    case Fault::Control:
        return lang::tr("user_name or user_number holds a line break, tab or control character",
                        "user_name 或 user_number 含有换行、制表符或控制字符");
    case Fault::GroupControl:
        return lang::tr("the group holds a line break, tab or control character", "分组含有换行、制表符或控制字符");
    case Fault::EmptyName:
        return lang::tr("user_name is empty", "user_name 为空");
    case Fault::SpreadsheetError:
        return lang::trf("the row holds the spreadsheet error %1 instead of a value", "该行含有电子表格错误值 %1，而不是数据",
                         {isSpreadsheetError(row.name) ? row.name : row.number});
    case Fault::EmptyNumber:
        return lang::tr("user_number is empty", "user_number 为空");
    case Fault::TooLong: {
        const bool name = characterCount(row.name) > kMaxValueChars;
        const bool number = !name && characterCount(row.number) > kMaxValueChars;
        const std::string& value = name ? row.name : number ? row.number : row.group;
        return lang::trf("%1 is longer than %2 characters ('%3')", "%1 超过 %2 个字符（“%3”）",
                         {name ? "user_name" : number ? "user_number" : "group", std::to_string(kMaxValueChars),
                          quoteValue(value)});
    }
    case Fault::Scientific:
        return lang::trf("user_number '%1' is in scientific notation, so its digits are lost; format the column "
                         "as text in the spreadsheet and enter the numbers again",
                         "user_number“%1”是科学计数法，数字已经丢失；请在电子表格中把该列设为文本格式并重新输入号码",
                         {quoteValue(row.number)});
    case Fault::Isluck:
        return lang::trf("isluck must be 是 or 否, not '%1'", "isluck 必须是“是”或“否”，而不是“%1”", {quoteValue(row.isluck)});
    }
    return {};
}

// The trimmed field at a column, "" beyond the end of a short row.
std::string takeField(Record& record, int column)
{
    return column >= 0 && std::size_t(column) < record.fields.size() ? trimmedField(record.fields[std::size_t(column)])
                                                                      : std::string();
}

void readRow(Record& record, const Columns& columns, std::size_t columnCount, RowWidth width,
             std::vector<ImportRow>& rows, ProblemList& problems)
{
    const std::size_t fields = record.fields.size();
    if (fields > columnCount || (fields < columnCount && width == RowWidth::AsHeader)) {
        if (problems.keeps(record.line))
            problems.add(record.line, lang::trf("the row has %1 fields, the header has %2", "该行有 %1 个字段，标题行有 %2 个",
                                                {std::to_string(fields), std::to_string(columnCount)}));
        else
            problems.tally();
        return;
    }
    ImportRow row;
    row.line = record.line;
    row.name = takeField(record, columns.name);
    row.number = takeField(record, columns.number);
    row.isluck = takeField(record, columns.isluck);
    row.group = takeField(record, columns.group);
    if (row.isluck.empty())
        row.isluck = "否";
    const Fault fault = rowFault(row);
    if (fault == Fault::None)
        rows.push_back(std::move(row));
    else if (problems.keeps(record.line))
        problems.add(record.line, faultMessage(fault, row));
    else
        problems.tally();
}

// One draw marks every row that shares a number, so a number may stand on one line only.
void findRepeatedNumbers(const std::vector<ImportRow>& rows, ProblemList& problems)
{
    NumberIndex index(rows);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t first = index.insert(i);
        if (first == NumberIndex::npos)
            continue;
        if (!problems.keeps(rows[i].line)) {
            problems.tally();
            continue;
        }
        problems.add(rows[i].line, lang::trf("user_number %1 appears again; it is already on line %2",
                                             "user_number %1 重复出现；第 %2 行已有该号码",
                                             {quoteValue(rows[i].number), std::to_string(rows[first].line)}));
    }
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void readParticipants(std::vector<Record> records, const ColumnNames& columns, ParticipantList& list,
                      ProblemList& problems, RowWidth width)
{
    list = ParticipantList();
    problems = ProblemList();
    if (records.empty()) {
        problems.add(1, lang::tr("the file has no header row", "文件没有标题行"));
        return;
    }
    Columns found;
    if (!readHeader(records.front(), columns, found, list, problems))
        return;
    list.rows.reserve(records.size());
    const std::size_t columnCount = records.front().fields.size();
    for (std::size_t r = 1; r < records.size(); ++r) {
        // Spreadsheets write rows that were only formatted as ",,,": no participant, no error.
        const auto& fields = records[r].fields;
        if (std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return trimmedView(f).empty(); }))
            continue;
        readRow(records[r], found, columnCount, width, list.rows, problems);
    }
    findRepeatedNumbers(list.rows, problems);
}

std::string describeColumns(const std::vector<ColumnUse>& columns)
{
    std::string out;
    for (const ColumnUse& use : columns)
        if (use.alternative)
            out += (out.empty() ? "" : ", ") + quoteValue(use.header) + " → " + use.role;
    return out;
}

bool looksLikeScientificNumber(std::string_view text)
{
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    const std::size_t e = text.find_first_of("eE");
    if (e == std::string_view::npos || e + 2 > text.size())
        return false;
    std::string_view mantissa = text.substr(0, e);
    const std::string_view exponent = text.substr(e + 1);
    if (exponent.front() != '+' && exponent.front() != '-')
        return false;
    const std::size_t point = mantissa.find_first_of(".,");
    if (point != std::string_view::npos && !allDigits(mantissa.substr(point + 1)))
        return false;
    return allDigits(mantissa.substr(0, point)) && allDigits(exponent.substr(1));
}

std::string plainNumberText(std::string_view text)
{
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    constexpr double kLargestExact = 1e15;  // every integer up to here survives a double and its printing
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        std::fabs(value) >= kLargestExact || value != std::trunc(value))
        return std::string(text);
    return std::to_string(static_cast<long long>(value));
}

}  // namespace importer
