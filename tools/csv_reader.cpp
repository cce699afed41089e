#include "tools/csv_reader.h"

#include <algorithm>
#include <cctype>

namespace dbtool {

namespace {

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

// A quoted field, from just after its opening quote. A doubled quote stands
// for one quote; line breaks inside belong to the value.
bool readQuoted(std::string_view text, std::size_t& i, std::size_t& line, std::string& field, CsvProblem& problem)
{
    const std::size_t startLine = line;
    for (;;) {
        if (i >= text.size()) {
            problem = {startLine, "a quoted field is not closed"};
            return false;
        }
        const char c = text[i++];
        if (c == '"') {
            if (i < text.size() && text[i] == '"') {
                field += '"';
                ++i;
                continue;
            }
            break;
        }
        if (c == '\n' || (c == '\r' && (i >= text.size() || text[i] != '\n')))
            ++line;
        field += c;
    }
    if (i < text.size() && text[i] != ',' && !isLineEnd(text[i])) {
        problem = {line, "text after the closing quote of a field (write a quote inside a quoted field as \"\")"};
        return false;
    }
    return true;
}

bool readPlain(std::string_view text, std::size_t& i, std::size_t line, std::string& field, CsvProblem& problem)
{
    while (i < text.size() && text[i] != ',' && !isLineEnd(text[i])) {
        if (text[i] == '"') {
            problem = {line, "a quote inside a field that does not start with a quote"};
            return false;
        }
        field += text[i++];
    }
    return true;
}

std::string trimmed(std::string_view s)
{
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

std::string lowered(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
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

bool readHeader(const CsvRecord& header, Columns& columns, std::vector<CsvProblem>& problems)
{
    const std::size_t before = problems.size();
    for (std::size_t i = 0; i < header.fields.size(); ++i) {
        const std::string name = lowered(trimmed(header.fields[i]));
        int* slot = name == "user_name" ? &columns.name
                    : name == "user_number" ? &columns.number
                    : name == "isluck" ? &columns.isluck
                    : nullptr;
        if (!slot)
            continue;
        if (*slot >= 0)
            problems.push_back({header.line, "the header names the column " + name + " twice"});
        *slot = int(i);
    }
    if (columns.name < 0 || columns.number < 0)
        problems.push_back({header.line, "the header row must name the columns user_name and user_number"});
    return problems.size() == before;
}

void readRow(const CsvRecord& record, const Columns& columns, std::size_t columnCount, std::vector<ImportRow>& rows,
             std::vector<CsvProblem>& problems)
{
    if (record.fields.size() != columnCount) {
        problems.push_back({record.line, "the row has " + std::to_string(record.fields.size()) +
                                             " fields, the header has " + std::to_string(columnCount)});
        return;
    }
    ImportRow row;
    row.line = record.line;
    row.name = trimmed(record.fields[std::size_t(columns.name)]);
    row.number = trimmed(record.fields[std::size_t(columns.number)]);
    row.isluck = columns.isluck >= 0 ? trimmed(record.fields[std::size_t(columns.isluck)]) : std::string();
    if (row.isluck.empty())
        row.isluck = "否";
    // Values are shown on one line and printed tab-separated by the tool, so
    // line breaks and tabs inside them would garble both.
    if (hasControlCharacter(row.name) || hasControlCharacter(row.number))
        problems.push_back({record.line, "user_name or user_number holds a line break, tab or control character"});
    else if (row.number.empty())
        problems.push_back({record.line, "user_number is empty"});
    else if (row.isluck != "是" && row.isluck != "否")
        problems.push_back({record.line, "isluck must be 是 or 否, not '" + row.isluck + "'"});
    else
        rows.push_back(std::move(row));
}

}  // namespace

bool parseCsv(std::string_view text, std::vector<CsvRecord>& records, CsvProblem& problem)
{
    records.clear();
    std::size_t i = 0;
    std::size_t line = 1;
    while (i < text.size()) {
        CsvRecord record;
        record.line = line;
        bool quotedSeen = false;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                quotedSeen = true;
                ++i;
                if (!readQuoted(text, i, line, field, problem))
                    return false;
            } else if (!readPlain(text, i, line, field, problem)) {
                return false;
            }
            record.fields.push_back(std::move(field));
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            break;
        }
        if (i < text.size() && text[i] == '\r')
            ++i;
        if (i < text.size() && text[i] == '\n')
            ++i;
        ++line;
        const bool blank = !quotedSeen && record.fields.size() == 1 && trimmed(record.fields[0]).empty();
        if (!blank)
            records.push_back(std::move(record));
    }
    return true;
}

void readParticipants(const std::vector<CsvRecord>& records, std::vector<ImportRow>& rows,
                      std::vector<CsvProblem>& problems)
{
    rows.clear();
    problems.clear();
    if (records.empty()) {
        problems.push_back({1, "the file has no header row"});
        return;
    }
    Columns columns;
    if (!readHeader(records.front(), columns, problems))
        return;
    const std::size_t columnCount = records.front().fields.size();
    for (std::size_t r = 1; r < records.size(); ++r) {
        // Spreadsheets write rows that were only formatted as ",,,": no participant, no error.
        const auto& fields = records[r].fields;
        if (std::all_of(fields.begin(), fields.end(), [](const std::string& f) { return trimmed(f).empty(); }))
            continue;
        readRow(records[r], columns, columnCount, rows, problems);
    }
}

}  // namespace dbtool
