#include "import/xlsx_reader.h"

#include <algorithm>
#include <charconv>

#include "platform/language/language.h"
#include "import/participant_rows.h"
#include "import/xlsx_parts.h"
#include "import/xml_reader.h"
#include "import/zip_archive.h"

namespace importer {

namespace {

// Format notes (ECMA-376): cells hold an index into the shared strings
// (t="s"), an inline string (t="inlineStr", its text in <is> like a shared
// string's), a formula's text (t="str"), a boolean (t="b"), an error (t="e")
// or a number (no t); cell and row positions ("B7", r="7") may be left out
// and then follow the previous one.
constexpr std::size_t kMaxColumns = 16384;  // column XFD
constexpr std::size_t kMaxRow = 1048576;
// What a kept cell costs beside its text.
constexpr std::size_t kCellOverhead = sizeof(std::string) + sizeof(std::size_t);

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

bool parseNumber(std::string_view text, std::size_t& value)
{
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// The sheet's rows as records, through the events of its XML.
class SheetHandler : public XmlHandler {
public:
    SheetHandler(const SharedStrings& strings, WorkbookBudget& budget, std::vector<Record>& records,
                 const ProgressFn& progress, const ZipEntry& entry)
        : m_strings(strings), m_budget(budget), m_records(records), m_progress(progress), m_entry(entry)
    {
    }

    bool startElement(std::string_view name, const XmlAttributes& attributes) override
    {
        if (m_cellDepth > 0) {
            m_cellDepth += name == "c";
            if (name == "v")
                m_inValue = true;
            m_inlineDepth += name == "is";
            m_phonetic += name == "rPh";
            m_inText = name == "t";
            return true;
        }
        if (name == "row")
            return startRow(attributes.value("r"));
        if (name == "c")
            return startCell(attributes.value("r"), attributes.value("t"));
        return true;
    }

    bool endElement(std::string_view name) override
    {
        m_inValue = false;
        m_inText = false;
        if (m_cellDepth > 0) {
            m_inlineDepth -= name == "is";
            m_phonetic -= name == "rPh";
            if (name != "c" || --m_cellDepth > 0)
                return true;
            return finishCell();
        }
        return name != "row" || finishRow();
    }

    bool text(std::string_view piece) override
    {
        const bool wanted = (m_inValue && m_inlineDepth == 0) || (m_inlineDepth > 0 && m_inText && m_phonetic == 0);
        if (m_cellDepth == 0 || !wanted)
            return true;
        std::string& into = m_inValue && m_inlineDepth == 0 ? m_value : m_inline;
        m_characters += characterCount(piece);
        if (m_characters > kMaxFieldChars)
            return refuse(m_row, lang::trf("a cell holds more than %1 characters ('%2')", "有单元格超过 %1 个字符（“%2”）",
                                           {std::to_string(kMaxFieldChars), quoteValue(into.empty() ? piece : into)}));
        into += piece;
        return true;
    }

    const Problem& problem() const { return m_problem; }

private:
    bool refuse(std::size_t line, std::string why)
    {
        m_problem = {line, std::move(why)};
        return false;
    }

    bool damaged(const std::string& what)
    {
        return refuse(m_row, lang::trf("the worksheet is damaged: %1", "工作表已损坏：%1", {what}));
    }

    bool startRow(std::string_view r)
    {
        std::size_t row = m_row + 1;
        if (!r.empty() && !(parseNumber(r, row) && row >= 1 && row <= kMaxRow))
            return damaged(lang::trf("bad row number '%1'", "行号“%1”无效", {quoteValue(r)}));
        m_row = row;
        m_column = std::size_t(-1);
        m_cells.clear();
        return true;
    }

    bool startCell(std::string_view reference, std::string_view type)
    {
        std::size_t column = m_column + 1;
        if (!reference.empty() && !columnOf(reference, column))
            return damaged(lang::trf("bad cell reference '%1'", "单元格引用“%1”无效", {quoteValue(reference)}));
        if (column >= kMaxColumns)
            return damaged(lang::tr("a cell right of the last column", "单元格超出了最后一列"));
        m_column = column;
        m_reference.assign(reference.substr(0, 16));
        m_type = cellTypeOf(type);
        m_value.clear();
        m_inline.clear();
        m_characters = 0;
        m_cellDepth = 1;
        return true;
    }

    bool finishCell()
    {
        std::string text;
        if (!cellText(text))
            return damaged(lang::trf("cell %1 refers to a shared string that does not exist",
                                     "单元格 %1 引用了不存在的共享字符串", {quoteValue(m_reference)}));
        // Cells right of the header are never read; others are kept against the budget.
        if (text.empty() || (!m_records.empty() && m_column >= m_width))
            return true;
        if (!m_budget.keep(text.size() + kCellOverhead))
            return refuse(0, WorkbookBudget::exceeded());
        m_cells.push_back({m_column, std::move(text)});
        return true;
    }

    bool cellText(std::string& text)
    {
        switch (m_type) {
        case CellType::SharedString: {
            std::size_t index = 0;
            if (!parseNumber(m_value, index) || index >= m_strings.size())
                return false;
            text = m_strings.at(index);
            return true;
        }
        case CellType::InlineString:
            text = std::move(m_inline);
            return true;
        case CellType::Boolean:
            text = m_value == "1" ? "TRUE" : m_value == "0" ? "FALSE" : m_value;
            return true;
        case CellType::Text:
            text = m_value;
            return true;
        case CellType::Number:
            text = plainNumberText(m_value);
            return true;
        }
        return true;
    }

    // A record as wide as the row's last cell within the header's width.
    bool finishRow()
    {
        if (m_records.empty())
            for (const Cell& cell : m_cells)
                m_width = std::max(m_width, cell.column + 1);
        std::size_t width = 0;
        for (const Cell& cell : m_cells)
            if (cell.column < m_width)
                width = std::max(width, cell.column + 1);
        if (width > 0) {
            if (!m_budget.keep(sizeof(Record) + width * sizeof(std::string)))
                return refuse(0, WorkbookBudget::exceeded());
            Record record;
            record.line = m_row;
            record.fields.resize(width);
            for (Cell& cell : m_cells)
                if (cell.column < width)
                    record.fields[cell.column] = std::move(cell.text);
            m_records.push_back(std::move(record));
        }
        if (m_progress && ++m_rowsRead % kProgressStep == 0 &&
            !m_progress({Progress::Stage::Reading, std::size_t(m_entry.consumed()), std::size_t(m_entry.statedSize())}))
            return refuse(0, lang::tr("the import was stopped", "导入已停止"));
        return true;
    }

    const SharedStrings& m_strings;
    WorkbookBudget& m_budget;
    std::vector<Record>& m_records;
    const ProgressFn& m_progress;
    const ZipEntry& m_entry;
    std::vector<Cell> m_cells;
    std::size_t m_row = 0;
    std::size_t m_column = 0;
    std::size_t m_width = 0;
    std::size_t m_rowsRead = 0;
    // The cell being read.
    int m_cellDepth = 0;  // <c> elements open (a damaged file may nest them)
    int m_inlineDepth = 0;
    int m_phonetic = 0;
    bool m_inValue = false;
    bool m_inText = false;
    CellType m_type = CellType::Number;
    std::string m_reference;
    std::string m_value;
    std::string m_inline;
    std::size_t m_characters = 0;
    Problem m_problem;
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
    WorkbookBudget budget(bytes.size());
    WorkbookParts parts;
    SharedStrings strings;
    std::string error;
    if (!findParts(zip, parts, error) ||
        (!parts.sharedStrings.empty() && zip.contains(parts.sharedStrings) &&
         !readSharedStrings(zip, parts.sharedStrings, budget, strings, error))) {
        problem = {0, error};
        return false;
    }
    ZipEntry entry(zip, parts.sheet, budget.partLimit());
    if (!entry.isOpen()) {
        problem = {0, entry.error()};
        return false;
    }
    SheetHandler sheet(strings, budget, records, progress, entry);
    XmlReader reader;
    switch (reader.read([&entry](std::string& chunk) { return entry.next(chunk); }, sheet)) {
    case XmlResult::Done:
        return true;
    case XmlResult::Stopped:
        problem = sheet.problem();
        break;
    case XmlResult::Invalid:
        problem = {0, damagedPart(parts.sheet, reader)};
        break;
    case XmlResult::FeedFailed:
        problem = {0, entry.error()};
        break;
    }
    records.clear();
    return false;
}

}  // namespace importer
