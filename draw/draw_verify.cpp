#include "draw/draw_verify.h"

#include <algorithm>
#include <set>

#include "platform/language/language.h"
#include "draw/draw_picks.h"
#include "draw/draw_record.h"
#include "store/sha256.h"

namespace draw {

bool VerifyReport::ok() const
{
    return problems.empty() &&
           std::all_of(entries.begin(), entries.end(), [](const EntryCheck& entry) { return entry.matches(); });
}

namespace {

std::string text(long long number)
{
    return std::to_string(number);
}

// The stored list of a draw or void, checked against its count and digest.
// Returns false when it cannot be used to recompute the picks.
bool checkList(const std::string& encoded, long long count, const std::string& digest, std::vector<std::int64_t>& ids,
               std::vector<std::string>& differences)
{
    if (!DecodeIds(encoded, ids)) {
        differences.push_back(lang::tr("the stored eligible list cannot be read", "保存的候选名单无法读取"));
        return false;
    }
    bool usable = true;
    if (static_cast<long long>(ids.size()) != count) {
        differences.push_back(lang::trf("the stored eligible list holds %1 participants, the record says %2",
                                        "保存的候选名单有 %1 人，记录上写的是 %2 人",
                                        {text(static_cast<long long>(ids.size())), text(count)}));
        usable = false;
    }
    if (EligibleDigest(encoded) != digest)
        differences.push_back(lang::tr("the eligible list does not match its digest", "候选名单与其摘要不符"));
    return usable;
}

bool seedBytes(const std::string& hex, Seed& seed, std::vector<std::string>& differences)
{
    std::string bytes;
    if (!store::FromHex(hex, bytes) || bytes.size() != seed.size()) {
        differences.push_back(lang::tr("the seed is not 64 hexadecimal digits", "种子不是 64 位十六进制数"));
        return false;
    }
    std::copy(bytes.begin(), bytes.end(), seed.begin());
    return true;
}

void checkLink(const std::string& stored, const std::string& expected, std::vector<std::string>& differences)
{
    if (stored != expected)
        differences.push_back(lang::tr("its link to the entry before it does not match: an earlier draw or void was "
                                       "deleted or changed",
                                       "它与前一条记录的链接不符：之前的某次抽奖或作废被删除或修改过"));
}

EntryCheck checkDraw(const DrawRecord& record, const std::string& expectedPrevious)
{
    EntryCheck check{record.id, 0, {}};
    auto& differences = check.differences;
    std::vector<std::int64_t> ids;
    const bool listUsable = checkList(record.eligibleIds, record.eligibleCount, record.eligibleDigest, ids, differences);
    Seed seed{};
    const bool seedUsable = seedBytes(record.seed, seed, differences);
    const auto listed = static_cast<long long>(record.winners.size());
    if (listed != record.requested)
        differences.push_back(lang::trf("the record lists %1 winners, %2 were requested",
                                        "记录列出 %1 名中奖者，要求的是 %2 名", {text(listed), text(record.requested)}));
    if (listUsable && seedUsable && listed > 0 && listed <= static_cast<long long>(ids.size())) {
        const auto picks = PickIndices(seed, ids.size(), record.winners.size());
        for (std::size_t k = 0; k < picks.size(); ++k) {
            const RecordedWinner& winner = record.winners[k];
            if (winner.position != int(k + 1) || winner.id != ids[picks[k]])
                differences.push_back(lang::trf("winner %1 is id %2; the seed and the list give id %3",
                                                "第 %1 名中奖者是编号 %2；由种子和名单得出的是编号 %3",
                                                {text(static_cast<long long>(k + 1)), text(winner.id), text(ids[picks[k]])}));
        }
    }
    if (DrawDigest(record) != record.digest)
        differences.push_back(lang::tr("the record does not match its digest: it was changed after it was written",
                                       "记录与其摘要不符：写入之后被修改过"));
    checkLink(record.previousDigest, expectedPrevious, differences);
    return check;
}

EntryCheck checkVoid(long long drawId, const DrawVoid& entry, const std::vector<RecordedWinner>& holders,
                     const std::set<std::int64_t>& wonInDraw, const std::string& expectedPrevious)
{
    EntryCheck check{drawId, entry.seq, {}};
    auto& differences = check.differences;
    const auto holder = std::find_if(holders.begin(), holders.end(),
                                     [&](const RecordedWinner& w) { return w.position == entry.position; });
    if (holder == holders.end())
        differences.push_back(lang::trf("the draw has no position %1", "该次抽奖没有第 %1 名", {text(entry.position)}));
    else if (holder->id != entry.voidedId)
        differences.push_back(lang::trf("it voids id %1, but position %2 was held by id %3",
                                        "作废的是编号 %1，但第 %2 名当时是编号 %3",
                                        {text(entry.voidedId), text(entry.position), text(holder->id)}));
    std::vector<std::int64_t> ids;
    const bool listUsable = checkList(entry.eligibleIds, entry.eligibleCount, entry.eligibleDigest, ids, differences);
    Seed seed{};
    if (seedBytes(entry.seed, seed, differences) && listUsable && !ids.empty()) {
        const std::int64_t expected = ids[PickIndices(seed, ids.size(), 1).front()];
        if (entry.replacement.id != expected)
            differences.push_back(lang::trf("the replacement is id %1; the seed and the list give id %2",
                                            "补抽的是编号 %1；由种子和名单得出的是编号 %2",
                                            {text(entry.replacement.id), text(expected)}));
    }
    for (std::int64_t id : ids)
        if (wonInDraw.count(id)) {
            differences.push_back(lang::trf("its list holds id %1, who had already won in this draw",
                                            "它的名单中有编号 %1，而此人已在本次抽奖中中奖", {text(id)}));
            break;
        }
    if (VoidDigest(drawId, entry) != entry.digest)
        differences.push_back(lang::tr("the record does not match its digest: it was changed after it was written",
                                       "记录与其摘要不符：写入之后被修改过"));
    checkLink(entry.previousDigest, expectedPrevious, differences);
    return check;
}

// Checks one draw and its voids; `previous` is the digest the draw should
// link to and becomes the digest of its last entry.
void checkEntries(const DrawRecord& record, std::string& previous, VerifyReport& report)
{
    report.entries.push_back(checkDraw(record, previous));
    previous = record.digest;
    std::vector<RecordedWinner> holders = record.winners;
    std::set<std::int64_t> wonInDraw;
    for (const RecordedWinner& winner : record.winners)
        wonInDraw.insert(winner.id);
    for (const DrawVoid& entry : record.voids) {
        report.entries.push_back(checkVoid(record.id, entry, holders, wonInDraw, previous));
        previous = entry.digest;
        for (RecordedWinner& holder : holders)
            if (holder.position == entry.position)
                holder = entry.replacement;
        wonInDraw.insert(entry.replacement.id);
    }
}

std::string lastDigestOf(const DrawRecord& record)
{
    return record.voids.empty() ? record.digest : record.voids.back().digest;
}

bool drawIds(store::DbConnection& connection, std::vector<long long>& ids)
{
    auto rows = connection.Execute("select draw_id from draw_record order by draw_id");
    if (!rows)
        return false;
    for (; !rows->EndOfFile(); rows->MoveNext())
        ids.push_back(rows->FieldInteger(0));
    if (!rows->error().empty()) {
        connection.noteReadError(*rows);
        return false;
    }
    return true;
}

void noteMissing(long long from, long long to, VerifyReport& report)
{
    for (long long id = from; id < to; ++id)
        report.problems.push_back(lang::trf("draw %1 is missing", "第 %1 次抽奖的记录不见了", {text(id)}));
}

}  // namespace

bool VerifyDraws(store::DbConnection& connection, std::optional<long long> drawId, VerifyReport& report)
{
    report = VerifyReport();
    std::vector<long long> ids;
    const std::optional<bool> present = RecordPresent(connection);
    if (!present)
        return false;
    if (*present && !drawIds(connection, ids))
        return false;
    report.lastDrawId = ids.empty() ? 0 : ids.back();
    std::string previous = kChainStart;
    long long expectedId = 1;
    DrawRecord record;
    if (drawId) {
        if (!std::binary_search(ids.begin(), ids.end(), *drawId)) {
            connection.setError(std::string());
            return false;
        }
        // Only the entry before it is needed for the link.
        if (*drawId > 1) {
            if (std::binary_search(ids.begin(), ids.end(), *drawId - 1)) {
                if (!ReadDraw(connection, *drawId - 1, record))
                    return false;
                previous = lastDigestOf(record);
            } else {
                noteMissing(*drawId - 1, *drawId, report);
                previous.clear();
            }
        }
        ids = {*drawId};
        expectedId = *drawId;
    }
    for (long long id : ids) {
        noteMissing(expectedId, id, report);
        expectedId = id + 1;
        if (!ReadDraw(connection, id, record, true))
            return false;
        checkEntries(record, previous, report);
    }
    report.headDigest = previous;
    return true;
}

}  // namespace draw
