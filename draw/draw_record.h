#pragma once
// The draw record: every stop, void, reset, correction and announcement is
// kept, in tables beside `sheet` in the same database file (record_schema.h),
// as one chain in the order the entries were made: each entry carries the
// digest of the entry before it (kChainStart for the first). `sheet` itself
// is never changed in form; a program that knows only `sheet` keeps working
// on the file.
//
// Draws and voids come in two formats. Format 1 (written by older versions)
// took its seed straight from the system; format 2 takes an organiser seed
// S, shows its commitment SHA-256(S) before the public input is typed, and
// derives the seed from both and the eligible list (DrawSeed). What each
// digest covers is given with DrawDigest and VoidDigest below and with the
// other entries in record_entries.h.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "draw/record_schema.h"
#include "store/connection.h"

namespace draw {

// The digest that stands before the first entry of the chain.
extern const char* const kChainStart;

struct RecordedWinner {
    int position = 0;  // 1-based
    std::int64_t id = 0;
    std::optional<std::string> name;    // user_name as read at the draw; nullopt for Null
    std::optional<std::string> number;  // user_number likewise
};

struct DrawVoid {
    int seq = 0;       // 1-based within its draw
    int position = 0;  // the position whose holder was voided
    std::int64_t voidedId = 0;
    std::string time;  // UTC, ISO 8601
    long long eligibleCount = 0;
    std::string eligibleDigest;
    std::string eligibleIds;  // EncodeIds of the list the replacement came from; empty unless read with ids
    std::string seed;         // hex
    RecordedWinner replacement;  // its position is the voided one
    std::string previousDigest;
    std::string digest;
    int format = 1;
    // Format 2 only ("" for format 1):
    std::string organiserSeed;   // S, 64 hex
    std::string seedCommitment;  // SHA-256(S), 64 hex
    std::string publicInput;
    std::string reason;
};

// A later correction of a draw's prize level and prize (the draw's own entry
// stays as it was written).
struct Correction {
    long long seq = 0;  // 1, 2, ... over the whole record
    long long drawId = 0;
    std::string time;
    std::string level;
    std::string prizeName;
    std::string reason;
    std::string previousDigest;
    std::string digest;
};

struct DrawRecord {
    long long id = 0;
    std::string time;  // UTC, ISO 8601
    std::string level;
    long long requested = 0;
    long long eligibleCount = 0;
    std::string eligibleDigest;
    std::string eligibleIds;  // empty unless read with ids
    std::string seed;         // hex
    std::vector<RecordedWinner> winners;  // in draw order
    std::vector<DrawVoid> voids;          // in the order they were made
    std::string previousDigest;
    std::string digest;
    int format = 1;
    // Format 2 only ("" or nullopt for format 1):
    std::string organiserSeed;   // S, 64 hex; "" for a draw from an announcement
    std::string seedCommitment;  // SHA-256(S), 64 hex; "" likewise
    std::string publicInput;
    std::optional<long long> announcementId;
    std::optional<long long> planRound;
    std::string prizeName;
    std::string groupRule;  // "" (everyone), "only:A|B" or "except:A|B"
    // Read with the draw, oldest first; not part of its digest.
    std::vector<Correction> corrections;
};

// The digests of draws and voids, lower-case hex SHA-256 over netstrings
// ("<decimal length>:<bytes>,") of, in order:
//   draw, format 1: "sortia-draw-1", previous_digest, draw_id, drawn_at,
//         prize_level, requested, eligible_count, eligible_digest, seed, the
//         number of winners, then per winner position, participant_id,
//         user_name, user_number;
//   draw, format 2: "sortia-draw-2", previous_digest, draw_id, drawn_at,
//         prize_level, prize_name, plan_round, group_rule, requested,
//         eligible_count, eligible_digest, organiser_seed, seed_commitment,
//         public_input, announcement_id, seed, the number of winners, then
//         per winner as above;
//   void, format 1: "sortia-void-1", previous_digest, draw_id, void_seq,
//         voided_at, position, voided_id, eligible_count, eligible_digest,
//         seed, replacement_id, replacement_name, replacement_number;
//   void, format 2: "sortia-void-2", previous_digest, draw_id, void_seq,
//         voided_at, position, voided_id, reason, eligible_count,
//         eligible_digest, organiser_seed, seed_commitment, public_input,
//         seed, replacement_id, replacement_name, replacement_number.
// Numbers are in decimal; Null is the empty string.
std::string DrawDigest(const DrawRecord& record);
std::string VoidDigest(long long drawId, const DrawVoid& entry);

// Writes a draw inside the caller's transaction (the tables must be there:
// EnsureDrawTables): gives it the next number, chains it to the newest
// entry and fills id, previousDigest and digest.
bool WriteDraw(store::DbConnection& connection, DrawRecord& record);
// Writes a void of draw `drawId` inside the caller's transaction; fills seq,
// previousDigest and digest.
bool WriteVoid(store::DbConnection& connection, long long drawId, DrawVoid& entry);

// Reads one draw with its winners, voids and corrections; `withIds` also
// reads the stored eligible lists. False with connection.error(); a missing
// draw gives false with an empty error.
bool ReadDraw(store::DbConnection& connection, long long drawId, DrawRecord& record, bool withIds = false);
// What is said of a draw number that names no draw.
std::string NoSuchDraw(long long drawId);
// Every draw, oldest first (without the stored lists).
bool ReadHistory(store::DbConnection& connection, std::vector<DrawRecord>& draws);
// The highest draw number, 0 when there is none.
bool LastDrawId(store::DbConnection& connection, long long& drawId);

// Walks the voids of a draw in order, each replacement taking the place of
// the winner it voids; `onVoid`, when given, sees each void with the winner
// who held its position then (nullptr when the draw has no such position).
// Returns who holds each position afterwards, in position order.
using VoidVisitor = std::function<void(const DrawVoid& entry, const RecordedWinner* voided)>;
std::vector<RecordedWinner> ApplyVoids(const DrawRecord& record, const VoidVisitor& onVoid = {});
// Who holds each position now.
std::vector<RecordedWinner> CurrentWinners(const DrawRecord& record);
// The winners that were voided, in the order of their voids.
std::vector<RecordedWinner> VoidedWinners(const DrawRecord& record);
// The digest of the draw's newest entry (its last void, else the draw): what
// a printout of the draw carries.
const std::string& LatestDigest(const DrawRecord& record);

// The prize level and prize a draw shows: its own, or those of its latest
// correction, with a note saying what was corrected and why ("" when
// nothing was), in the user's language.
struct ShownPrize {
    std::string level;
    std::string prizeName;
    std::string note;
};
ShownPrize ShownLevel(const DrawRecord& record);

// The text a QR code of an entry carries, "sortia-draw:<draw id>:<digest>":
// a photo of it pins the record down outside the file.
std::string AnchorText(long long drawId, const std::string& digest);

// The time now, UTC, as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcNow();
// Such a time as local time, "YYYY-MM-DD HH:MM:SS"; other texts unchanged.
std::string LocalTimeText(const std::string& utcIso);

}  // namespace draw
