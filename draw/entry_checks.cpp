#include "draw/entry_checks.h"

#include <algorithm>

#include "draw/draw_picks.h"
#include "draw/prize_plan.h"
#include "platform/language/language.h"

namespace draw {
namespace {

void digestDiffers(std::vector<std::string>& differences)
{
    differences.push_back(lang::tr("the record does not match its digest: it was changed after it was written",
                                   "记录与其摘要不符：写入之后被修改过"));
}

// The stored list of an entry, checked against its count and digest; `ids`
// stays empty when the picks cannot be recomputed from it.
void checkList(const std::string& encoded, long long count, const std::string& digest, std::vector<std::int64_t>& ids,
               std::vector<std::string>& differences)
{
    if (!DecodeIds(encoded, ids)) {
        differences.push_back(lang::tr("the stored eligible list cannot be read", "保存的候选名单无法读取"));
        ids.clear();
        return;
    }
    if (EligibleDigest(encoded) != digest)
        differences.push_back(lang::tr("the eligible list does not match its digest", "候选名单与其摘要不符"));
    if (static_cast<long long>(ids.size()) != count) {
        differences.push_back(lang::trf("the stored eligible list holds %1 participants, the record says %2",
                                        "保存的候选名单有 %1 人，记录上写的是 %2 人",
                                        {std::to_string(ids.size()), std::to_string(count)}));
        ids.clear();
    }
}

// A list of a group-limited draw must hold only whom the rule lets in.
void checkMembers(const std::string& groupRule, const std::vector<std::int64_t>& ids, const GroupMap* groups,
                  std::vector<std::string>& differences)
{
    GroupRule rule;
    std::string error;
    if (!ParseGroupRule(groupRule, rule, error)) {
        differences.push_back(error);
        return;
    }
    if (rule.kind == GroupRule::Kind::Everyone || !groups)
        return;
    for (std::int64_t id : ids) {
        const auto group = groups->find(id);
        const bool listed = group != groups->end() &&
                            std::find(rule.groups.begin(), rule.groups.end(), group->second) != rule.groups.end();
        if (listed != (rule.kind == GroupRule::Kind::Only)) {
            differences.push_back(lang::trf("its list holds id %1, whose group the rule %2 leaves out",
                                            "它的名单中有编号 %1，但分组规则 %2 不包括其分组",
                                            {std::to_string(id), GroupRuleShown(groupRule)}));
            return;
        }
    }
}

// Format 2: S must match its commitment and give the seed with the public
// input and the list.
bool derivedSeed(const std::string& organiserHex, const std::string& commitment, const std::string& publicInput,
                 const std::string& eligibleDigest, Seed& seed, std::vector<std::string>& differences)
{
    Seed organiser{};
    if (!SeedFromHex(organiserHex, organiser)) {
        differences.push_back(lang::tr("the organiser seed is not 64 hexadecimal digits", "组织者种子不是 64 位十六进制数"));
        return false;
    }
    if (SeedCommitment(organiser) != commitment)
        differences.push_back(lang::tr("the organiser seed does not match the commitment shown before the draw",
                                       "组织者种子与抽奖前公布的承诺值不符"));
    if (PublicInputText(publicInput) != publicInput || !PublicInputProblem(publicInput).empty())
        differences.push_back(lang::tr("the public input is not as it would have been recorded",
                                       "公开输入与应有的记录形式不符"));
    seed = DrawSeed(organiser, publicInput, eligibleDigest);
    return true;
}

// The seed a draw's picks must follow, or false when there is none to use.
bool expectedSeed(const DrawRecord& record, const Announcement* announcement, Seed& seed,
                  std::vector<std::string>& differences)
{
    if (record.format == 1) {
        if (SeedFromHex(record.seed, seed))
            return true;
        differences.push_back(lang::tr("the seed is not 64 hexadecimal digits", "种子不是 64 位十六进制数"));
        return false;
    }
    if (!record.announcementId)
        return derivedSeed(record.organiserSeed, record.seedCommitment, record.publicInput, record.eligibleDigest,
                           seed, differences);
    if (!announcement) {
        differences.push_back(lang::trf("it names announcement %1, which the chain does not hold before it",
                                        "它指明第 %1 号公告，但记录链中在它之前没有这条公告",
                                        {std::to_string(*record.announcementId)}));
        return false;
    }
    if (record.eligibleDigest != announcement->eligibleDigest || record.eligibleCount != announcement->eligibleCount ||
        record.level != announcement->level || record.requested != announcement->requested)
        differences.push_back(lang::trf("its list, level or number of winners is not that of announcement %1",
                                        "它的名单、等级或中奖人数与第 %1 号公告不同", {std::to_string(announcement->id)}));
    if (!record.organiserSeed.empty() || !record.seedCommitment.empty())
        differences.push_back(lang::tr("a draw from an announcement holds an organiser seed",
                                       "按公告的抽奖中含有组织者种子"));
    seed = AnnouncedSeed(announcement->digest, record.publicInput);
    return true;
}

void checkSeedColumn(const std::string& stored, const Seed& seed, int format, std::vector<std::string>& differences)
{
    if (format != 1 && stored != SeedHex(seed))
        differences.push_back(lang::tr("the seed does not follow from the organiser seed, the public input and the "
                                       "list",
                                       "种子不是由组织者种子、公开输入和名单得出的"));
}

}  // namespace

void CheckDrawEntry(const DrawRecord& record, const Announcement* announcement, const GroupMap* groups,
                    std::vector<std::int64_t>& ids, std::vector<std::string>& differences)
{
    if (record.format != 1 && record.format != 2)
        differences.push_back(lang::trf("it is of format %1, which this version does not know",
                                        "它的格式是 %1，本版本不认识", {std::to_string(record.format)}));
    checkList(record.eligibleIds, record.eligibleCount, record.eligibleDigest, ids, differences);
    checkMembers(record.groupRule, ids, groups, differences);
    Seed seed{};
    const bool seedUsable = expectedSeed(record, announcement, seed, differences);
    if (seedUsable)
        checkSeedColumn(record.seed, seed, record.format, differences);
    const auto listed = static_cast<long long>(record.winners.size());
    if (listed != record.requested)
        differences.push_back(lang::trf("the record lists %1 winners, %2 were requested",
                                        "记录列出 %1 名中奖者，要求的是 %2 名", {std::to_string(listed), std::to_string(record.requested)}));
    if (seedUsable && listed > 0 && listed <= static_cast<long long>(ids.size())) {
        const auto picks = PickIndices(seed, ids.size(), record.winners.size());
        for (std::size_t k = 0; k < picks.size(); ++k) {
            const RecordedWinner& winner = record.winners[k];
            if (winner.position != int(k + 1) || winner.id != ids[picks[k]])
                differences.push_back(lang::trf("winner %1 is id %2; the seed and the list give id %3",
                                                "第 %1 名中奖者是编号 %2；由种子和名单得出的是编号 %3",
                                                {std::to_string(k + 1), std::to_string(winner.id),
                                                 std::to_string(ids[picks[k]])}));
        }
    }
    if (DrawDigest(record) != record.digest)
        digestDiffers(differences);
}

void CheckVoidEntry(const DrawRecord& record, const DrawVoid& entry, const RecordedWinner* holder,
                    const std::set<std::int64_t>& wonInDraw, const GroupMap* groups, std::vector<std::int64_t>& ids,
                    std::vector<std::string>& differences)
{
    if (!holder)
        differences.push_back(lang::trf("the draw has no position %1", "该次抽奖没有第 %1 名", {std::to_string(entry.position)}));
    else if (holder->id != entry.voidedId)
        differences.push_back(lang::trf("it voids id %1, but position %2 was held by id %3",
                                        "作废的是编号 %1，但第 %2 名当时是编号 %3",
                                        {std::to_string(entry.voidedId), std::to_string(entry.position), std::to_string(holder->id)}));
    checkList(entry.eligibleIds, entry.eligibleCount, entry.eligibleDigest, ids, differences);
    if (entry.format != 1)
        checkMembers(record.groupRule, ids, groups, differences);
    Seed seed{};
    bool seedUsable = false;
    if (entry.format == 1) {
        seedUsable = SeedFromHex(entry.seed, seed);
        if (!seedUsable)
            differences.push_back(lang::tr("the seed is not 64 hexadecimal digits", "种子不是 64 位十六进制数"));
    } else {
        seedUsable = derivedSeed(entry.organiserSeed, entry.seedCommitment, entry.publicInput, entry.eligibleDigest,
                                 seed, differences);
        if (seedUsable)
            checkSeedColumn(entry.seed, seed, entry.format, differences);
    }
    if (seedUsable && !ids.empty()) {
        const std::int64_t expected = ids[PickIndices(seed, ids.size(), 1).front()];
        if (entry.replacement.id != expected)
            differences.push_back(lang::trf("the replacement is id %1; the seed and the list give id %2",
                                            "补抽的是编号 %1；由种子和名单得出的是编号 %2",
                                            {std::to_string(entry.replacement.id), std::to_string(expected)}));
    }
    for (std::int64_t id : ids)
        if (wonInDraw.count(id)) {
            differences.push_back(lang::trf("its list holds id %1, who had already won in this draw",
                                            "它的名单中有编号 %1，而此人已在本次抽奖中中奖", {std::to_string(id)}));
            break;
        }
    if (VoidDigest(record.id, entry) != entry.digest)
        digestDiffers(differences);
}

void CheckResetEntry(const ResetEntry& entry, std::vector<std::int64_t>& ids, std::vector<std::string>& differences)
{
    checkList(entry.eligibleIds, entry.eligibleCount, entry.eligibleDigest, ids, differences);
    if (ResetDigest(entry) != entry.digest)
        digestDiffers(differences);
}

void CheckAnnouncementEntry(const Announcement& entry, const GroupMap* groups, std::vector<std::int64_t>& ids,
                            std::vector<std::string>& differences)
{
    checkList(entry.eligibleIds, entry.eligibleCount, entry.eligibleDigest, ids, differences);
    checkMembers(entry.groupRule, ids, groups, differences);
    if (entry.requested < 1 || entry.requested > entry.eligibleCount)
        differences.push_back(lang::trf("it announces %1 winners from a list of %2", "它公告从 %2 人中抽出 %1 人",
                                        {std::to_string(entry.requested), std::to_string(entry.eligibleCount)}));
    if (AnnouncementDigest(entry) != entry.digest)
        digestDiffers(differences);
}

void CheckCorrectionEntry(const Correction& entry, std::vector<std::string>& differences)
{
    if (CorrectionDigest(entry) != entry.digest)
        digestDiffers(differences);
}

}  // namespace draw
