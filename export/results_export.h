#pragma once
// The results of draws as a file for spreadsheets: CSV (UTF-8 with a byte
// order mark, so that spreadsheets show Chinese correctly) or XLSX.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "draw/draw_record.h"

namespace exporter {

// One line of the results: the columns level, draw, time (local), position,
// name, number, note, round, prize. Each position shows who holds it now; a
// voided winner follows its draw's winners with the note "void", a
// replacement carries the name of the winner it replaces. A corrected draw
// shows its corrected level and prize, and the correction in the note.
struct ResultRow {
    std::string level;
    long long drawId = 0;
    std::string time;  // UTC, ISO 8601 (written as local time)
    int position = 0;
    std::string name;
    std::string number;
    std::string note;
    std::optional<long long> round;  // the prize plan's round, when the draw names one
    std::string prize;
};

std::vector<ResultRow> ResultRows(const std::vector<draw::DrawRecord>& draws);
// The column titles, in the user's language.
std::vector<std::string> ResultColumns();

// Writes the rows to `path`, CSV or XLSX by its suffix (.csv, .xlsx, any
// case). The file is written beside its final name and then renamed, so an
// existing file is replaced only by a complete one. False with `error`.
bool ExportResults(const std::vector<ResultRow>& rows, const std::string& path, std::string& error);

// Writes a table of texts (a header and rows) the same way: CSV or XLSX by
// the suffix, replacing an existing file only by a complete one.
bool ExportTable(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows,
                 const std::string& path, std::string& error);

}  // namespace exporter
