#include "draw/prize_draw.h"

#include <chrono>
#include <thread>

#include "platform/language/language.h"
#include "store/sha256.h"

namespace draw {

RandomSource::RandomSource()
{
    Reseed();
}

void RandomSource::Reseed()
{
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(), device()};
    m_engine.seed(seed);
}

std::size_t RandomSource::Uniform(std::size_t low, std::size_t high)
{
    std::uniform_int_distribution<std::size_t> distribution(low, high);
    return distribution(m_engine);
}

namespace {

// The list in the order the window shows it; only the ids are needed here.
const char* const kSelectEligibleIds = "select id from sheet where isluck = '否' order by id desc";
const char* const kSelectRow = "select user_name, user_number, isluck from sheet where id = ?";
// By row first: it needs no number, and "isluck = '否'" keeps it from taking
// someone who has won since the list was read.
const char* const kMarkRow = "update sheet set isluck = '是'  where id = ? and isluck = '否' ";
// The rows a number mark is about to turn, so that a list held elsewhere can
// drop exactly them.
const char* const kSelectSharing = "select id from sheet where user_number = ? and isluck = '否'";

enum class Outcome { Done, Taken, ChangedNothing, Error };

struct Attempt {
    Outcome outcome = Outcome::Done;
    std::vector<RecordedWinner> winners;
    std::string seedHex;
    std::string problem;  // which winner's mark changed nothing
    std::optional<std::vector<std::int64_t>> marked;  // see DrawResult::markedIds
};

// Reads each picked participant inside the transaction: one who has won or
// vanished since the list was read makes the attempt void.
Outcome readPicked(store::DbConnection& connection, const std::vector<std::int64_t>& ids,
                   const std::vector<std::size_t>& picks, std::vector<RecordedWinner>& winners)
{
    winners.clear();
    for (std::size_t k = 0; k < picks.size(); ++k) {
        const std::int64_t id = ids[picks[k]];
        auto row = connection.ExecuteBound(kSelectRow, {id});
        if (!row)
            return Outcome::Error;
        if (row->EndOfFile() || row->Field(2) != store::kNotWon)
            return Outcome::Taken;
        RecordedWinner winner{int(k + 1), id, std::nullopt, std::nullopt};
        if (!row->IsNull(0))
            winner.name = row->Field(0);
        if (!row->IsNull(1))
            winner.number = row->Field(1);
        winners.push_back(std::move(winner));
    }
    return Outcome::Done;
}

// Adds the ids of the not-yet-won rows holding `number` to `marked`; a row
// whose id is not a whole number makes the set unknown.
bool noteSharing(store::DbConnection& connection, const std::string& number, std::optional<std::vector<std::int64_t>>& marked)
{
    auto rows = connection.Execute(kSelectSharing, {number});
    if (!rows)
        return false;
    for (; !rows->EndOfFile(); rows->MoveNext()) {
        if (!rows->IsInteger(0))
            marked.reset();
        else if (marked)
            marked->push_back(rows->FieldInteger(0));
    }
    if (!rows->error().empty())
        connection.noteReadError(*rows);
    return rows->error().empty();
}

// Every winner by its row (which must change), then by its number as the
// program always has, so that rows sharing the number are marked too. A Null
// number is marked by its row only: it names nobody else.
Outcome markAll(store::DbConnection& connection, const std::vector<RecordedWinner>& winners, std::string& problem,
                std::optional<std::vector<std::int64_t>>& marked)
{
    marked.emplace();
    for (const RecordedWinner& winner : winners) {
        marked->push_back(winner.id);
        if (!connection.RunBound(kMarkRow, {winner.id}))
            return Outcome::Error;
        if (connection.changes() < 1) {
            problem = lang::trf("the mark of winner %1 (%2, id %3) changed no row in the database",
                                "中奖者第 %1 名（%2，编号 %3）的标记没有改变数据库中的任何一行",
                                {std::to_string(winner.position), winner.name.value_or(""), std::to_string(winner.id)});
            return Outcome::ChangedNothing;
        }
    }
    for (const RecordedWinner& winner : winners)
        if (winner.number &&
            (!noteSharing(connection, *winner.number, marked) || !connection.Run(store::kMarkWinner, {*winner.number})))
            return Outcome::Error;
    return Outcome::Done;
}

Attempt pickAndMark(store::DbConnection& connection, const std::vector<std::int64_t>& ids, std::size_t n,
                    const SeedSource& seeds)
{
    Attempt attempt;
    const Seed seed = seeds();
    attempt.seedHex = store::ToHex(seed.data(), seed.size());
    attempt.outcome = readPicked(connection, ids, PickIndices(seed, ids.size(), n), attempt.winners);
    if (attempt.outcome == Outcome::Done)
        attempt.outcome = markAll(connection, attempt.winners, attempt.problem, attempt.marked);
    return attempt;
}

DrawResult failure(store::DbConnection& connection, DrawStatus status, std::string error = std::string())
{
    // The kind of the failure is read before the rollback can change it.
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

DrawStatus statusOf(Outcome outcome)
{
    return outcome == Outcome::ChangedNothing ? DrawStatus::MarkChangedNothing : DrawStatus::DatabaseError;
}

// The commit of `digest` was cut off with the connection: asks again, on a
// fresh connection, whether it made it.
DrawResult afterLostCommit(store::DbConnection& connection, DrawResult done)
{
    const std::string lost = connection.error();
    connection.RollbackTransaction();
    auto row = connection.Execute("select count(*) from draw_record where record_digest = ?", {done.record.digest});
    if (row && row->FieldInteger(0) == 1)
        return done;
    DrawResult result;
    result.status = row ? DrawStatus::ConnectionLost : DrawStatus::OutcomeUnknown;
    result.error = lost;
    return result;
}

// Writes the record of a draw or void (`write` fills in its number and
// digests) and commits, giving `done` when all went well.
template <typename Write>
DrawResult commitWith(store::DbConnection& connection, DrawResult done, Write write)
{
    if (!write(done))
        return failure(connection, DrawStatus::DatabaseError);
    if (connection.CommitTransaction())
        return done;
    if (connection.errorKind() == store::ErrorKind::ConnectionLost)
        return afterLostCommit(connection, std::move(done));
    return failure(connection, DrawStatus::DatabaseError);
}

// Tries `once` again while the server undoes it for a conflict with another
// draw, waiting a little longer each time so that the two draws part.
template <typename Once>
DrawResult retryConflicts(RandomSource& random, Once once)
{
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

// One try of a draw inside its own transaction; `retry` is set when a winner
// was taken by another program and the draw should be tried afresh.
DrawResult tryDraw(store::DbConnection& connection, const DrawRequest& request, bool useListed, bool& retry)
{
    retry = false;
    if (!connection.BeginTransaction())
        return failure(connection, DrawStatus::DatabaseError);
    EligibleListBuilder loaded;
    if (!useListed && !LoadEligibleIds(connection, loaded))
        return loaded.ok() ? failure(connection, DrawStatus::DatabaseError)
                           : failure(connection, DrawStatus::BadList, loaded.error());
    const std::vector<std::int64_t>& ids = useListed ? *request.listedIds : loaded.ids();
    const auto available = static_cast<long long>(ids.size());
    if (available == 0 || request.count < 1 || request.count > available) {
        DrawResult result = failure(connection, available == 0 ? DrawStatus::NobodyLeft : DrawStatus::CountOutOfRange);
        result.available = available;
        return result;
    }
    Attempt attempt = pickAndMark(connection, ids, std::size_t(request.count), request.seeds);
    if (attempt.outcome == Outcome::Taken) {
        retry = true;
        return failure(connection, DrawStatus::ListKeptChanging);
    }
    if (attempt.outcome != Outcome::Done)
        return failure(connection, statusOf(attempt.outcome), attempt.problem);

    DrawResult result;
    result.available = available;
    DrawRecord& record = result.record;
    record.time = UtcNow();
    record.level = request.level;
    record.requested = request.count;
    record.eligibleCount = available;
    const bool known = useListed && request.listedEncoding && request.listedDigest;
    record.eligibleIds = known ? *request.listedEncoding : EncodeIds(ids);
    record.eligibleDigest = known ? *request.listedDigest : EligibleDigest(record.eligibleIds);
    record.seed = attempt.seedHex;
    record.winners = std::move(attempt.winners);
    result.markedIds = std::move(attempt.marked);
    return commitWith(connection, std::move(result),
                      [&](DrawResult& done) { return WriteDraw(connection, done.record); });
}

}  // namespace

bool LoadEligibleIds(store::DbConnection& connection, EligibleListBuilder& list)
{
    list.clear();
    auto rows = connection.Execute(kSelectEligibleIds);
    if (!rows)
        return false;
    while (!rows->EndOfFile()) {
        // Most files hold whole numbers; reading them as such skips a text per row.
        if (!(rows->IsInteger(0) ? list.add(rows->FieldInteger(0)) : list.add(rows->Field(0))))
            return false;
        if (!rows->MoveNext()) {
            connection.noteReadError(*rows);
            return false;
        }
    }
    return true;
}

DrawResult RunDraw(store::DbConnection& connection, const DrawRequest& request)
{
    if (!EnsureDrawTables(connection))
        return failure(connection, DrawStatus::DatabaseError);
    RandomSource random;
    int attempt = 0;
    return retryConflicts(random, [&] {
        DrawResult result;
        for (int taken = 1; taken <= kMaxDrawAttempts; ++taken) {
            bool retry = false;
            // The caller's list serves the first try; after a clash the list is
            // read afresh inside the transaction, where nobody can change it.
            ++attempt;
            result = tryDraw(connection, request, attempt == 1 && request.listedIds != nullptr, retry);
            result.attempts = taken;
            if (!retry)
                return result;
        }
        return result;
    });
}

namespace {

DrawResult tryVoid(store::DbConnection& connection, long long drawId, int position, const SeedSource& seeds)
{
    if (!connection.BeginTransaction())
        return failure(connection, DrawStatus::DatabaseError);
    long long lastDraw = 0;
    DrawRecord record;
    if (!LastDrawId(connection, lastDraw))
        return failure(connection, DrawStatus::DatabaseError);
    if (lastDraw != drawId || !ReadDraw(connection, drawId, record))
        return connection.error().empty() ? failure(connection, DrawStatus::NotLastDraw)
                                          : failure(connection, DrawStatus::DatabaseError);
    std::optional<RecordedWinner> holder;
    for (const RecordedWinner& winner : CurrentWinners(record))
        if (winner.position == position)
            holder = winner;
    if (!holder)
        return failure(connection, DrawStatus::NoSuchPosition);

    EligibleListBuilder list;
    if (!LoadEligibleIds(connection, list))
        return list.ok() ? failure(connection, DrawStatus::DatabaseError)
                         : failure(connection, DrawStatus::BadList, list.error());
    if (list.ids().empty())
        return failure(connection, DrawStatus::NobodyLeft);
    Attempt attempt = pickAndMark(connection, list.ids(), 1, seeds);
    if (attempt.outcome != Outcome::Done)  // nobody else can write meanwhile: Taken cannot happen
        return failure(connection, statusOf(attempt.outcome), attempt.problem);

    DrawVoid entry;
    entry.position = position;
    entry.voidedId = holder->id;
    entry.time = UtcNow();
    entry.eligibleCount = static_cast<long long>(list.ids().size());
    entry.eligibleIds = EncodeIds(list.ids());
    entry.eligibleDigest = EligibleDigest(entry.eligibleIds);
    entry.seed = attempt.seedHex;
    entry.replacement = attempt.winners.front();
    entry.replacement.position = position;
    DrawResult result;
    result.available = entry.eligibleCount;
    result.attempts = 1;
    result.record = std::move(record);
    result.record.voids.push_back(std::move(entry));
    return commitWith(connection, std::move(result),
                      [&](DrawResult& done) { return WriteVoid(connection, drawId, done.record.voids.back()); });
}

}  // namespace

DrawResult VoidAndReplace(store::DbConnection& connection, long long drawId, int position, const SeedSource& seeds)
{
    if (!EnsureDrawTables(connection))
        return failure(connection, DrawStatus::DatabaseError);
    RandomSource random;
    return retryConflicts(random, [&] { return tryVoid(connection, drawId, position, seeds); });
}

std::string DescribeRefusal(const DrawResult& result)
{
    switch (result.status) {
    case DrawStatus::ListKeptChanging:
        return lang::trf("other programs kept marking the drawn winners first (%1 tries); the draw was undone and "
                         "nobody was marked, please draw again",
                         "其他程序一再抢先标记了抽中的人（已试 %1 次）；本次抽奖已撤销，没有标记任何人，请重新抽奖",
                         {std::to_string(result.attempts)});
    case DrawStatus::MarkChangedNothing:
        return lang::trf("%1; the whole draw was undone and nobody was marked",
                         "%1；整个抽奖已撤销，没有标记任何人", {result.error});
    case DrawStatus::BadList:
        return lang::trf("%1; nobody was marked", "%1；没有标记任何人", {result.error});
    case DrawStatus::NotLastDraw:
        return lang::tr("only a winner of the last draw can be voided", "只能作废最后一次抽奖的中奖者");
    case DrawStatus::NoSuchPosition:
        return lang::tr("the draw has no winner at that position", "该次抽奖没有这个名次");
    case DrawStatus::NobodyLeft:
        return lang::tr("nobody is left who has not won yet", "已经没有未中奖的人了");
    case DrawStatus::KeptConflicting:
        return lang::trf("draws from other PCs kept running at the same moment (%1 tries); nothing was recorded "
                         "and nobody was marked, please draw again",
                         "其他电脑一再同时抽奖（已试 %1 次）；没有记录任何抽奖，也没有标记任何人，请重新抽奖",
                         {std::to_string(result.attempts)});
    case DrawStatus::ConnectionLost:
        return lang::trf("%1. Nothing was recorded and nobody was marked; try again once the database server can "
                         "be reached",
                         "%1。没有记录任何抽奖，也没有标记任何人；请在数据库服务器恢复后重试", {result.error});
    case DrawStatus::OutcomeUnknown:
        return lang::trf("%1, while the draw was being saved: it may or may not have been recorded. Once the "
                         "database server can be reached, look at the history before drawing again",
                         "%1，发生在保存抽奖的时候：这次抽奖可能已记录，也可能没有。请在数据库服务器恢复后先查看抽奖记录，再重新抽奖",
                         {result.error});
    case DrawStatus::DatabaseError:
        return lang::trf("%1; nobody was marked", "%1；没有标记任何人", {result.error});
    case DrawStatus::Done:
    case DrawStatus::CountOutOfRange:
        break;
    }
    return result.error;
}

}  // namespace draw
