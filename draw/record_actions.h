#pragma once
// Changes of the record besides draws and voids: a reset that leaves its
// trace in the chain, and a later correction of a draw's level.

#include <string>

#include "draw/prize_draw.h"

namespace draw {

// Makes every winner eligible again (store::kResetWinners) and records a
// reset entry with the whole not-won list right after it, in one
// transaction: both or neither. False with connection.error() and
// connection.errorKind() (Busy: another program's lock; the same call may
// simply be made again). `written`, when given, receives the entry.
bool RecordedReset(store::DbConnection& connection, ResetEntry* written = nullptr);

struct CorrectionRequest {
    long long drawId = 0;
    std::string level;
    std::string prizeName;  // "" keeps none
    std::string reason;
};

// Appends a correction of a draw's level and prize; the draw's own entry is
// not touched. Refused (status Refused, with why) for a draw that does not
// exist, without a level or a reason. When Done, result.correction is the
// entry.
DrawResult Relabel(store::DbConnection& connection, const CorrectionRequest& request);

}  // namespace draw
