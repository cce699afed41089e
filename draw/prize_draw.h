#pragma once
// Drawing winners and voiding an absent one: the whole transaction (list,
// picks, the still-not-won check, the marks and the draw record) shared by
// the window and the command-line tool.
//
// A draw or void takes an organiser seed S when the roll starts (the window)
// or when the command starts (the tool) and shows SeedCommitment(S); the
// public input typed before the stop and the eligible list's digest then
// fix the seed (DrawSeed). Tries again after a clash keep S and the public
// input; their seed follows from the fresh list.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "draw/draw_picks.h"
#include "draw/draw_record.h"
#include "draw/record_entries.h"
#include "store/participants.h"

namespace draw {

// Uniform random integers seeded from the operating system, for the rolling
// display's start row (which has no influence on any winner).
class RandomSource {
public:
    RandomSource();
    void Reseed();
    // A uniform integer in [low, high], without modulo bias.
    std::size_t Uniform(std::size_t low, std::size_t high);

private:
    std::mt19937_64 m_engine;
};

// How many times a draw is tried afresh when other programs keep marking
// its winners first.
constexpr int kMaxDrawAttempts = 5;
// How many times a draw or void is tried afresh when the database server
// undoes it because another PC's draw ran at the same moment.
constexpr int kMaxConflictAttempts = 10;

enum class DrawStatus {
    Done,
    NobodyLeft,          // no participant has not won yet
    CountOutOfRange,     // count < 1 or more than the eligible participants
    ListKeptChanging,    // winners were taken by others kMaxDrawAttempts times
    MarkChangedNothing,  // a winner's mark changed no row: the draw was undone
    BadList,             // the participants' ids cannot name their rows
    NotLastDraw,         // a void of a draw that is no longer the last
    NoSuchPosition,      // a void of a position the draw does not have
    KeptConflicting,     // the server undid it kMaxConflictAttempts times for draws at the same moment
    Refused,             // refused for the reason in `error` (a round already drawn, a changed announced list, ...)
    ConnectionLost,      // the server went away before the commit: nothing was recorded
    OutcomeUnknown,      // the server went away during the commit: it may have been recorded
    DatabaseError,
};

struct DrawRequest {
    std::string level;
    long long count = 0;
    // The eligible list the caller loaded and showed (the window's press);
    // nullptr loads it inside the write transaction.
    const std::vector<std::int64_t>* listedIds = nullptr;
    // EncodeIds and EligibleDigest of *listedIds, when the caller has them
    // already (worked out while the display rolled); nullptr works them out.
    const std::string* listedEncoding = nullptr;
    const std::string* listedDigest = nullptr;
    // The chain's head when *listedIds was read (ListedHead). The list is
    // drawn from only while no entry was written since: another PC's draw
    // meanwhile makes it read afresh, so that a record never holds a list
    // with winners recorded before it. nullptr takes the list as current.
    const std::string* listedHead = nullptr;
    // S as taken when the roll started; nullopt takes one from `seeds` when
    // the draw starts.
    std::optional<Seed> organiserSeed;
    SeedSource seeds = SystemSeed;
    // As typed; recorded as PublicInputText gives it.
    std::string publicInput;
    std::string prizeName;
    // Limits the eligible list (stored form, see GroupRule); the caller's
    // list is then not used.
    std::string groupRule;
    // A round of the prize plan: its level, prize, count and group rule take
    // the place of those above. Refused when the round is drawn or
    // announced already.
    std::optional<long long> planRound;
    // Draws from this announcement's frozen list with AnnouncedSeed: level,
    // count, prize and round are the announcement's, S is not used, and the
    // public input must be given. Refused when anyone on the list has won
    // since or the announcement was drawn already.
    std::optional<long long> announcementId;
};

struct DrawResult {
    DrawStatus status = DrawStatus::Done;
    DrawRecord record;       // as written, when Done
    long long available = 0; // participants who could win
    long long requested = 0; // for CountOutOfRange: the count asked for (a round's, when drawn from the plan)
    int attempts = 0;
    std::string error;       // the database's message, or why the draw was refused
    // When Done: the ids of every row the draw turned from not won to won
    // (the winners and the rows sharing their numbers); nullopt when one of
    // those ids is not a whole number.
    std::optional<std::vector<std::int64_t>> markedIds;
    // For DatabaseError: whether trying again may help (another program's
    // lock, a full disk). Nothing was marked or recorded either way.
    store::ErrorKind errorKind = store::ErrorKind::None;
    // What a reset, correction or announcement wrote, when Done.
    ResetEntry reset;
    Correction correction;
    Announcement announcement;
};

// One draw in one write transaction: reads the eligible list (or takes the
// caller's), picks the winners from a fresh seed, checks that each is still
// not won, marks each by its row and, when it has one, by its number, and
// records the draw. A winner taken by another program meanwhile undoes the
// attempt and the draw is tried again from a fresh list; so does a
// transaction the server undid for a draw from another PC at the same moment.
// Nothing is marked or recorded unless everything is. A lost connection to
// the server is ConnectionLost (or OutcomeUnknown when it went during the
// commit and could not be asked again whether the draw was recorded).
DrawResult RunDraw(store::DbConnection& connection, const DrawRequest& request);

struct VoidRequest {
    long long drawId = 0;
    int position = 0;
    std::string reason;
    std::optional<Seed> organiserSeed;  // as in DrawRequest
    SeedSource seeds = SystemSeed;
    std::string publicInput;
};

// Voids the holder of `position` in draw `drawId`, which must be the last
// draw, and draws one replacement from those still not won (within the
// draw's group rule), marked and recorded in one transaction. The voided
// winner stays marked. When Done, result.record is the draw with its voids.
DrawResult VoidAndReplace(store::DbConnection& connection, const VoidRequest& request);
DrawResult VoidAndReplace(store::DbConnection& connection, long long drawId, int position,
                          const SeedSource& seeds = SystemSeed);

// True when another program's lock kept the draw or void out: nothing was
// marked or recorded, and the same request may simply be made again.
inline bool KeptOutByLock(const DrawResult& result)
{
    return result.status == DrawStatus::DatabaseError && result.errorKind == store::ErrorKind::Busy;
}

// The ids of the not-yet-won participants in list order (highest id first),
// limited by a group rule (stored form) when one is given. False with
// connection.error(), or with list.error() for ids that cannot name their
// rows or a rule that cannot be read.
bool LoadEligibleIds(store::DbConnection& connection, EligibleListBuilder& list,
                     const std::string& groupRule = std::string());

// Why a draw or void was refused, for statuses that carry no text of their
// own (every status but Done and CountOutOfRange), in the user's language.
std::string DescribeRefusal(const DrawResult& result);

}  // namespace draw
