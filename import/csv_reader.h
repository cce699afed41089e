#pragma once
// Reading a participant list from CSV (RFC 4180 quoting). A file saved as
// "Unicode text" by a spreadsheet is the same with tabs between the fields;
// a header row with tabs and no comma selects the tab.

#include <string_view>
#include <vector>

#include "import/records.h"

namespace importer {

// Splits UTF-8 text into records. Quoted fields may hold the delimiter,
// doubled quotes and line breaks; records end at LF, CRLF or CR; empty lines
// are skipped. A broken quote makes the rest unreadable, so parsing stops at
// the first problem and returns false with it.
bool parseCsv(std::string_view text, std::vector<Record>& records, Problem& problem, char delimiter = ',');

// The delimiter of a text: a tab when its first line holds a tab and no comma.
char detectDelimiter(std::string_view text);

// The whole way from a file's bytes to records: decodeText(), then
// parseCsv() with detectDelimiter(). False with the problem (and its line)
// when the bytes are no readable text or the quoting is broken.
bool readCsv(std::string_view bytes, std::vector<Record>& records, Problem& problem);

}  // namespace importer
