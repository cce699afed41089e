#pragma once
// The draw record: every stop and every void is kept, numbered and chained,
// in tables beside `sheet` in the same database file. `sheet` itself is
// never changed by this module; a program that knows only `sheet` keeps
// working on the file.
//
// Tables (created on first open, idempotently):
//   draw_record  one row per draw: draw_id, drawn_at (UTC, ISO 8601),
//                prize_level, requested, eligible_count, eligible_digest,
//                eligible_ids (EncodeIds), seed (hex), previous_digest,
//                record_digest
//   draw_winner  the winners of a draw in draw order: draw_id, position
//                (1-based), participant_id, user_name, user_number
//   draw_void    a winner voided after the draw and the one replacement drawn
//                for it: draw_id, void_seq (1-based within the draw),
//                position, voided_id, voided_at, eligible_count,
//                eligible_digest, eligible_ids, seed, replacement_id,
//                replacement_name, replacement_number, previous_digest,
//                record_digest
// The chain runs through the entries in the order draw 1, its voids, draw 2,
// its voids, ...; each entry's previous_digest is the record_digest of the
// entry before it (64 zeros for the first). What a digest covers is given by
// DrawDigest and VoidDigest below.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
};

// Creates the record's tables when they are missing, in one transaction;
// an existing database gains them silently. Only commands that write to the
// record call it: a file made by an older version, perhaps read-only, is
// read as one without draws. False with connection.error(). `created`, when
// given, gains the names of the tables this call made, in the order made.
bool EnsureDrawTables(store::DbConnection& connection, std::vector<std::string>* created = nullptr);
// Whether the record's tables are there; nullopt with connection.error()
// when that cannot be read.
std::optional<bool> RecordPresent(store::DbConnection& connection);

// The digests of the chain, lower-case hex SHA-256 over netstrings
// ("<decimal length>:<bytes>,") of, in order:
//   draw: "sortia-draw-1", previous_digest, draw_id, drawn_at, prize_level,
//         requested, eligible_count, eligible_digest, seed, the number of
//         winners, then per winner position, participant_id, user_name,
//         user_number;
//   void: "sortia-void-1", previous_digest, draw_id, void_seq, voided_at,
//         position, voided_id, eligible_count, eligible_digest, seed,
//         replacement_id, replacement_name, replacement_number.
// Numbers are in decimal; a Null name or number is the empty string.
std::string DrawDigest(const DrawRecord& record);
std::string VoidDigest(long long drawId, const DrawVoid& entry);

// Writes a draw inside the caller's transaction: gives it the next number,
// chains it to the last entry and fills id, previousDigest and digest.
bool WriteDraw(store::DbConnection& connection, DrawRecord& record);
// Writes a void of draw `drawId` inside the caller's transaction; fills seq,
// previousDigest and digest.
bool WriteVoid(store::DbConnection& connection, long long drawId, DrawVoid& entry);

// Reads one draw with its winners and voids; `withIds` also reads the stored
// eligible lists. False with connection.error(); a missing draw gives false
// with an empty error.
bool ReadDraw(store::DbConnection& connection, long long drawId, DrawRecord& record, bool withIds = false);
// Every draw, oldest first (without the stored lists).
bool ReadHistory(store::DbConnection& connection, std::vector<DrawRecord>& draws);
// The highest draw number, 0 when there is none.
bool LastDrawId(store::DbConnection& connection, long long& drawId);

// Who holds each position now: the winners of the draw with every void's
// replacement put in the voided winner's place, in position order.
std::vector<RecordedWinner> CurrentWinners(const DrawRecord& record);
// The winners that were voided, in the order of their voids.
std::vector<RecordedWinner> VoidedWinners(const DrawRecord& record);

// The text a QR code of an entry carries, "sortia-draw:<draw id>:<digest>":
// a photo of it pins the record down outside the file.
std::string AnchorText(long long drawId, const std::string& digest);

// The time now, UTC, as "YYYY-MM-DDTHH:MM:SSZ".
std::string UtcNow();
// Such a time as local time, "YYYY-MM-DD HH:MM:SS"; other texts unchanged.
std::string LocalTimeText(const std::string& utcIso);

}  // namespace draw
