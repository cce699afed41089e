#include "import/xlsx_reader.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <utility>

#include "platform/language/language.h"
#include "import/participant_rows.h"
#include "import/xml_pull.h"
#include "import/zip_archive.h"

namespace importer {

namespace {

// Format notes (ECMA-376): _rels/.rels names the workbook part; the
// workbook's <sheets> lists the tabs in order, each naming its part through a
// relationship id in the workbook's own .rels; cells hold an index into the
// shared strings (t="s"), an inline string (t="inlineStr"), a formula's text
// (t="str"), a boolean (t="b"), an error (t="e") or a number (no t); cell and
// row positions ("B7", r="7") may be left out and then follow the previous one.
constexpr std::size_t kMaxSmallPart = 16u << 20;
constexpr std::size_t kMaxStringsPart = 512u << 20;
constexpr std::size_t kMaxSheetPart = 2048u << 20;
constexpr std::size_t kMaxColumns = 16384;   // column XFD
constexpr std::size_t kMaxRow = 1048576;
// A sheet unpacks from little: the cells kept are limited before they exhaust memory.
constexpr std::size_t kMaxCells = std::size_t(32) << 20;

using Feed = XmlPull::Feed;

Feed wholeText(const std::string& text)
{
    return [&text, given = false](std::string& chunk) mutable {
        chunk = given ? std::string() : text;
        given = true;
        return true;
    };
}

std::string damagedPart(const std::string& part, const XmlPull& pull)
{
    return lang::trf("the workbook's part %1 is damaged (XML line %2: %3)", "工作簿中的 %1 部分已损坏（XML 第 %2 行：%3）",
                     {part, std::to_string(pull.lineNumber()), pull.errorString()});
}

struct Relationship {
    std::string type;
    std::string target;
};

// id -> relationship, from a .rels part.
std::map<std::string, Relationship> readRelationships(const std::string& text)
{
    std::map<std::string, Relationship> relationships;
    XmlPull pull(wholeText(text));
    while (pull.advance()) {
        if (pull.isStart("Relationship"))
            relationships[std::string(pull.attribute("Id"))] = {std::string(pull.attribute("Type")),
                                                                std::string(pull.attribute("Target"))};
    }
    return relationships;
}

bool endsWith(const std::string& s, std::string_view end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// A relationship's target as a part name: absolute ("/xl/...") or relative to
// the folder of the part that refers to it.
std::string resolvePart(const std::string& folder, const std::string& target)
{
    if (!target.empty() && target.front() == '/')
        return target.substr(1);
    std::string base = folder;
    std::string rest = target;
    while (rest.rfind("../", 0) == 0) {
        rest.erase(0, 3);
        const std::size_t slash = base.find_last_of('/', base.empty() ? 0 : base.size() - 2);
        base = slash == std::string::npos ? std::string() : base.substr(0, slash + 1);
    }
    return base + rest;
}

std::string folderOf(const std::string& part)
{
    const std::size_t slash = part.find_last_of('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// The relationship id of the first <sheet> of the workbook. Its attribute is
// r:id in a namespace that differs between transitional and strict files.
std::string firstSheetId(const std::string& workbook)
{
    XmlPull pull(wholeText(workbook));
    while (pull.advance()) {
        if (pull.isStart("sheet") && !pull.prefixedAttribute("id").empty())
            return std::string(pull.prefixedAttribute("id"));
    }
    return {};
}

struct WorkbookParts {
    std::string sheet;
    std::string sharedStrings;  // "" when the workbook has none
};

bool findParts(ZipArchive& zip, WorkbookParts& parts, std::string& error)
{
    std::string text;
    std::string workbookPart = "xl/workbook.xml";
    if (zip.read("_rels/.rels", kMaxSmallPart, text))
        for (const auto& [id, r] : readRelationships(text))
            if (endsWith(r.type, "/officeDocument"))
                workbookPart = resolvePart("", r.target);
    std::string workbook;
    if (!zip.read(workbookPart, kMaxSmallPart, workbook)) {
        error = zip.error();
        return false;
    }
    const std::string folder = folderOf(workbookPart);
    const std::string relsPart = folder + "_rels/" + workbookPart.substr(folder.size()) + ".rels";
    const auto relationships = zip.read(relsPart, kMaxSmallPart, text) ? readRelationships(text)
                                                                        : std::map<std::string, Relationship>();
    for (const auto& [id, r] : relationships)
        if (endsWith(r.type, "/sharedStrings"))
            parts.sharedStrings = resolvePart(folder, r.target);
    const auto sheet = relationships.find(firstSheetId(workbook));
    if (sheet == relationships.end()) {
        error = lang::tr("the workbook has no worksheet", "工作簿中没有工作表");
        return false;
    }
    parts.sheet = resolvePart(folder, sheet->second.target);
    return true;
}

// The text of a string item (<si> or <is>): its <t> elements, without the
// phonetic guides (<rPh>) that East Asian spreadsheets add.
void collectText(XmlPull& pull, std::string_view element, std::string& out)
{
    int phonetic = 0;
    bool inText = false;
    while (pull.advance()) {
        const auto token = pull.token();
        if (token == XmlPull::Token::StartElement) {
            const std::string_view name = pull.name();
            phonetic += name == "rPh";
            inText = name == "t";
        } else if (token == XmlPull::Token::EndElement) {
            const std::string_view name = pull.name();
            if (name == element)
                return;
            phonetic -= name == "rPh";
            inText = false;
        } else if (token == XmlPull::Token::Text && inText && phonetic == 0) {
            out += pull.text();
        }
    }
}

bool readSharedStrings(ZipArchive& zip, const std::string& part, std::vector<std::string>& strings,
                       std::string& error)
{
    ZipEntry entry(zip, part, kMaxStringsPart);
    if (!entry.isOpen()) {
        error = entry.error();
        return false;
    }
    XmlPull pull([&entry](std::string& chunk) { return entry.next(chunk); });
    while (pull.advance()) {
        if (pull.isStart("si")) {
            strings.emplace_back();
            collectText(pull, "si", strings.back());
        }
    }
    if (pull.feedFailed())
        error = entry.error();
    else if (pull.hasError())
        error = damagedPart(part, pull);
    return error.empty();
}

}  // namespace

namespace {

struct Cell {
    std::size_t column = 0;
    std::string text;
};

enum class CellType { Number, SharedString, InlineString, Boolean, Text };

// A cell's t attribute; formulas' text, errors and dates are kept as written,
// and anything else is read as a number, as before.
CellType cellTypeOf(std::string_view type)
{
    if (type == "s")
        return CellType::SharedString;
    if (type == "inlineStr")
        return CellType::InlineString;
    if (type == "b")
        return CellType::Boolean;
    if (type == "str" || type == "e" || type == "d")
        return CellType::Text;
    return CellType::Number;
}

// The 0-based column of a reference such as "AB12".
bool columnOf(std::string_view reference, std::size_t& column)
{
    std::size_t value = 0, letters = 0;
    while (letters < reference.size() && reference[letters] >= 'A' && reference[letters] <= 'Z') {
        value = value * 26 + std::size_t(reference[letters] - 'A' + 1);
        if (++letters > 3)
            return false;
    }
    if (letters == 0 || value > kMaxColumns)
        return false;
    column = value - 1;
    return true;
}

bool parseNumber(const std::string& text, std::size_t& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

bool parseCount(const std::string& text, std::size_t limit, std::size_t& value)
{
    return parseNumber(text, value) && value >= 1 && value <= limit;
}

class SheetReader {
public:
    SheetReader(const std::vector<std::string>& strings, std::vector<Record>& records)
        : m_strings(strings), m_records(records)
    {
    }

    // Reads the sheet up to its end; false with the problem.
    bool read(XmlPull& pull, const ProgressFn& progress, const ZipEntry& entry, Problem& problem)
    {
        std::size_t rowsRead = 0;
        while (pull.advance()) {
            if (pull.isStart("row")) {
                if (!startRow(pull, problem))
                    return false;
            } else if (pull.isStart("c")) {
                if (!readCell(pull, problem))
                    return false;
            } else if (pull.isEnd("row")) {
                if (!finishRow(problem))
                    return false;
                if (progress && ++rowsRead % kProgressStep == 0 &&
                    !progress({Progress::Stage::Reading, std::size_t(entry.consumed()), std::size_t(entry.statedSize())})) {
                    problem = {0, lang::tr("the import was stopped", "导入已停止")};
                    return false;
                }
            }
        }
        return true;
    }

private:
    bool damaged(const std::string& what, Problem& problem) const
    {
        problem = {m_row, lang::trf("the worksheet is damaged: %1", "工作表已损坏：%1", {what})};
        return false;
    }

    bool startRow(XmlPull& pull, Problem& problem)
    {
        const std::string r(pull.attribute("r"));
        std::size_t row = m_row + 1;
        if (!r.empty() && !parseCount(r, kMaxRow, row))
            return damaged(lang::trf("bad row number '%1'", "行号“%1”无效", {r}), problem);
        m_row = row;
        m_column = std::size_t(-1);
        m_cells.clear();
        return true;
    }

    bool readCell(XmlPull& pull, Problem& problem)
    {
        const std::string reference(pull.attribute("r"));
        const CellType type = cellTypeOf(pull.attribute("t"));
        std::size_t column = m_column + 1;
        if (!reference.empty() && !columnOf(reference, column))
            return damaged(lang::trf("bad cell reference '%1'", "单元格引用“%1”无效", {reference}), problem);
        if (column >= kMaxColumns)
            return damaged(lang::tr("a cell right of the last column", "单元格超出了最后一列"), problem);
        m_column = column;
        std::string value, inlineText;
        bool inValue = false;
        while (pull.advance() && !pull.isEnd("c")) {
            if (pull.isStart("is"))
                collectText(pull, "is", inlineText);
            else if (pull.token() == XmlPull::Token::StartElement || pull.token() == XmlPull::Token::EndElement)
                inValue = pull.isStart("v");
            else if (pull.token() == XmlPull::Token::Text && inValue)
                value += pull.text();
        }
        std::string text;
        if (!cellText(type, value, inlineText, text))
            return damaged(lang::trf("cell %1 refers to a shared string that does not exist", "单元格 %1 引用了不存在的共享字符串",
                                     {reference}),
                           problem);
        if (!text.empty())
            m_cells.push_back({column, std::move(text)});
        return true;
    }

    bool cellText(CellType type, const std::string& value, std::string& inlineText, std::string& text) const
    {
        if (type == CellType::SharedString) {
            std::size_t index = 0;
            if (!parseNumber(value, index) || index >= m_strings.size())
                return false;
            text = m_strings[index];
        } else if (type == CellType::InlineString) {
            text = std::move(inlineText);
        } else if (type == CellType::Boolean) {
            text = value == "1" ? "TRUE" : value == "0" ? "FALSE" : value;
        } else if (type == CellType::Text) {
            text = value;
        } else {
            text = plainNumberText(value);
        }
        return true;
    }

    // A record as wide as the row's last cell within the header's width.
    bool finishRow(Problem& problem)
    {
        if (m_records.empty())
            for (const Cell& cell : m_cells)
                m_width = std::max(m_width, cell.column + 1);
        std::size_t width = 0;
        for (const Cell& cell : m_cells)
            if (cell.column < m_width)
                width = std::max(width, cell.column + 1);
        if (width == 0)
            return true;
        m_cellCount += width;
        if (m_cellCount > kMaxCells) {
            problem = {m_row, lang::tr("the worksheet has too many cells to import", "工作表的单元格太多，无法导入")};
            return false;
        }
        Record record;
        record.line = m_row;
        record.fields.resize(width);
        for (Cell& cell : m_cells)
            if (cell.column < width)
                record.fields[cell.column] = std::move(cell.text);
        m_records.push_back(std::move(record));
        return true;
    }

    const std::vector<std::string>& m_strings;
    std::vector<Record>& m_records;
    std::vector<Cell> m_cells;
    std::size_t m_row = 0;
    std::size_t m_column = 0;
    std::size_t m_width = 0;
    std::size_t m_cellCount = 0;
};

}  // namespace

bool readXlsx(std::string_view bytes, std::vector<Record>& records, Problem& problem, const ProgressFn& progress)
{
    records.clear();
    ZipArchive zip(bytes);
    if (!zip.isOpen()) {
        problem = {0, lang::trf("the file is not an XLSX workbook (%1)", "文件不是 XLSX 工作簿（%1）", {zip.error()})};
        return false;
    }
    WorkbookParts parts;
    std::vector<std::string> strings;
    std::string error;
    if (!findParts(zip, parts, error) ||
        (!parts.sharedStrings.empty() && zip.contains(parts.sharedStrings) &&
         !readSharedStrings(zip, parts.sharedStrings, strings, error))) {
        problem = {0, error};
        return false;
    }
    ZipEntry entry(zip, parts.sheet, kMaxSheetPart);
    if (!entry.isOpen()) {
        problem = {0, entry.error()};
        return false;
    }
    XmlPull pull([&entry](std::string& chunk) { return entry.next(chunk); });
    SheetReader sheet(strings, records);
    if (!sheet.read(pull, progress, entry, problem))
        return false;
    if (pull.feedFailed() || pull.hasError()) {
        problem = {0, pull.feedFailed() ? entry.error() : damagedPart(parts.sheet, pull)};
        return false;
    }
    return true;
}

}  // namespace importer
