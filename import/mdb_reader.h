#pragma once
// Reading a participant list from a table of a Microsoft Access database
// (.mdb of Jet 3 and Jet 4, .accdb), through the mdbtools library.

#include <string>
#include <string_view>
#include <vector>

#include "import/participant_rows.h"
#include "import/records.h"

namespace importer {

struct AccessTable {
    std::string table = "sheet";
    ColumnNames columns;  // isluck is read when the table has it
};

// Reads the request's columns of its table, matched without regard to case:
// for each role the first of its names the table has (the isluck and group
// columns only when it has one). The first record is a header naming the
// columns read, as the table names them (line 0); then one record a row,
// numbered from 1 in the table's stored order, Null read as "". Whole
// numbers in floating-point columns are written as digits (13866512345).
// A value longer than kMaxFieldChars is refused with its record number.
// False with the problem for bytes that are no Access database, a missing
// table or column (naming some of those there are), or when progress asked
// to stop. The library reads the bytes in place, in this process: a file
// from elsewhere goes through readMdbIsolated() (access_child.h) instead.
bool readMdb(std::string_view bytes, const AccessTable& request, std::vector<Record>& records, Problem& problem,
             const ProgressFn& progress = {});

}  // namespace importer
