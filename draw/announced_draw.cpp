#include "draw/announced_draw.h"

#include "draw/prize_plan.h"
#include "draw/record_transaction.h"
#include "platform/language/language.h"

namespace draw {
namespace {

// The announced ids (highest first) that are no longer among the not-won
// ids now (highest first).
std::vector<std::int64_t> goneSince(const std::vector<std::int64_t>& announced, const std::vector<std::int64_t>& now)
{
    std::vector<std::int64_t> gone;
    auto at = now.begin();
    for (std::int64_t id : announced) {
        while (at != now.end() && *at > id)
            ++at;
        if (at == now.end() || *at != id)
            gone.push_back(id);
    }
    return gone;
}

std::string goneRefusal(long long announcementId, const std::vector<std::int64_t>& gone)
{
    std::string ids;
    for (std::size_t i = 0; i < gone.size() && i < 5; ++i)
        ids += (i ? ", " : "") + std::to_string(gone[i]);
    if (gone.size() > 5)
        ids += ", …";
    return lang::trf("%1 participants on the list of announcement %2 have won or left since it was made (ids %3): "
                     "it can no longer be drawn as announced",
                     "第 %2 号公告名单中有 %1 人在公告之后已中奖或已不在名单中（编号 %3）：无法再按公告抽奖",
                     {std::to_string(gone.size()), std::to_string(announcementId), ids});
}

// Why announcement `entry` cannot be drawn now, "" when it can.
bool announcedRefusal(store::DbConnection& connection, const Announcement& entry, std::string& refusal)
{
    auto drawn = connection.ExecuteBound("select min(draw_id) from draw_record where announcement_id = ?",
                                         {std::int64_t(entry.id)});
    if (!drawn)
        return false;
    if (!drawn->IsNull(0)) {
        refusal = lang::trf("announcement %1 was drawn already (draw %2)", "第 %1 号公告已经抽过（第 %2 次抽奖）",
                            {std::to_string(entry.id), drawn->Field(0)});
        return true;
    }
    if (!entry.planRound)
        return true;
    PlanRound round;
    return RoundToDraw(connection, *entry.planRound, entry.id, round, refusal);
}

DrawRecord announcedRecord(const Announcement& entry, const DrawRequest& request, const Seed& seed)
{
    DrawRecord record;
    record.format = 2;
    record.time = UtcNow();
    record.level = entry.level;
    record.prizeName = entry.prizeName;
    record.planRound = entry.planRound;
    record.groupRule = entry.groupRule;
    record.requested = entry.requested;
    record.eligibleCount = entry.eligibleCount;
    record.eligibleIds = entry.eligibleIds;
    record.eligibleDigest = entry.eligibleDigest;
    record.publicInput = request.publicInput;
    record.announcementId = entry.id;
    record.seed = SeedHex(seed);
    return record;
}

DrawResult tryAnnounce(store::DbConnection& connection, AnnounceRequest request, const std::string& source)
{
    if (!connection.BeginTransaction())
        return Failure(connection, DrawStatus::DatabaseError);
    std::string groupRule, refusal;
    if (request.planRound) {
        PlanRound round;
        if (!RoundToDraw(connection, *request.planRound, std::nullopt, round, refusal))
            return Failure(connection, DrawStatus::DatabaseError);
        request.level = round.level;
        request.prizeName = round.prizeName;
        request.count = round.count;
        groupRule = round.groupRule;
    }
    if (refusal.empty() && request.level.empty())
        refusal = lang::tr("an announcement needs a prize level", "公告需要奖项等级");
    if (!refusal.empty())
        return Failure(connection, DrawStatus::Refused, refusal);
    EligibleListBuilder list;
    if (!LoadEligibleIds(connection, list, groupRule))
        return ListFailure(connection, list);
    const auto available = static_cast<long long>(list.ids().size());
    if (std::optional<DrawResult> refused = CountRefusal(connection, request.count, available))
        return std::move(*refused);
    DrawResult result;
    result.available = available;
    Announcement& entry = result.announcement;
    entry.time = UtcNow();
    entry.level = request.level;
    entry.requested = request.count;
    entry.source = source;
    entry.eligibleCount = available;
    entry.eligibleIds = EncodeIds(list.ids());
    entry.eligibleDigest = EligibleDigest(entry.eligibleIds);
    entry.prizeName = request.prizeName;
    entry.planRound = request.planRound;
    entry.groupRule = groupRule;
    return CommitWith(connection, std::move(result), "draw_announcement", [&](DrawResult& done) -> Written {
        if (!WriteAnnouncement(connection, done.announcement))
            return std::nullopt;
        return done.announcement.digest;
    });
}

}  // namespace

DrawResult TryAnnouncedDraw(store::DbConnection& connection, const DrawRequest& request)
{
    if (!connection.BeginTransaction())
        return Failure(connection, DrawStatus::DatabaseError);
    Announcement entry;
    if (!ReadAnnouncement(connection, *request.announcementId, entry, true))
        return connection.error().empty()
                   ? Failure(connection, DrawStatus::Refused,
                             lang::trf("there is no announcement %1", "没有第 %1 号公告",
                                       {std::to_string(*request.announcementId)}))
                   : Failure(connection, DrawStatus::DatabaseError);
    std::string refusal;
    if (!announcedRefusal(connection, entry, refusal))
        return Failure(connection, DrawStatus::DatabaseError);
    if (refusal.empty() && request.publicInput.empty())
        refusal = lang::trf("a draw from an announcement needs the public value it names: %1",
                            "按公告抽奖需要公告中指定的公开数值：%1", {entry.source});
    if (!refusal.empty())
        return Failure(connection, DrawStatus::Refused, refusal);
    std::vector<std::int64_t> announced;
    EligibleListBuilder now;
    if (!DecodeIds(entry.eligibleIds, announced) ||
        static_cast<long long>(announced.size()) != entry.eligibleCount || entry.requested > entry.eligibleCount)
        return Failure(connection, DrawStatus::BadList,
                       lang::trf("the list of announcement %1 cannot be read", "第 %1 号公告的名单无法读取",
                                 {std::to_string(entry.id)}));
    if (!LoadEligibleIds(connection, now))
        return ListFailure(connection, now);
    const std::vector<std::int64_t> gone = goneSince(announced, now.ids());
    if (!gone.empty())
        return Failure(connection, DrawStatus::Refused, goneRefusal(entry.id, gone));
    const Seed seed = AnnouncedSeed(entry.digest, request.publicInput);
    PickAttempt attempt = PickAndMark(connection, announced, std::size_t(entry.requested), seed);
    if (attempt.outcome != PickOutcome::Done)  // everyone on the list was checked just now
        return Failure(connection, StatusOf(attempt.outcome), attempt.problem);
    DrawResult result;
    result.available = entry.eligibleCount;
    result.attempts = 1;
    result.record = announcedRecord(entry, request, seed);
    result.record.winners = std::move(attempt.winners);
    result.markedIds = std::move(attempt.marked);
    return CommitWith(connection, std::move(result), "draw_record", [&](DrawResult& done) -> Written {
        if (!WriteDraw(connection, done.record))
            return std::nullopt;
        return done.record.digest;
    });
}

DrawResult Announce(store::DbConnection& connection, const AnnounceRequest& request)
{
    const std::string source = PublicInputText(request.source);
    DrawResult refused;
    refused.status = DrawStatus::Refused;
    refused.error = source.empty() ? lang::tr("an announcement must name the source of the public input",
                                              "公告必须指明公开输入的来源")
                                   : RecordTextProblem(source, lang::tr("the source", "来源"));
    if (!refused.error.empty())
        return refused;
    if (!EnsureDrawTables(connection))
        return Failure(connection, DrawStatus::DatabaseError);
    return RetryConflicts([&] { return tryAnnounce(connection, request, source); });
}

std::vector<std::string> AnnouncementNotice(const Announcement& entry)
{
    const std::string size = std::to_string(entry.eligibleCount), count = std::to_string(entry.requested);
    std::vector<std::string> lines = {
        lang::trf("Announcement %1 of a prize draw", "抽奖公告 第 %1 号", {std::to_string(entry.id)}),
        lang::trf("Announced at %1 (UTC %2)", "公告时间 %1（UTC %2）", {LocalTimeText(entry.time), entry.time}),
        lang::trf("Prize level: %1", "奖项：%1", {entry.level}),
    };
    if (!entry.prizeName.empty())
        lines.push_back(lang::trf("Prize: %1", "奖品：%1", {entry.prizeName}));
    if (entry.planRound)
        lines.push_back(lang::trf("Round %1 of the prize plan", "奖项计划第 %1 轮", {std::to_string(*entry.planRound)}));
    if (!entry.groupRule.empty())
        lines.push_back(lang::trf("Who may win: %1", "参与范围：%1", {GroupRuleShown(entry.groupRule)}));
    const std::vector<std::string> rest = {
        lang::trf("Winners to be drawn: %1", "抽取人数：%1", {count}),
        lang::trf("The list: %1 participants who had not won, highest id first; its SHA-256 digest: %2",
                  "名单：%1 名尚未中奖的参与者，按编号从大到小排列；名单的 SHA-256 摘要：%2",
                  {size, entry.eligibleDigest}),
        lang::trf("The public value that will pick the winners: %1", "决定中奖者的公开数值：%1", {entry.source}),
        lang::trf("Digest of this announcement: %1", "本公告的摘要：%1", {entry.digest}),
        lang::tr("How anyone works out the winners:", "任何人都可以这样算出中奖者："),
        lang::trf("1. seed = SHA-256 of the netstrings 18:sortia-announced-1, then 64:%1, then the public value "
                  "(its UTF-8 bytes with surrounding spaces removed) as <length>:<bytes>, — a netstring is the byte "
                  "length in decimal, a colon, the bytes and a comma.",
                  "1. 种子 = 依次对网串 18:sortia-announced-1, 、64:%1, 和公开数值（去掉首尾空格后的 UTF-8 字节，写成 "
                  "<长度>:<字节>,）计算的 SHA-256；网串即十进制字节长度、冒号、字节本身和逗号。",
                  {entry.digest}),
        lang::trf("2. For j = 0, 1, 2, …: u = the first 8 bytes (big-endian) of SHA-256(seed followed by j as 8 "
                  "big-endian bytes). Skip u when u ≥ 2^64 − (2^64 mod %1); otherwise the position is u mod %1 "
                  "(0 is the first of the list), skipping positions already taken.",
                  "2. 对 j = 0, 1, 2, …：u = SHA-256（种子后接 8 字节大端序的 j）的前 8 个字节（大端序）。若 u ≥ 2^64 − "
                  "(2^64 mod %1) 则跳过；否则名次位置为 u mod %1（0 为名单第一人），已选中的位置跳过。",
                  {size}),
        lang::trf("3. The first %1 positions, in order, are the winners: the participants at those positions of the "
                  "list whose digest is given above.",
                  "3. 依次得到的前 %1 个位置即中奖者：上述摘要所对应名单中这些位置上的参与者。", {count}),
    };
    lines.insert(lines.end(), rest.begin(), rest.end());
    return lines;
}

DrawResult DrawAnnounced(store::DbConnection& connection, long long id, const std::string& publicInput)
{
    DrawRequest request;
    request.announcementId = id;
    request.publicInput = publicInput;
    return RunDraw(connection, request);
}

}  // namespace draw
