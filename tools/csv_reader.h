#pragma once
// Reading participants from a CSV file (RFC 4180 quoting): a header row naming
// user_name, user_number and optionally isluck, then one participant a row.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dbtool {

struct CsvRecord {
    std::size_t line = 0;  // 1-based line on which the record starts
    std::vector<std::string> fields;
};

struct CsvProblem {
    std::size_t line = 0;
    std::string message;
};

// Splits UTF-8 text into records. Quoted fields may hold commas, doubled
// quotes and line breaks; records end at LF, CRLF or CR; empty lines are
// skipped. A broken quote makes the rest unreadable, so parsing stops at the
// first problem and returns false with it.
bool parseCsv(std::string_view text, std::vector<CsvRecord>& records, CsvProblem& problem);

struct ImportRow {
    std::size_t line = 0;
    std::string name;
    std::string number;
    std::string isluck;  // "是" or "否"
};

// Checks the records as a participant file: header names are matched without
// regard to case or surrounding spaces, and other columns are ignored. Rows
// whose fields are all blank are skipped. Every
// bad row is reported (line and reason); rows is complete only when problems
// is empty.
void readParticipants(const std::vector<CsvRecord>& records, std::vector<ImportRow>& rows,
                      std::vector<CsvProblem>& problems);

}  // namespace dbtool
