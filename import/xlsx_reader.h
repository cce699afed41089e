#pragma once
// Reading a participant list from the first worksheet of an Excel workbook
// (XLSX, Office Open XML): the first row that holds cells is the header, as
// in a CSV file.

#include <string_view>
#include <vector>

#include "import/records.h"

namespace importer {

// Reads the first sheet of the workbook (the first tab, by the workbook's own
// order). The first row holding a non-empty cell is the header, up to its
// last such cell. Each row holding a non-empty cell within the header's width
// becomes a record whose line is the sheet's row number, with fields up to
// its own last non-empty cell (a sheet does not store trailing empty cells:
// read the records with RowWidth::UpToHeader); cells right of the header are
// ignored. Shared strings, inline strings, formula
// results and numbers are read; a number is written as the digits typed
// (13866512345, never 1.38665E+10). False with the problem (and the row,
// where one applies) for a file that is not a workbook, a damaged one, a
// cell or shared string longer than kMaxFieldChars, a workbook that
// unpacks to, or refers its way to, far more than its size can hold (see
// WorkbookBudget), or when progress asked to stop.
bool readXlsx(std::string_view bytes, std::vector<Record>& records, Problem& problem,
              const ProgressFn& progress = {});

}  // namespace importer
