#include "draw/prize_draw.h"

#include "draw/announced_draw.h"
#include "draw/prize_plan.h"
#include "draw/record_chain.h"
#include "draw/record_transaction.h"
#include "platform/language/language.h"

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
// The caller's list, or one read now (inside the transaction) when there is
// none, the draw is tried again, or a group rule limits it.
struct EligibleList {
    EligibleListBuilder loaded;
    const std::vector<std::int64_t>* ids = nullptr;
    std::string encoded;
    std::string digest;
};

bool takeList(store::DbConnection& connection, const DrawRequest& request, const std::string& groupRule,
              bool useListed, EligibleList& list)
{
    std::string head;
    if (useListed && groupRule.empty() && request.listedHead && !ChainHead(connection, head))
        return false;
    // A list read before the file had a record matches a record still empty.
    const bool sameHead = !request.listedHead || head == *request.listedHead ||
                          (request.listedHead->empty() && head == kChainStart);
    if (useListed && groupRule.empty() && sameHead) {
        list.ids = request.listedIds;
        const bool known = request.listedEncoding && request.listedDigest;
        list.encoded = known ? *request.listedEncoding : EncodeIds(*list.ids);
        list.digest = known ? *request.listedDigest : EligibleDigest(list.encoded);
        return true;
    }
    if (!LoadEligibleIds(connection, list.loaded, groupRule))
        return false;
    list.ids = &list.loaded.ids();
    list.encoded = EncodeIds(*list.ids);
    list.digest = EligibleDigest(list.encoded);
    return true;
}

// The level, prize, count and group rule a draw takes: the request's, or
// its plan round's as the plan stands inside the transaction.
bool resolveRound(store::DbConnection& connection, DrawRequest& request, std::string& refusal)
{
    if (!request.planRound)
        return true;
    PlanRound round;
    if (!RoundToDraw(connection, *request.planRound, std::nullopt, round, refusal))
        return false;
    request.level = round.level;
    request.prizeName = round.prizeName;
    request.count = round.count;
    request.groupRule = round.groupRule;
    return true;
}

// One try of a draw inside its own transaction; `retry` is set when a winner
// was taken by another program and the draw should be tried afresh.
DrawResult tryDraw(store::DbConnection& connection, DrawRequest request, const Seed& organiser, bool useListed,
                   bool& retry)
{
    retry = false;
    if (!connection.BeginTransaction())
        return Failure(connection, DrawStatus::DatabaseError);
    std::string refusal;
    if (!resolveRound(connection, request, refusal))
        return Failure(connection, DrawStatus::DatabaseError);
    if (!refusal.empty())
        return Failure(connection, DrawStatus::Refused, refusal);
    EligibleList list;
    if (!takeList(connection, request, request.groupRule, useListed, list))
        return ListFailure(connection, list.loaded);
    const auto available = static_cast<long long>(list.ids->size());
    if (std::optional<DrawResult> refused = CountRefusal(connection, request.count, available))
        return std::move(*refused);
    const Seed seed = DrawSeed(organiser, request.publicInput, list.digest);
    PickAttempt attempt = PickAndMark(connection, *list.ids, std::size_t(request.count), seed);
    if (attempt.outcome == PickOutcome::Taken) {
        retry = true;
        return Failure(connection, DrawStatus::ListKeptChanging);
    }
    if (attempt.outcome != PickOutcome::Done)
        return Failure(connection, StatusOf(attempt.outcome), attempt.problem);

    DrawResult result;
    result.available = available;
    DrawRecord& record = result.record;
    record.format = 2;
    record.time = UtcNow();
    record.level = request.level;
    record.prizeName = request.prizeName;
    record.planRound = request.planRound;
    record.groupRule = request.groupRule;
    record.requested = request.count;
    record.eligibleCount = available;
    record.eligibleIds = std::move(list.encoded);
    record.eligibleDigest = std::move(list.digest);
    record.organiserSeed = SeedHex(organiser);
    record.seedCommitment = SeedCommitment(organiser);
    record.publicInput = request.publicInput;
    record.seed = SeedHex(seed);
    record.winners = std::move(attempt.winners);
    result.markedIds = std::move(attempt.marked);
    return CommitWith(connection, std::move(result), "draw_record", [&](DrawResult& done) -> Written {
        if (!WriteDraw(connection, done.record))
            return std::nullopt;
        return done.record.digest;
    });
}

// Checks the public input and gives it in the form it is recorded in.
bool takePublicInput(std::string& publicInput, DrawResult& refused)
{
    publicInput = PublicInputText(publicInput);
    refused.error = PublicInputProblem(publicInput);
    refused.status = DrawStatus::Refused;
    return refused.error.empty();
}

DrawResult tryVoid(store::DbConnection& connection, const VoidRequest& request, const Seed& organiser)
{
    if (!connection.BeginTransaction())
        return Failure(connection, DrawStatus::DatabaseError);
    long long lastDraw = 0;
    DrawRecord record;
    if (!LastDrawId(connection, lastDraw))
        return Failure(connection, DrawStatus::DatabaseError);
    if (lastDraw != request.drawId || !ReadDraw(connection, request.drawId, record))
        return connection.error().empty() ? Failure(connection, DrawStatus::NotLastDraw)
                                          : Failure(connection, DrawStatus::DatabaseError);
    std::optional<RecordedWinner> holder;
    for (const RecordedWinner& winner : CurrentWinners(record))
        if (winner.position == request.position)
            holder = winner;
    if (!holder)
        return Failure(connection, DrawStatus::NoSuchPosition);

    EligibleListBuilder list;
    if (!LoadEligibleIds(connection, list, record.groupRule))
        return ListFailure(connection, list);
    if (list.ids().empty())
        return Failure(connection, DrawStatus::NobodyLeft);
    DrawVoid entry;
    entry.format = 2;
    entry.eligibleIds = EncodeIds(list.ids());
    entry.eligibleDigest = EligibleDigest(entry.eligibleIds);
    const Seed seed = DrawSeed(organiser, request.publicInput, entry.eligibleDigest);
    PickAttempt attempt = PickAndMark(connection, list.ids(), 1, seed);
    if (attempt.outcome != PickOutcome::Done)  // nobody else can write meanwhile: Taken cannot happen
        return Failure(connection, StatusOf(attempt.outcome), attempt.problem);

    entry.position = request.position;
    entry.voidedId = holder->id;
    entry.time = UtcNow();
    entry.eligibleCount = static_cast<long long>(list.ids().size());
    entry.seed = SeedHex(seed);
    entry.organiserSeed = SeedHex(organiser);
    entry.seedCommitment = SeedCommitment(organiser);
    entry.publicInput = request.publicInput;
    entry.reason = request.reason;
    entry.replacement = attempt.winners.front();
    entry.replacement.position = request.position;
    DrawResult result;
    result.available = entry.eligibleCount;
    result.attempts = 1;
    result.record = std::move(record);
    result.record.voids.push_back(std::move(entry));
    return CommitWith(connection, std::move(result), "draw_void", [&](DrawResult& done) -> Written {
        DrawVoid& written = done.record.voids.back();
        if (!WriteVoid(connection, request.drawId, written))
            return std::nullopt;
        return written.digest;
    });
}

}  // namespace

DrawStatus StatusOf(PickOutcome outcome)
{
    return outcome == PickOutcome::ChangedNothing ? DrawStatus::MarkChangedNothing : DrawStatus::DatabaseError;
}

bool LoadEligibleIds(store::DbConnection& connection, EligibleListBuilder& list, const std::string& groupRule)
{
    list.clear();
    GroupRule rule;
    std::string error;
    if (!ParseGroupRule(groupRule, rule, error)) {
        list.setError(error);
        return false;
    }
    std::string sql = kSelectEligibleIds;
    std::vector<store::Value> names(rule.groups.begin(), rule.groups.end());
    if (rule.kind != GroupRule::Kind::Everyone) {
        const std::optional<bool> grouped = connection.HasTable("participant_group");
        if (!grouped)
            return false;
        // Without the table nobody has a group: "only" leaves nobody, "except" everybody.
        if (!*grouped && rule.kind == GroupRule::Kind::Only)
            return true;
        if (*grouped) {
            std::string marks;
            for (std::size_t i = 0; i < names.size(); ++i)
                marks += i ? ", ?" : "?";
            sql = rule.kind == GroupRule::Kind::Only
                      ? "select s.id from sheet s join participant_group g on g.participant_id = s.id"
                        " where s.isluck = '否' and g.group_name in (" + marks + ") order by s.id desc"
                      : "select s.id from sheet s left join participant_group g on g.participant_id = s.id"
                        " where s.isluck = '否' and (g.group_name is null or g.group_name not in (" + marks +
                            ")) order by s.id desc";
        } else {
            names.clear();
        }
    }
    auto rows = connection.ExecuteBound(sql, names);
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
        return Failure(connection, DrawStatus::DatabaseError);
    DrawRequest taken = request;
    DrawResult refused;
    if (!takePublicInput(taken.publicInput, refused))
        return refused;
    if (request.announcementId)
        return RetryConflicts([&] { return TryAnnouncedDraw(connection, taken); });
    // S is taken once: every try below draws with it.
    const Seed organiser = request.organiserSeed ? *request.organiserSeed : request.seeds();
    int attempt = 0;
    return RetryConflicts([&] {
        DrawResult result;
        for (int tries = 1; tries <= kMaxDrawAttempts; ++tries) {
            bool retry = false;
            // The caller's list serves the first try; after a clash the list is
            // read afresh inside the transaction, where nobody can change it.
            ++attempt;
            result = tryDraw(connection, taken, organiser, attempt == 1 && request.listedIds != nullptr, retry);
            result.attempts = tries;
            if (!retry)
                return result;
        }
        return result;
    });
}

DrawResult VoidAndReplace(store::DbConnection& connection, const VoidRequest& request)
{
    if (!EnsureDrawTables(connection))
        return Failure(connection, DrawStatus::DatabaseError);
    VoidRequest taken = request;
    DrawResult refused;
    if (!takePublicInput(taken.publicInput, refused))
        return refused;
    // The reason goes into the record as it is: from the window as from the tool.
    refused.error = RecordTextProblem(taken.reason, lang::tr("the reason", "原因"));
    if (!refused.error.empty())
        return refused;
    const Seed organiser = request.organiserSeed ? *request.organiserSeed : request.seeds();
    return RetryConflicts([&] { return tryVoid(connection, taken, organiser); });
}

DrawResult VoidAndReplace(store::DbConnection& connection, long long drawId, int position, const SeedSource& seeds)
{
    VoidRequest request;
    request.drawId = drawId;
    request.position = position;
    request.seeds = seeds;
    return VoidAndReplace(connection, request);
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
    case DrawStatus::Refused:
        break;
    }
    return result.error;
}

}  // namespace draw
