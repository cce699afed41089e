#pragma once
// How every write to the record ends: a refusal or failure rolls the
// transaction back and says why; a commit cut off with the server is asked
// after; a clash with another PC's draw is tried again after a pause. Shared
// by draws, voids, resets, corrections and announcements; not for callers
// outside draw/.

#include <chrono>
#include <optional>
#include <string>
#include <thread>

#include "draw/prize_draw.h"

namespace draw {

enum class PickOutcome { Done, Taken, ChangedNothing, Error };

struct PickAttempt {
    PickOutcome outcome = PickOutcome::Done;
    std::vector<RecordedWinner> winners;
    std::string problem;  // which winner's mark changed nothing
    std::optional<std::vector<std::int64_t>> marked;  // see DrawResult::markedIds
};

// Picks n of `ids` from `seed`, checks inside the transaction that each is
// still not won (Taken when one is not) and marks them by row and number.
PickAttempt PickAndMark(store::DbConnection& connection, const std::vector<std::int64_t>& ids, std::size_t n,
                        const Seed& seed);
DrawStatus StatusOf(PickOutcome outcome);

// Rolls back and gives a result of `status`; a database failure keeps the
// connection's message and the kind of failure (read before the rollback).
inline DrawResult Failure(store::DbConnection& connection, DrawStatus status, std::string error = std::string())
{
    const store::ErrorKind kind = connection.errorKind();
    connection.RollbackTransaction();
    DrawResult result;
    result.status = status;
    result.error = status == DrawStatus::DatabaseError ? connection.error() : std::move(error);
    if (status == DrawStatus::DatabaseError)
        result.errorKind = kind;
    if (status == DrawStatus::DatabaseError && kind == store::ErrorKind::ConnectionLost)
        result.status = DrawStatus::ConnectionLost;
    else if (status == DrawStatus::DatabaseError && kind == store::ErrorKind::Conflict)
        result.status = DrawStatus::KeptConflicting;
    return result;
}

// A list that could not be read: the list's own problem, or the database's.
inline DrawResult ListFailure(store::DbConnection& connection, const EligibleListBuilder& list)
{
    return list.ok() ? Failure(connection, DrawStatus::DatabaseError)
                     : Failure(connection, DrawStatus::BadList, list.error());
}

// A draw of `count` winners among `available` that cannot be made (nobody
// left, or a count out of range), rolled back; nullopt when it can.
inline std::optional<DrawResult> CountRefusal(store::DbConnection& connection, long long count, long long available)
{
    if (available > 0 && count >= 1 && count <= available)
        return std::nullopt;
    DrawResult result = Failure(connection, available == 0 ? DrawStatus::NobodyLeft : DrawStatus::CountOutOfRange);
    result.available = available;
    result.requested = count;
    return result;
}

// The commit of the entry whose digest is `digest` in `table` was cut off
// with the connection: asks again, on a fresh connection, whether it made it.
inline DrawResult AfterLostCommit(store::DbConnection& connection, DrawResult done, const std::string& table,
                                  const std::string& digest)
{
    const std::string lost = connection.error();
    connection.RollbackTransaction();
    auto row = connection.Execute("select count(*) from " + table + " where record_digest = ?", {digest});
    if (row && row->FieldInteger(0) == 1)
        return done;
    DrawResult result;
    result.status = row ? DrawStatus::ConnectionLost : DrawStatus::OutcomeUnknown;
    result.error = lost;
    return result;
}

// The digest of an entry written, nullopt when it could not be.
using Written = std::optional<std::string>;

// Writes an entry into `table` (`write` fills in its number and digests and
// gives its digest, nullopt on failure) and commits, giving `done` when all
// went well.
template <typename Write>
DrawResult CommitWith(store::DbConnection& connection, DrawResult done, const std::string& table, Write write)
{
    const std::optional<std::string> digest = write(done);
    if (!digest)
        return Failure(connection, DrawStatus::DatabaseError);
    if (connection.CommitTransaction())
        return done;
    if (connection.errorKind() == store::ErrorKind::ConnectionLost)
        return AfterLostCommit(connection, std::move(done), table, *digest);
    return Failure(connection, DrawStatus::DatabaseError);
}

// Tries `once` again while the server undoes it for a conflict with another
// draw, waiting a little longer each time so that the two draws part.
template <typename Once>
DrawResult RetryConflicts(Once once)
{
    RandomSource random;
    DrawResult result;
    for (int conflicts = 1; conflicts <= kMaxConflictAttempts; ++conflicts) {
        result = once();
        if (result.status != DrawStatus::KeptConflicting)
            return result;
        std::this_thread::sleep_for(std::chrono::milliseconds(random.Uniform(1, 20) * std::size_t(conflicts)));
    }
    result.attempts = kMaxConflictAttempts;
    return result;
}

}  // namespace draw
