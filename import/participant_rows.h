#pragma once
// Checking the records of a participant list, whatever file they came from:
// a header row naming the columns, then one participant a row.

#include <string>
#include <string_view>
#include <vector>

#include "import/records.h"

namespace importer {

// The columns a list is read from; matched without regard to case or
// surrounding spaces. The isluck column is optional.
struct ColumnNames {
    std::string name = "user_name";
    std::string number = "user_number";
    std::string isluck = "isluck";
};

// How rows shorter than the header are read.
enum class RowWidth {
    AsHeader,   // refused (CSV: every line has all its fields)
    UpToHeader  // padded with empty fields (a sheet keeps only the cells that hold something)
};

struct ImportRow {
    std::size_t line = 0;
    std::string name;
    std::string number;
    std::string isluck;  // "是" or "否"
};

// Checks the records (the first is the header) and collects the
// participants. Other columns are ignored; rows whose fields are all blank
// are skipped; values are trimmed of spaces and tabs; an empty isluck means
// "否". Every bad row is reported with its line: a row wider than the header
// (or narrower, as width says), an empty name or number, a spreadsheet error value ("#N/A")
// in place of either, a line break, tab or other control character in a name
// or number, a number in scientific notation, an isluck
// other than 是 or 否, and every repeat of a number already on an earlier
// line. rows is complete only when problems is empty; problems come in line
// order. The records are taken (pass them with std::move to save a copy).
void readParticipants(std::vector<Record> records, const ColumnNames& columns, std::vector<ImportRow>& rows,
                      std::vector<Problem>& problems, RowWidth width = RowWidth::AsHeader);

// True for numbers that a spreadsheet turned into scientific notation, such
// as "1.38665E+10", "1E+10" or "1,38665e+10": digits are lost for good. The
// exponent must carry its sign, as spreadsheets write it, so that a code
// such as "3E5" stays a code.
bool looksLikeScientificNumber(std::string_view text);

// A number read from a numeric cell, written as the digits a user typed:
// an integral value below 10^15 without exponent or fraction ("1.3866512345E10"
// becomes "13866512345", "42.0" becomes "42"); anything else as it is.
std::string plainNumberText(std::string_view text);

}  // namespace importer
