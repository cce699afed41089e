#pragma once
// The front door of the participant import: a CSV, XLSX or Access file in,
// checked rows added to table `sheet` or nothing added, and a report in the
// user's language. Shared by sortia-db and the window.
//
// The readers behind it are plain functions over bytes: readCsv()
// (csv_reader.h), readXlsx() (xlsx_reader.h), readMdb() (mdb_reader.h);
// readParticipants() (participant_rows.h) checks their records and
// writeParticipants() (database_import.h) adds them.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"
#include "import/mdb_reader.h"
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
    std::size_t skipped = 0;        // already in the database (see database_import.h)
    std::vector<Problem> problems;  // Refused: every problem found, by line
    std::string error;              // Failed: why (unreadable file, database failure)
};

// Reads, checks and writes a list held in memory. Anything but Imported
// leaves the database as it was.
ImportReport importBytes(store::DbConnection& connection, std::string_view bytes, const ImportRequest& request,
                         const ProgressFn& progress = {});

// The same for a file, read whole (Access files up to 1 GiB, others up to 256 MiB).
ImportReport importFile(store::DbConnection& connection, const std::string& path, const ImportRequest& request,
                        const ProgressFn& progress = {});

// One line for the operator: how many were imported and skipped, or why
// nothing was (without the problems themselves).
std::string summaryText(const ImportReport& report);

}  // namespace importer
