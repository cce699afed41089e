#include "export/results_export.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include <xlsxwriter.h>

#include "export/file_replace.h"
#include "export/masking.h"
#include "platform/language/language.h"
#include "store/utf8.h"

namespace exporter {
namespace {

namespace fs = std::filesystem;

// A name such as "=HYPERLINK(...)" or "@SUM(...)" from a participant list
// must stay a text when the results are opened in a spreadsheet.
std::string neutralised(std::string text)
{
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        text.insert(text.begin(), '\'');
    return text;
}

std::string csvField(const std::string& value)
{
    const std::string text = neutralised(store::ValidUtf8(value));
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + "\"";
}

std::string roundText(const std::optional<long long>& round)
{
    return round ? std::to_string(*round) : std::string();
}

std::vector<std::string> fieldsOf(const ResultRow& row)
{
    return {row.level, std::to_string(row.drawId), draw::LocalTimeText(row.time), std::to_string(row.position),
            row.name, row.number, row.note, roundText(row.round), row.prize};
}

bool writeCsv(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& lines,
              const std::string& path, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "\xEF\xBB\xBF";
    auto writeLine = [&out](const std::vector<std::string>& fields) {
        for (std::size_t i = 0; i < fields.size(); ++i)
            out << (i ? "," : "") << csvField(fields[i]);
        out << "\r\n";
    };
    writeLine(titles);
    for (const std::vector<std::string>& line : lines)
        writeLine(line);
    out.close();
    if (!out) {
        error = lang::trf("cannot write '%1'", "无法写入“%1”", {path});
        return false;
    }
    return true;
}

lxw_datetime excelTime(const std::string& utcIso)
{
    lxw_datetime when{};
    const std::string local = draw::LocalTimeText(utcIso);
    if (std::sscanf(local.c_str(), "%4d-%2d-%2d %2d:%2d:%lf", &when.year, &when.month, &when.day, &when.hour,
                    &when.min, &when.sec) != 6)
        when = lxw_datetime{};
    return when;
}

bool writeXlsx(const std::vector<ResultRow>& rows, const std::string& path, std::string& error)
{
    lxw_workbook* book = workbook_new(path.c_str());
    if (!book) {
        error = lang::trf("cannot write '%1'", "无法写入“%1”", {path});
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* timeFormat = workbook_add_format(book);
    format_set_num_format(timeFormat, "yyyy-mm-dd hh:mm:ss");
    lxw_format* titleFormat = workbook_add_format(book);
    format_set_bold(titleFormat);
    const std::vector<std::string> titles = ResultColumns();
    for (std::size_t c = 0; c < titles.size(); ++c)
        worksheet_write_string(sheet, 0, lxw_col_t(c), titles[c].c_str(), titleFormat);
    worksheet_set_column(sheet, 0, 0, 12, nullptr);
    worksheet_set_column(sheet, 2, 2, 20, nullptr);
    worksheet_set_column(sheet, 4, 6, 24, nullptr);
    worksheet_set_column(sheet, 8, 8, 24, nullptr);
    lxw_error status = LXW_NO_ERROR;
    auto keep = [&status](lxw_error e) {
        if (status == LXW_NO_ERROR)
            status = e;
    };
    lxw_row_t r = 1;
    for (const ResultRow& row : rows) {
        // Texts stay texts: a number such as 13800000001 must not become 1.38E+10.
        keep(worksheet_write_string(sheet, r, 0, store::ValidUtf8(row.level).c_str(), nullptr));
        keep(worksheet_write_number(sheet, r, 1, double(row.drawId), nullptr));
        lxw_datetime when = excelTime(row.time);
        keep(when.year ? worksheet_write_datetime(sheet, r, 2, &when, timeFormat)
                       : worksheet_write_string(sheet, r, 2, row.time.c_str(), nullptr));
        keep(worksheet_write_number(sheet, r, 3, row.position, nullptr));
        keep(worksheet_write_string(sheet, r, 4, store::ValidUtf8(row.name).c_str(), nullptr));
        keep(worksheet_write_string(sheet, r, 5, store::ValidUtf8(row.number).c_str(), nullptr));
        keep(worksheet_write_string(sheet, r, 6, store::ValidUtf8(row.note).c_str(), nullptr));
        if (row.round)
            keep(worksheet_write_number(sheet, r, 7, double(*row.round), nullptr));
        keep(worksheet_write_string(sheet, r, 8, store::ValidUtf8(row.prize).c_str(), nullptr));
        ++r;
    }
    keep(workbook_close(book));
    if (status != LXW_NO_ERROR) {
        error = lang::trf("cannot write '%1': %2", "无法写入“%1”：%2", {path, lxw_strerror(status)});
        return false;
    }
    return true;
}

bool writeTextXlsx(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& lines,
                   const std::string& path, std::string& error)
{
    lxw_workbook* book = workbook_new(path.c_str());
    if (!book) {
        error = lang::trf("cannot write '%1'", "无法写入“%1”", {path});
        return false;
    }
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_error status = LXW_NO_ERROR;
    auto write = [&](lxw_row_t r, const std::vector<std::string>& fields) {
        for (std::size_t c = 0; c < fields.size(); ++c) {
            const lxw_error e =
                worksheet_write_string(sheet, r, lxw_col_t(c), store::ValidUtf8(fields[c]).c_str(), nullptr);
            if (status == LXW_NO_ERROR)
                status = e;
        }
    };
    write(0, titles);
    for (std::size_t r = 0; r < lines.size(); ++r)
        write(lxw_row_t(r + 1), lines[r]);
    const lxw_error closed = workbook_close(book);
    if (status == LXW_NO_ERROR)
        status = closed;
    if (status != LXW_NO_ERROR) {
        error = lang::trf("cannot write '%1': %2", "无法写入“%1”：%2", {path, lxw_strerror(status)});
        return false;
    }
    return true;
}

std::string lowerSuffix(const std::string& path)
{
    std::string suffix = fs::path(path).extension().string();
    std::transform(suffix.begin(), suffix.end(), suffix.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return suffix;
}

// Writes `path` through `write(temporary, csv)` and ReplaceFile: never half
// a file under the final name.
bool writeAtomically(const std::string& path, std::string& error,
                     const std::function<bool(const std::string& temporary, bool csv, std::string& why)>& write)
{
    const std::string suffix = lowerSuffix(path);
    if (suffix != ".csv" && suffix != ".xlsx") {
        error = lang::trf("'%1' must end in .csv or .xlsx", "“%1”的扩展名必须是 .csv 或 .xlsx", {path});
        return false;
    }
    return ReplaceFile(
        path, [&](const std::string& temporary, std::string& why) { return write(temporary, suffix == ".csv", why); },
        error);
}

}  // namespace

std::vector<std::string> ResultColumns()
{
    if (lang::uiLanguage() == lang::Language::Chinese)
        return {"奖项", "抽奖编号", "时间", "名次", "姓名", "号码", "备注", "轮次", "奖品"};
    return {"level", "draw", "time", "position", "name", "number", "note", "round", "prize"};
}

std::string WinnerName(const draw::RecordedWinner& winner, Masking masking)
{
    const std::string full = winner.name.value_or("");
    return masking == Masking::Masked ? MaskName(full) : full;
}

std::string WinnerNumber(const draw::RecordedWinner& winner, Masking masking)
{
    const std::string full = winner.number.value_or("");
    return masking == Masking::Masked ? MaskNumber(full) : full;
}

std::vector<ResultRow> ResultRows(const std::vector<draw::DrawRecord>& draws, Masking masking)
{
    std::vector<ResultRow> rows;
    for (const draw::DrawRecord& draw : draws) {
        const draw::ShownPrize shown = draw::ShownLevel(draw);
        auto row = [&](const std::string& time, const draw::RecordedWinner& winner, std::string note) {
            if (!shown.note.empty())
                note = note.empty() ? shown.note : note + "; " + shown.note;
            return ResultRow{shown.level, draw.id, time, winner.position, WinnerName(winner, masking),
                             WinnerNumber(winner, masking), note, draw.planRound, shown.prizeName};
        };
        // Who a replacement replaced, and when, by position.
        std::map<int, std::pair<std::string, std::string>> replaced;
        std::vector<ResultRow> voided;
        const std::vector<draw::RecordedWinner> holders =
            draw::ApplyVoids(draw, [&](const draw::DrawVoid& entry, const draw::RecordedWinner* holder) {
                if (!holder)
                    return;
                voided.push_back(row(entry.time, *holder, lang::tr("void", "作废")));
                replaced[entry.position] = {lang::trf("replaces %1", "补抽，替换 %1", {WinnerName(*holder, masking)}),
                                            entry.time};
            });
        for (const draw::RecordedWinner& holder : holders) {
            const auto found = replaced.find(holder.position);
            rows.push_back(found == replaced.end() ? row(draw.time, holder, std::string())
                                                   : row(found->second.second, holder, found->second.first));
        }
        rows.insert(rows.end(), voided.begin(), voided.end());
    }
    return rows;
}

bool ExportResults(const std::vector<ResultRow>& rows, const std::string& path, std::string& error)
{
    return writeAtomically(path, error, [&](const std::string& temporary, bool csv, std::string& why) {
        if (!csv)
            return writeXlsx(rows, temporary, why);
        std::vector<std::vector<std::string>> lines;
        for (const ResultRow& row : rows)
            lines.push_back(fieldsOf(row));
        return writeCsv(ResultColumns(), lines, temporary, why);
    });
}

bool ExportTable(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows,
                 const std::string& path, std::string& error)
{
    return writeAtomically(path, error, [&](const std::string& temporary, bool csv, std::string& why) {
        return csv ? writeCsv(titles, rows, temporary, why) : writeTextXlsx(titles, rows, temporary, why);
    });
}

}  // namespace exporter
