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

// Full values, or names and numbers masked as the room sees them (masking.h)
// for a list that is published.
enum class Masking { Full, Masked };

// A winner's name and number as shown in results: whole, or masked; "" for Null.
std::string WinnerName(const draw::RecordedWinner& winner, Masking masking);
std::string WinnerNumber(const draw::RecordedWinner& winner, Masking masking);

std::vector<ResultRow> ResultRows(const std::vector<draw::DrawRecord>& draws, Masking masking = Masking::Full);
// The column titles, in the user's language.
std::vector<std::string> ResultColumns();

// Writes the rows to `path`, CSV or XLSX by its suffix (.csv, .xlsx, any
// case), through ReplaceFile() (file_replace.h): an existing file is
// replaced only by a complete one, flushed to the disk, with the user's
// umask. A CSV text that starts as a formula would (=, +, -, @, a tab or a
// carriage return) gets a leading ' so that a spreadsheet shows it instead of
// computing it; XLSX cells are written as texts anyway. False with `error`.
bool ExportResults(const std::vector<ResultRow>& rows, const std::string& path, std::string& error);

// Writes a table of texts (a header and rows) the same way: CSV or XLSX by
// the suffix, replacing an existing file only by a complete one.
bool ExportTable(const std::vector<std::string>& titles, const std::vector<std::vector<std::string>>& rows,
                 const std::string& path, std::string& error);

}  // namespace exporter
