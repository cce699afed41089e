#pragma once
// Writes the workbooks that import tests read: through libxlsxwriter, as a
// spreadsheet program would, or part by part into a ZIP file (libzip) for
// the cases no writer produces.

#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <xlsxwriter.h>
#include <zip.h>

namespace testsupport {

struct SheetCell {
    enum class Kind { Empty, Text, Number, FormulaText } kind = Kind::Empty;
    std::string text;  // the text, or a formula's cached result
    double number = 0;
};
inline SheetCell textCell(std::string text) { return {SheetCell::Kind::Text, std::move(text), 0}; }
inline SheetCell numberCell(double number) { return {SheetCell::Kind::Number, {}, number}; }
inline SheetCell formulaCell(std::string result) { return {SheetCell::Kind::FormulaText, std::move(result), 0}; }

// A workbook whose first sheet holds the rows (from A1). constantMemory
// makes the writer use inline strings instead of shared ones. A second sheet
// follows, which a reader must not take.
inline bool writeWorkbook(const std::string& path, const std::vector<std::vector<SheetCell>>& rows,
                          bool constantMemory = false)
{
    lxw_workbook_options options = {};
    options.constant_memory = constantMemory ? LXW_TRUE : LXW_FALSE;
    lxw_workbook* workbook = workbook_new_opt(path.c_str(), &options);
    if (!workbook)
        return false;
    lxw_worksheet* sheet = workbook_add_worksheet(workbook, "名单");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const SheetCell& cell = rows[r][c];
            const auto row = lxw_row_t(r);
            const auto col = lxw_col_t(c);
            if (cell.kind == SheetCell::Kind::Text)
                worksheet_write_string(sheet, row, col, cell.text.c_str(), nullptr);
            else if (cell.kind == SheetCell::Kind::Number)
                worksheet_write_number(sheet, row, col, cell.number, nullptr);
            else if (cell.kind == SheetCell::Kind::FormulaText)
                worksheet_write_formula_str(sheet, row, col, "=\"\"&\"x\"", nullptr, cell.text.c_str());
        }
    }
    lxw_worksheet* other = workbook_add_worksheet(workbook, "other");
    worksheet_write_string(other, 0, 0, "not this sheet", nullptr);
    return workbook_close(workbook) == LXW_NO_ERROR;
}

// A ZIP file of the given parts, stored as they are given.
inline bool writeZip(const std::string& path, const std::vector<std::pair<std::string, std::string>>& parts)
{
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    for (const auto& [name, content] : parts) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE) < 0) {
            zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    return zip_close(archive) == 0;
}

inline std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace testsupport
