#pragma once
// Checking the draw record: every digest, the chain and every winner are
// computed again from what is stored and compared.

#include <optional>
#include <string>
#include <vector>

#include "store/connection.h"

namespace draw {

// The result for one entry of the chain: a draw (voidSeq 0) or one of its voids.
struct EntryCheck {
    long long drawId = 0;
    int voidSeq = 0;
    std::vector<std::string> differences;  // empty when the entry matches
    bool matches() const { return differences.empty(); }
};

struct VerifyReport {
    std::vector<EntryCheck> entries;    // in chain order
    std::vector<std::string> problems;  // missing draws, outside any entry
    long long lastDrawId = 0;
    std::string headDigest;  // the newest entry's digest, to compare with the last printout
    bool ok() const;
};

// Checks every draw, or only `drawId` (with its voids and its link to the
// entry before it). False with connection.error() when the database cannot
// be read; an unknown drawId gives false with an empty error.
bool VerifyDraws(store::DbConnection& connection, std::optional<long long> drawId, VerifyReport& report);

}  // namespace draw
