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

// Reads the request's columns of its table, both matched without regard to
// case. The first record is a header naming the columns as the request does
// (line 0); then one record a row, numbered from 1 in the table's stored
// order, Null read as "". Whole numbers in floating-point columns are
// written as digits (13866512345). False with the problem for bytes that are
// no Access database, a missing table or column (naming those there are),
// or when progress asked to stop. The library reads the bytes in place.
bool readMdb(std::string_view bytes, const AccessTable& request, std::vector<Record>& records, Problem& problem,
             const ProgressFn& progress = {});

}  // namespace importer
