#pragma once
// Announced draws: the eligible list frozen as a chain entry and published
// with the source of a public value that does not exist yet (a lottery's
// numbers on a given day); once it is known, the winners follow from the
// announcement's digest and that value alone (AnnouncedSeed), so anyone
// holding the notice can work them out.

#include <optional>
#include <string>
#include <vector>

#include "draw/prize_draw.h"

namespace draw {

struct AnnounceRequest {
    std::string level;
    long long count = 0;
    std::string source;  // where the public input will come from, named in advance
    std::string prizeName;
    // A round of the plan: its level, prize, count and group rule are used.
    std::optional<long long> planRound;
};

// Freezes the not-won list (limited by the round's group rule) as an
// announcement, in one transaction. When Done, result.announcement is the
// entry. Refused without a source or a level, for a round drawn or
// announced already; NobodyLeft and CountOutOfRange as for a draw.
DrawResult Announce(store::DbConnection& connection, const AnnounceRequest& request);

// Draws from announcement `id` with `publicInput`; the same as RunDraw with
// DrawRequest::announcementId set, without the window's list.
DrawResult DrawAnnounced(store::DbConnection& connection, long long id, const std::string& publicInput);

// The notice to publish, line by line in the user's language: what will be
// drawn, the list's size and digest, the source named in advance, the
// announcement's digest, and how anyone works out the winners' positions in
// the list from the public value.
std::vector<std::string> AnnouncementNotice(const Announcement& entry);

// One try of a draw from an announcement inside its own transaction (RunDraw's part).
DrawResult TryAnnouncedDraw(store::DbConnection& connection, const DrawRequest& request);

}  // namespace draw
