#pragma once
// The results of draws as a file for spreadsheets: CSV (UTF-8 with a byte
// order mark, so that spreadsheets show Chinese correctly) or XLSX.

#include <string>
#include <vector>

#include "draw/draw_record.h"

namespace exporter {

// One line of the results: the columns level, draw, time (local), position,
// name, number, note. Each position shows who holds it now; a voided winner
// follows its draw's winners with the note "void", a replacement carries the
// name of the winner it replaces.
struct ResultRow {
    std::string level;
    long long drawId = 0;
    std::string time;  // UTC, ISO 8601 (written as local time)
    int position = 0;
    std::string name;
    std::string number;
    std::string note;
};

std::vector<ResultRow> ResultRows(const std::vector<draw::DrawRecord>& draws);
// The column titles, in the user's language.
std::vector<std::string> ResultColumns();

// Writes the rows to `path`, CSV or XLSX by its suffix (.csv, .xlsx, any
// case). The file is written beside its final name and then renamed, so an
// existing file is replaced only by a complete one. False with `error`.
bool ExportResults(const std::vector<ResultRow>& rows, const std::string& path, std::string& error);

}  // namespace exporter
