#pragma once
// Checking the records of a participant list, whatever file they came from:
// a header row naming the columns, then one participant a row.

#include <string>
#include <string_view>
#include <vector>

#include "import/records.h"

namespace importer {

// The header names a list's columns may have, each role's in order of
// preference: the first present in the header is read, others of the same
// role are ignored like any other column. Matched without regard to case
// or surrounding spaces. Only the name and number are required. Organisers'
// own Chinese headers are known by default; an Access table's columns
// given by the operator replace them.
struct ColumnNames {
    std::vector<std::string> name = {"user_name", "姓名"};
    std::vector<std::string> number = {"user_number", "工号", "编号", "手机号", "手机", "号码"};
    std::vector<std::string> isluck = {"isluck", "是否中奖"};
    std::vector<std::string> group = {"group", "部门", "分组"};
};

// Which header cell a role was read from ("姓名" for "user_name").
struct ColumnUse {
    std::string header;        // as the file writes it, trimmed
    std::string role;          // user_name, user_number, isluck or group
    bool alternative = false;  // found under another than the role's first name
};

// The longest name, number or group a list may hold, in characters.
constexpr std::size_t kMaxValueChars = 255;

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
    std::string group{};  // "" when the list names none for the row
};

struct ParticipantList {
    std::vector<ImportRow> rows;
    std::vector<ColumnUse> columns;  // the roles found, in the order name, number, isluck, group
    bool hasGroup = false;           // the header has a group column
};

// Checks the records (the first is the header) and collects the
// participants. Other columns are ignored; rows whose fields are all blank
// are skipped; values are trimmed of spaces and tabs; an empty isluck means
// "否". Every bad row is reported with its line: a row wider than the header
// (or narrower, as width says), an empty name or number, a spreadsheet error
// value ("#N/A") in place of either, a line break, tab or other control
// character in a name, number or group, one longer than kMaxValueChars, a
// number in scientific notation, an isluck other than 是 or 否, and every
// repeat of a number already on an earlier line. The rows are complete only
// when problems is empty. The records are taken (pass them with std::move
// to save a copy).
void readParticipants(std::vector<Record> records, const ColumnNames& columns, ParticipantList& list,
                      ProblemList& problems, RowWidth width = RowWidth::AsHeader);

// The roles found under another than their first name ("姓名 → user_name,
// 工号 → user_number"), or "" when there are none.
std::string describeColumns(const std::vector<ColumnUse>& columns);

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
