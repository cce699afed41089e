#pragma once
// The checks of single entries: each recomputes its list's digest, its seed
// and its picks and its own digest from what is stored, and says what
// differs. Where an entry stands in the chain is checked by draw_verify.

#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "draw/draw_record.h"
#include "draw/record_entries.h"

namespace draw {

// participant_group as it is now, by participant id.
using GroupMap = std::unordered_map<std::int64_t, std::string>;

// Each decodes the stored list into `ids` (left empty when it cannot be
// used) and adds what differs to `differences`. `groups` is needed only for
// entries with a group rule (nullptr: membership is not checked).
void CheckDrawEntry(const DrawRecord& record, const Announcement* announcement, const GroupMap* groups,
                    std::vector<std::int64_t>& ids, std::vector<std::string>& differences);
// `holder` is who held the void's position then (nullptr: nobody),
// `wonInDraw` everyone who had won in the draw before it.
void CheckVoidEntry(const DrawRecord& record, const DrawVoid& entry, const RecordedWinner* holder,
                    const std::set<std::int64_t>& wonInDraw, const GroupMap* groups, std::vector<std::int64_t>& ids,
                    std::vector<std::string>& differences);
void CheckResetEntry(const ResetEntry& entry, std::vector<std::int64_t>& ids, std::vector<std::string>& differences);
void CheckAnnouncementEntry(const Announcement& entry, const GroupMap* groups, std::vector<std::int64_t>& ids,
                            std::vector<std::string>& differences);
void CheckCorrectionEntry(const Correction& entry, std::vector<std::string>& differences);

}  // namespace draw
