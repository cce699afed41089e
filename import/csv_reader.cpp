#include "import/csv_reader.h"

#include <algorithm>

#include "platform/language/language.h"
#include "import/text_encoding.h"

namespace importer {

namespace {

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

bool startsCharacter(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
}

// A field no spreadsheet cell could hold is refused before it is kept.
bool tooLong(std::string_view start, std::size_t line, Problem& problem)
{
    problem = {line, lang::trf("a field is longer than %1 characters, more than a spreadsheet cell holds ('%2')",
                               "有字段超过 %1 个字符，比电子表格的单元格所能容纳的还多（“%2”）",
                               {std::to_string(kMaxFieldChars), quoteValue(start)})};
    return false;
}

// A quoted field, from just after its opening quote. A doubled quote stands
// for one quote; line breaks inside belong to the value.
bool readQuoted(std::string_view text, char delimiter, std::size_t& i, std::size_t& line, std::string& field,
                Problem& problem)
{
    const std::size_t startLine = line;
    std::size_t characters = 0;
    for (;;) {
        if (i >= text.size()) {
            problem = {startLine, lang::tr("a quoted field is not closed", "带引号的字段没有结束引号")};
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
        if (startsCharacter(c) && ++characters > kMaxFieldChars)
            return tooLong(field, startLine, problem);
        field += c;
    }
    if (i < text.size() && text[i] != delimiter && !isLineEnd(text[i])) {
        problem = {line, lang::tr("text after the closing quote of a field (write a quote inside a quoted field as \"\")",
                                  "字段的结束引号后面还有文字（带引号的字段中的引号要写成 \"\"）")};
        return false;
    }
    return true;
}

bool readPlain(std::string_view text, char delimiter, std::size_t& i, std::size_t line, std::string& field,
               Problem& problem)
{
    const std::size_t start = i;
    std::size_t characters = 0;
    while (i < text.size() && text[i] != delimiter && !isLineEnd(text[i])) {
        if (text[i] == '"') {
            problem = {line, lang::tr("a quote inside a field that does not start with a quote",
                                      "不以引号开头的字段中含有引号")};
            return false;
        }
        if (startsCharacter(text[i]) && ++characters > kMaxFieldChars)
            return tooLong(text.substr(start, i - start), line, problem);
        ++i;
    }
    field.assign(text.substr(start, i - start));
    return true;
}

bool isBlank(std::string_view s)
{
    return s.find_first_not_of(" \t") == std::string_view::npos;
}

}  // namespace

bool parseCsv(std::string_view text, std::vector<Record>& records, Problem& problem, char delimiter)
{
    records.clear();
    // One record a line, nearly always: one allocation instead of a series of regrowths.
    records.reserve(std::size_t(std::count(text.begin(), text.end(), '\n')) + 1);
    std::size_t width = 0;
    std::size_t i = 0;
    std::size_t line = 1;
    while (i < text.size()) {
        Record record;
        record.line = line;
        record.fields.reserve(width);
        bool quotedSeen = false;
        for (;;) {
            std::string field;
            if (i < text.size() && text[i] == '"') {
                quotedSeen = true;
                ++i;
                if (!readQuoted(text, delimiter, i, line, field, problem))
                    return false;
            } else if (!readPlain(text, delimiter, i, line, field, problem)) {
                return false;
            }
            record.fields.push_back(std::move(field));
            if (i < text.size() && text[i] == delimiter) {
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
        const bool blank = !quotedSeen && record.fields.size() == 1 && isBlank(record.fields[0]);
        if (!blank) {
            width = std::max(width, record.fields.size());
            records.push_back(std::move(record));
        }
    }
    return true;
}

char detectDelimiter(std::string_view text)
{
    const std::string_view firstLine = text.substr(0, text.find_first_of("\r\n"));
    const bool tab = firstLine.find('\t') != std::string_view::npos;
    return tab && firstLine.find(',') == std::string_view::npos ? '\t' : ',';
}

bool readCsv(std::string_view bytes, std::vector<Record>& records, Problem& problem)
{
    records.clear();
    const DecodedText decoded = decodeText(bytes);
    if (!decoded.ok) {
        problem = {decoded.errorLine, decoded.error};
        return false;
    }
    return parseCsv(decoded.text(), records, problem, detectDelimiter(decoded.text()));
}

}  // namespace importer
