#pragma once
// Adding checked participants to table `sheet`, all of them or none.
//
// A row is "already present" when the database holds its user_number with the
// same user_name (spaces around either ignored): it is skipped and counted,
// and the database row keeps its isluck, so importing a list again neither
// doubles anybody nor makes a winner eligible again. The same user_number
// under another name is a conflict: nothing is imported, and the conflict
// names the line and the database row. Numbers are compared as text; a
// number that another program stored as an integer compares as its digits.
//
// A list with a group column also fills table participant_group (made when
// missing): new rows get their group, and rows already present take the
// group the list names for them, the newest list being the organisers' word.

#include <cstddef>
#include <string>
#include <vector>

#include "store/connection.h"
#include "import/participant_rows.h"
#include "import/records.h"

namespace importer {

// How often an import is tried again when the server undid it for another
// transaction at the same moment.
constexpr int kMaxConflictAttempts = 10;

struct WriteOutcome {
    bool ok = false;       // the rows are in the database (all but the skipped)
    bool stopped = false;  // progress asked to stop; nothing was written
    std::size_t inserted = 0;
    std::size_t skipped = 0;
    std::size_t regrouped = 0;  // skipped rows whose group the list set or changed
    int attempts = 0;           // tries the server's conflicts took
    ProblemList conflicts;      // by line; nothing was written when any
    std::string error;          // the database's message on failure
};

enum class Groups { Absent, Present };

// Checks the rows (whose numbers must be distinct, as readParticipants()
// ensures) against the database and inserts the new ones, in one write
// transaction that also covers the check and keeps every other writer of
// `sheet` out, so that nothing another program does in between can slip
// through. A transaction the server undoes for a conflict is tried again,
// kMaxConflictAttempts times at most. With Groups::Present the rows' groups
// are written too.
WriteOutcome writeParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows,
                               const ProgressFn& progress = {}, Groups groups = Groups::Absent);

// Inserts the rows as they are (no check, no groups), in one transaction
// with one prepared statement; false with the database's message.
bool insertParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows, std::string& error);

}  // namespace importer
