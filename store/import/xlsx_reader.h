#pragma once
// Reading a participant list from the first worksheet of an Excel workbook
// (XLSX, Office Open XML): the first row that holds cells is the header, as
// in a CSV file.

#include <string_view>
#include <vector>

#include "store/import/records.h"

namespace importer {

// Reads the first sheet of the workbook (the first tab, by the workbook's own
// order). Each row that holds a non-empty cell becomes a record whose line is
// the sheet's row number; records are as wide as the header row (up to its
// last non-empty cell): shorter rows are padded with empty fields and cells
// right of the header are ignored. Shared strings, inline strings, formula
// results and numbers are read; a number is written as the digits typed
// (13866512345, never 1.38665E+10). False with the problem (and the row,
// where one applies) for a file that is not a workbook, a damaged one, a cell
// holding an error value (#N/A) or when progress asked to stop.
bool readXlsx(std::string_view bytes, std::vector<Record>& records, Problem& problem,
              const ProgressFn& progress = {});

}  // namespace importer
