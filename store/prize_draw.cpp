#include "store/prize_draw.h"

#include "platform/language/language.h"
#include "store/sha256.h"

namespace store {

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

enum class Outcome { Done, Taken, ChangedNothing, Error };

struct Attempt {
    Outcome outcome = Outcome::Done;
    std::vector<RecordedWinner> winners;
    std::string seedHex;
    std::string problem;  // which winner's mark changed nothing
};

// Reads each picked participant inside the transaction: one who has won or
// vanished since the list was read makes the attempt void.
Outcome readPicked(DbConnection& connection, const std::vector<std::int64_t>& ids,
                   const std::vector<std::size_t>& picks, std::vector<RecordedWinner>& winners)
{
    winners.clear();
    for (std::size_t k = 0; k < picks.size(); ++k) {
        const std::int64_t id = ids[picks[k]];
        auto row = connection.ExecuteBound(kSelectRow, {id});
        if (!row)
            return Outcome::Error;
        if (row->EndOfFile() || row->Field(2) != kNotWon)
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

// Every winner by its row (which must change), then by its number as the
// program always has, so that rows sharing the number are marked too. A Null
// number is marked by its row only: it names nobody else.
Outcome markAll(DbConnection& connection, const std::vector<RecordedWinner>& winners, std::string& problem)
{
    for (const RecordedWinner& winner : winners) {
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
        if (winner.number && !connection.Run(kMarkWinner, {*winner.number}))
            return Outcome::Error;
    return Outcome::Done;
}

Attempt pickAndMark(DbConnection& connection, const std::vector<std::int64_t>& ids, std::size_t n,
                    const SeedSource& seeds)
{
    Attempt attempt;
    const Seed seed = seeds();
    attempt.seedHex = ToHex(seed.data(), seed.size());
    attempt.outcome = readPicked(connection, ids, PickIndices(seed, ids.size(), n), attempt.winners);
    if (attempt.outcome == Outcome::Done)
        attempt.outcome = markAll(connection, attempt.winners, attempt.problem);
    return attempt;
}

DrawResult failure(DbConnection& connection, DrawStatus status, std::string error = std::string())
{
    connection.RollbackTransaction();
    DrawResult result;
    result.status = status;
    result.error = status == DrawStatus::DatabaseError ? connection.error() : std::move(error);
    if (status == DrawStatus::DatabaseError)
        result.errorKind = connection.errorKind();
    return result;
}

DrawStatus statusOf(Outcome outcome)
{
    return outcome == Outcome::ChangedNothing ? DrawStatus::MarkChangedNothing : DrawStatus::DatabaseError;
}

// One try of a draw inside its own transaction; `retry` is set when a winner
// was taken by another program and the draw should be tried afresh.
DrawResult tryDraw(DbConnection& connection, const DrawRequest& request, bool useListed, bool& retry)
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
    record.eligibleIds = EncodeIds(ids);
    record.eligibleDigest = EligibleDigest(record.eligibleIds);
    record.seed = attempt.seedHex;
    record.winners = std::move(attempt.winners);
    if (!WriteDraw(connection, record) || !connection.CommitTransaction())
        return failure(connection, DrawStatus::DatabaseError);
    return result;
}

}  // namespace

bool LoadEligibleIds(DbConnection& connection, EligibleListBuilder& list)
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

DrawResult RunDraw(DbConnection& connection, const DrawRequest& request)
{
    if (!EnsureDrawTables(connection))
        return failure(connection, DrawStatus::DatabaseError);
    DrawResult result;
    for (int attempt = 1; attempt <= kMaxDrawAttempts; ++attempt) {
        bool retry = false;
        // The caller's list serves the first try; after a clash the list is
        // read afresh inside the transaction, where nobody can change it.
        result = tryDraw(connection, request, attempt == 1 && request.listedIds != nullptr, retry);
        result.attempts = attempt;
        if (!retry)
            return result;
    }
    return result;
}

DrawResult VoidAndReplace(DbConnection& connection, long long drawId, int position, const SeedSource& seeds)
{
    if (!EnsureDrawTables(connection) || !connection.BeginTransaction())
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
    if (!WriteVoid(connection, drawId, entry) || !connection.CommitTransaction())
        return failure(connection, DrawStatus::DatabaseError);
    DrawResult result;
    result.available = entry.eligibleCount;
    result.attempts = 1;
    record.voids.push_back(std::move(entry));
    result.record = std::move(record);
    return result;
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
    case DrawStatus::DatabaseError:
        return lang::trf("%1; nobody was marked", "%1；没有标记任何人", {result.error});
    case DrawStatus::Done:
    case DrawStatus::CountOutOfRange:
        break;
    }
    return result.error;
}

}  // namespace store
