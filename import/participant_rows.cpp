#include "import/participant_rows.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <iterator>

#include "platform/language/language.h"
#include "import/number_index.h"

namespace importer {

namespace {

std::string_view trimmedView(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::string trimmed(std::string_view s)
{
    return std::string(trimmedView(s));
}

// Trims in place, keeping the string's buffer.
std::string trimmedField(std::string& field)
{
    const std::string_view kept = trimmedView(field);
    if (kept.size() == field.size())
        return std::move(field);
    return std::string(kept);
}

std::string lowered(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
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
};

bool readHeader(const Record& header, const ColumnNames& names, Columns& columns, std::vector<Problem>& problems)
{
    const std::size_t before = problems.size();
    const std::string nameKey = lowered(trimmed(names.name)), numberKey = lowered(trimmed(names.number)),
                      isluckKey = lowered(trimmed(names.isluck));
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string name = lowered(trimmed(header.fields[i]));
        int* slot = name == nameKey ? &columns.name
                    : name == numberKey ? &columns.number
                    : name == isluckKey ? &columns.isluck
                    : nullptr;
        if (!slot)
            continue;
        if (*slot >= 0)
            problems.push_back({header.line, lang::trf("the header names the column %1 twice", "标题行两次出现列 %1",
                                                       {trimmed(header.fields[i])})});
        *slot = int(i);
    }
    if (columns.name < 0 || columns.number < 0)
        problems.push_back({header.line, lang::trf("the header row must name the columns %1 and %2",
                                                   "标题行必须含有列 %1 和 %2", {names.name, names.number})});
    return problems.size() == before;
}

// The reason a row cannot be imported, or "" when it can.
std::string rowProblem(const ImportRow& row)
{
    // Values are shown on one line and printed tab-separated by the tool, so
    // line breaks and tabs inside them would garble both.
    if (hasControlCharacter(row.name) || hasControlCharacter(row.number))
        return lang::tr("user_name or user_number holds a line break, tab or control character",
                        "user_name 或 user_number 含有换行、制表符或控制字符");
    if (row.name.empty())
        return lang::tr("user_name is empty", "user_name 为空");
    if (isSpreadsheetError(row.name) || isSpreadsheetError(row.number))
        return lang::trf("the row holds the spreadsheet error %1 instead of a value", "该行含有电子表格错误值 %1，而不是数据",
                         {isSpreadsheetError(row.name) ? row.name : row.number});
    if (row.number.empty())
        return lang::tr("user_number is empty", "user_number 为空");
    if (looksLikeScientificNumber(row.number))
        return lang::trf("user_number '%1' is in scientific notation, so its digits are lost; format the column "
                         "as text in the spreadsheet and enter the numbers again",
                         "user_number“%1”是科学计数法，数字已经丢失；请在电子表格中把该列设为文本格式并重新输入号码",
                         {row.number});
    if (row.isluck != "是" && row.isluck != "否")
        return lang::trf("isluck must be 是 or 否, not '%1'", "isluck 必须是“是”或“否”，而不是“%1”", {row.isluck});
    return {};
}

// The trimmed field at a column, "" beyond the end of a short row.
std::string takeField(Record& record, int column)
{
    return column >= 0 && std::size_t(column) < record.fields.size() ? trimmedField(record.fields[std::size_t(column)])
                                                                      : std::string();
}

void readRow(Record& record, const Columns& columns, std::size_t columnCount, RowWidth width,
             std::vector<ImportRow>& rows, std::vector<Problem>& problems)
{
    const std::size_t fields = record.fields.size();
    if (fields > columnCount || (fields < columnCount && width == RowWidth::AsHeader)) {
        problems.push_back({record.line, lang::trf("the row has %1 fields, the header has %2", "该行有 %1 个字段，标题行有 %2 个",
                                                   {std::to_string(fields), std::to_string(columnCount)})});
        return;
    }
    ImportRow row;
    row.line = record.line;
    row.name = takeField(record, columns.name);
    row.number = takeField(record, columns.number);
    row.isluck = takeField(record, columns.isluck);
    if (row.isluck.empty())
        row.isluck = "否";
    std::string problem = rowProblem(row);
    if (problem.empty())
        rows.push_back(std::move(row));
    else
        problems.push_back({record.line, std::move(problem)});
}

// One draw marks every row that shares a number, so a number may stand on one line only.
void findRepeatedNumbers(const std::vector<ImportRow>& rows, std::vector<Problem>& problems)
{
    NumberIndex index(rows);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const std::size_t first = index.insert(i);
        if (first != NumberIndex::npos)
            problems.push_back({rows[i].line, lang::trf("user_number %1 appears again; it is already on line %2",
                                                        "user_number %1 重复出现；第 %2 行已有该号码",
                                                        {rows[i].number, std::to_string(rows[first].line)})});
    }
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

void readParticipants(std::vector<Record> records, const ColumnNames& columns, std::vector<ImportRow>& rows,
                      std::vector<Problem>& problems, RowWidth width)
{
    rows.clear();
    rows.reserve(records.size());
    problems.clear();
    if (records.empty()) {
        problems.push_back({1, lang::tr("the file has no header row", "文件没有标题行")});
        return;
    }
    Columns found;
    if (!readHeader(records.front(), columns, found, problems))
        return;
    const std::size_t columnCount = records.front().fields.size();
    for (std::size_t r = 1; r < records.size(); ++r) {
        // Spreadsheets write rows that were only formatted as ",,,": no participant, no error.
        const auto& fields = records[r].fields;
        if (std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return trimmedView(f).empty(); }))
            continue;
        readRow(records[r], found, columnCount, width, rows, problems);
    }
    const std::size_t rowProblems = problems.size();
    findRepeatedNumbers(rows, problems);
    if (problems.size() != rowProblems)
        std::stable_sort(problems.begin(), problems.end(),
                         [](const Problem& a, const Problem& b) { return a.line < b.line; });
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
