#pragma once
// Checking the draw record: every entry's digest, seed and picks computed
// again from what is stored, the chain walked from its start, the numbering
// and order of the entries, and every change of who may win held against
// the record (eligibility_ledger.h), up to the database as it is now.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/connection.h"

namespace draw {

enum class EntryKind { Draw, Void, Reset, Correction, Announcement };

// The result for one entry of the chain.
struct EntryCheck {
    long long drawId = 0;  // the draw, or the draw of a void or correction; 0 otherwise
    int voidSeq = 0;       // a void's number within its draw
    std::vector<std::string> differences;  // empty when the entry matches
    EntryKind kind = EntryKind::Draw;
    long long seq = 0;      // a reset's, correction's or announcement's number
    long long segment = 0;  // the draw whose segment holds the entry (0 before the first draw)
    std::string digest;     // as stored
    bool matches() const { return differences.empty(); }
};

// "draw 2", "draw 2, void 1", "reset 1", "correction 1 (of draw 2)",
// "announcement 1", in the user's language.
std::string EntryName(const EntryCheck& entry);

struct VerifyReport {
    std::vector<EntryCheck> entries;    // in chain order: all, or those of the draw asked for
    std::vector<EntryCheck> chain;      // every entry, in chain order
    std::vector<std::string> problems;  // outside any entry: missing numbers, the database now
    long long lastDrawId = 0;
    std::string headDigest;  // the newest entry's digest, to compare with the last printout
    long long headSegment = 0;
    bool ok() const;
};

// Checks the whole record, or reports only the entries of `drawId`'s
// segment (the draw, its voids, and what followed before the next draw)
// and its corrections, with what bears on them. The whole record also
// compares the participants not won now with what it expects. False with
// connection.error() when the database cannot be read; an unknown drawId
// gives false with an empty error.
bool VerifyDraws(store::DbConnection& connection, std::optional<long long> drawId, VerifyReport& report);

// An anchor as written down or scanned: "D:HEX" or "sortia-draw:D:HEX",
// HEX being 8 to 64 hex digits of a digest. False for anything else.
bool ParseAnchor(std::string_view text, long long& drawId, std::string& prefix);
// The entry of draw `drawId`'s segment whose digest starts with `prefix`;
// nullptr when none does (it was changed or removed).
const EntryCheck* FindAnchor(const VerifyReport& report, long long drawId, const std::string& prefix);

}  // namespace draw
