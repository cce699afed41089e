#pragma once
// The chain's other entries: resets, corrections and announcements. Each is
// written inside the caller's transaction, numbered 1, 2, ... over the whole
// record, and chained to the newest entry like a draw.
//
// Digests, lower-case hex SHA-256 over netstrings of, in order:
//   reset:        "sortia-reset-1", previous_digest, reset_seq, reset_at,
//                 reset_rows, eligible_count, eligible_digest
//   correction:   "sortia-correction-1", previous_digest, correction_seq,
//                 draw_id, corrected_at, prize_level, prize_name, reason
//   announcement: "sortia-announcement-1", previous_digest, announcement_id,
//                 announced_at, prize_level, requested, source,
//                 eligible_count, eligible_digest
// An announcement's prize_name, plan_round and group_rule are not in its
// digest; the draw made from it carries them in its own.

#include <optional>
#include <string>
#include <vector>

#include "draw/draw_record.h"

namespace draw {

// Every winner made eligible again, with the whole not-won list right after.
struct ResetEntry {
    long long seq = 0;
    std::string time;
    long long rows = 0;  // rows set back from 是 to 否
    long long eligibleCount = 0;
    std::string eligibleDigest;
    std::string eligibleIds;  // EncodeIds; empty unless read with ids
    std::string previousDigest;
    std::string digest;
};

// A list frozen before its draw, with the public source of the value that
// will pick from it.
struct Announcement {
    long long id = 0;
    std::string time;
    std::string level;
    long long requested = 0;
    std::string source;
    long long eligibleCount = 0;
    std::string eligibleDigest;
    std::string eligibleIds;  // empty unless read with ids
    std::string previousDigest;
    std::string digest;
    std::string prizeName;
    std::optional<long long> planRound;
    std::string groupRule;
};

std::string ResetDigest(const ResetEntry& entry);
std::string CorrectionDigest(const Correction& entry);
std::string AnnouncementDigest(const Announcement& entry);

// Each fills its number, previousDigest and digest. False with connection.error().
bool WriteReset(store::DbConnection& connection, ResetEntry& entry);
bool WriteCorrection(store::DbConnection& connection, Correction& entry);
bool WriteAnnouncement(store::DbConnection& connection, Announcement& entry);

// Readers of a record in the current layout (older files have none of these).
bool ReadResets(store::DbConnection& connection, std::vector<ResetEntry>& entries);
// The corrections of one draw, or of every draw when drawId is 0, oldest first.
bool ReadCorrections(store::DbConnection& connection, long long drawId, std::vector<Correction>& entries);
bool ReadAnnouncements(store::DbConnection& connection, std::vector<Announcement>& entries);
// One announcement; false with an empty error when there is none.
bool ReadAnnouncement(store::DbConnection& connection, long long id, Announcement& entry, bool withIds);

// The stored list of an entry: `table` is draw_record, draw_void, draw_reset
// or draw_announcement, `where` its key ("draw_id = ? and void_seq = ?").
bool ReadStoredIds(store::DbConnection& connection, const std::string& table, const std::string& where,
                   const std::vector<store::Value>& key, std::string& ids);

}  // namespace draw
