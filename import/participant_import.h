#pragma once
// The front door of the participant import: a CSV, XLSX or Access file in,
// checked rows added to table `sheet` or nothing added, and a report in the
// user's language. Shared by sortia-db and the window.
//
// The readers behind it are plain functions over bytes: readCsv()
// (csv_reader.h), readXlsx() (xlsx_reader.h), and readMdb() (mdb_reader.h),
// which runs in a child process (access_child.h); readParticipants()
// (participant_rows.h) checks their records and writeParticipants()
// (database_import.h) adds them. Every reader holds memory in proportion to
// the file and refuses values no list has, so a small hostile file is
// refused quickly instead of exhausting the machine.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"
#include "import/mdb_reader.h"
#include "import/participant_rows.h"
#include "import/records.h"

namespace importer {

enum class FileFormat { Text, Xlsx, Access, OldExcel, SQLite };

// The format by the file's first bytes: a ZIP archive is taken for an XLSX
// workbook, the Jet/ACE signature for Access, an OLE2 compound file for an
// old Excel workbook (refused), SQLite's header for a database (refused);
// everything else is text (CSV).
FileFormat detectFormat(std::string_view bytes);

struct ImportRequest {
    std::optional<FileFormat> format;  // by content when not given
    AccessTable access;                // the table and columns of an Access file
};

enum class ImportStatus { Imported, Refused, Failed, Stopped };

struct ImportReport {
    ImportStatus status = ImportStatus::Failed;
    std::size_t imported = 0;
    std::size_t skipped = 0;         // already in the database (see database_import.h)
    std::size_t regrouped = 0;       // of the skipped: their group set or changed by the list
    std::vector<ColumnUse> columns;  // which header cell each role was read from
    std::vector<Problem> problems;   // Refused: the first problems by line (ProblemList::kKept at most)
    std::size_t problemCount = 0;    // Refused: how many problems there were in all
    std::string error;               // Failed: why (unreadable file, database failure)
};

// Reads, checks and writes a list held in memory. Anything but Imported
// leaves the database as it was.
ImportReport importBytes(store::DbConnection& connection, std::string_view bytes, const ImportRequest& request,
                         const ProgressFn& progress = {});

// The same for a file, read whole (lists up to 256 MiB; Access files, up to
// 1 GiB, are given to the child that reads them).
ImportReport importFile(store::DbConnection& connection, const std::string& path, const ImportRequest& request,
                        const ProgressFn& progress = {});

// For the operator: how many were imported and skipped, or why nothing was
// (without the problems themselves); then, on a line of its own, which
// columns were read under other names ("姓名 → user_name, …"), if any.
std::string summaryText(const ImportReport& report);

}  // namespace importer
