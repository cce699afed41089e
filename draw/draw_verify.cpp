#include "draw/draw_verify.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "draw/chain_walk.h"
#include "draw/draw_picks.h"
#include "draw/eligibility_ledger.h"
#include "draw/entry_checks.h"
#include "draw/prize_draw.h"
#include "draw/record_chain.h"
#include "draw/record_entries.h"
#include "draw/record_rows.h"
#include "platform/language/language.h"
#include "store/sha256.h"

namespace draw {

bool VerifyReport::ok() const
{
    return problems.empty() &&
           std::all_of(entries.begin(), entries.end(), [](const EntryCheck& entry) { return entry.matches(); });
}

std::string EntryName(const EntryCheck& entry)
{
    const std::string draw = std::to_string(entry.drawId), seq = std::to_string(entry.seq);
    switch (entry.kind) {
    case EntryKind::Draw:
        return lang::trf("draw %1", "第 %1 次抽奖", {draw});
    case EntryKind::Void:
        return lang::trf("draw %1, void %2", "第 %1 次抽奖的第 %2 次作废", {draw, std::to_string(entry.voidSeq)});
    case EntryKind::Reset:
        return lang::trf("reset %1", "第 %1 次复位", {seq});
    case EntryKind::Correction:
        return lang::trf("correction %1 (of draw %2)", "第 %1 次更正（第 %2 次抽奖）", {seq, draw});
    case EntryKind::Announcement:
        return lang::trf("announcement %1", "第 %1 号公告", {seq});
    }
    return std::string();
}

namespace {

constexpr std::size_t kMaxNamed = 10;

std::string padded(long long number)
{
    char digits[24];
    std::snprintf(digits, sizeof digits, "%020lld", number);
    return digits;
}

struct Entries {
    std::vector<DrawRecord> draws;
    std::vector<ResetEntry> resets;
    std::vector<Correction> corrections;
    std::vector<Announcement> announcements;
};

// One entry of the chain, pointing into Entries.
struct Ref {
    EntryKind kind;
    std::size_t index;     // into the vector of its kind
    std::size_t sub = 0;   // a void's index within its draw
};

bool readEntries(store::DbConnection& connection, RecordLayout layout, Entries& entries)
{
    if (!ReadHistory(connection, entries.draws))
        return false;
    if (layout != RecordLayout::Current)
        return true;
    return ReadResets(connection, entries.resets) && ReadCorrections(connection, 0, entries.corrections) &&
           ReadAnnouncements(connection, entries.announcements);
}

void addNodes(const Entries& entries, std::vector<Ref>& refs, std::vector<ChainNode>& nodes)
{
    auto add = [&](Ref ref, const std::string& previous, const std::string& digest, std::string key) {
        refs.push_back(ref);
        nodes.push_back({previous, digest, std::move(key)});
    };
    for (std::size_t i = 0; i < entries.draws.size(); ++i) {
        const DrawRecord& record = entries.draws[i];
        add({EntryKind::Draw, i}, record.previousDigest, record.digest, record.time + "0" + padded(record.id));
        for (std::size_t v = 0; v < record.voids.size(); ++v) {
            const DrawVoid& entry = record.voids[v];
            add({EntryKind::Void, i, v}, entry.previousDigest, entry.digest,
                entry.time + "1" + padded(record.id) + padded(entry.seq));
        }
    }
    for (std::size_t i = 0; i < entries.resets.size(); ++i)
        add({EntryKind::Reset, i}, entries.resets[i].previousDigest, entries.resets[i].digest,
            entries.resets[i].time + "2" + padded(entries.resets[i].seq));
    for (std::size_t i = 0; i < entries.corrections.size(); ++i)
        add({EntryKind::Correction, i}, entries.corrections[i].previousDigest, entries.corrections[i].digest,
            entries.corrections[i].time + "3" + padded(entries.corrections[i].seq));
    for (std::size_t i = 0; i < entries.announcements.size(); ++i)
        add({EntryKind::Announcement, i}, entries.announcements[i].previousDigest, entries.announcements[i].digest,
            entries.announcements[i].time + "4" + padded(entries.announcements[i].id));
}

// Who held each position of a draw before each of its voids.
struct DrawState {
    std::vector<std::optional<RecordedWinner>> holders;  // per void
    std::vector<std::set<std::int64_t>> wonBefore;       // per void
};

DrawState drawState(const DrawRecord& record)
{
    DrawState state;
    std::set<std::int64_t> won;
    for (const RecordedWinner& winner : record.winners)
        won.insert(winner.id);
    ApplyVoids(record, [&](const DrawVoid& entry, const RecordedWinner* holder) {
        state.holders.push_back(holder ? std::optional<RecordedWinner>(*holder) : std::nullopt);
        state.wonBefore.push_back(won);
        won.insert(entry.replacement.id);
    });
    return state;
}

class Verifier {
public:
    Verifier(store::DbConnection& connection, Entries& entries, VerifyReport& report)
        : m_connection(connection), m_entries(entries), m_report(report),
          m_ledger([this](const std::string& number, std::vector<std::int64_t>& ids) {
              return rowsWithNumber(number, ids);
          })
    {
    }

    bool run(const ChainOrder& order, const std::vector<Ref>& refs);
    bool checkNow();
    // Problems outside any entry, with the segment they bear on.
    std::vector<std::pair<long long, std::string>> problems;

private:
    bool visit(const Ref& ref, EntryCheck& check);
    bool visitDraw(DrawRecord& record, EntryCheck& check);
    bool visitVoid(DrawRecord& record, std::size_t index, EntryCheck& check);
    bool visitReset(ResetEntry& entry, EntryCheck& check);
    bool visitAnnouncement(Announcement& entry, EntryCheck& check);
    void visitCorrection(const Correction& entry, EntryCheck& check);
    void checkNumber(long long& last, long long number, EntryKind kind, EntryCheck& check);
    void checkFormat(int format, EntryCheck& check);
    const GroupMap* groupsFor(const std::string& groupRule);
    bool observe(const std::vector<std::int64_t>& ids, bool whole, bool newFormat, std::vector<std::string>& out);
    bool describe(const LedgerFindings& found, std::vector<std::string>& out);
    std::string named(const std::vector<std::int64_t>& ids, bool& failed);
    bool rowsWithNumber(const std::string& number, std::vector<std::int64_t>& ids);

    store::DbConnection& m_connection;
    Entries& m_entries;
    VerifyReport& m_report;
    EligibilityLedger m_ledger;
    long long m_lastDraw = 0, m_lastReset = 0, m_lastCorrection = 0, m_lastAnnouncement = 0;
    bool m_newSeen = false;
    std::map<long long, DrawState> m_states;
    std::map<long long, const Announcement*> m_announced;  // announcements met so far
    std::set<long long> m_announcementsDrawn;
    std::optional<GroupMap> m_groups;
    bool m_groupsKnown = false;
    bool m_groupsFailed = false;  // the groups are there but could not be read
};

bool Verifier::run(const ChainOrder& order, const std::vector<Ref>& refs)
{
    for (std::size_t node : order.order) {
        EntryCheck check;
        check.differences = order.faults[node];
        // Groups that could not be read leave membership unchecked: a failure,
        // not a record that matches.
        if (!visit(refs[node], check) || m_groupsFailed)
            return false;
        if (!check.matches())
            m_ledger.forget();
        check.segment = m_lastDraw;
        m_report.chain.push_back(std::move(check));
    }
    return true;
}

bool Verifier::visit(const Ref& ref, EntryCheck& check)
{
    check.kind = ref.kind;
    switch (ref.kind) {
    case EntryKind::Draw:
        return visitDraw(m_entries.draws[ref.index], check);
    case EntryKind::Void:
        return visitVoid(m_entries.draws[ref.index], ref.sub, check);
    case EntryKind::Reset:
        return visitReset(m_entries.resets[ref.index], check);
    case EntryKind::Announcement:
        return visitAnnouncement(m_entries.announcements[ref.index], check);
    case EntryKind::Correction:
        visitCorrection(m_entries.corrections[ref.index], check);
        return true;
    }
    return true;
}

void Verifier::checkFormat(int format, EntryCheck& check)
{
    if (format == 1 && m_newSeen)
        check.differences.push_back(lang::tr("an entry of the old format stands after entries of the new one",
                                             "旧格式的记录出现在新格式的记录之后"));
    m_newSeen = m_newSeen || format != 1;
}

std::string missingText(EntryKind kind, long long number)
{
    switch (kind) {
    case EntryKind::Reset:
        return lang::trf("reset %1 is missing", "第 %1 次复位的记录不见了", {std::to_string(number)});
    case EntryKind::Correction:
        return lang::trf("correction %1 is missing", "第 %1 次更正的记录不见了", {std::to_string(number)});
    case EntryKind::Announcement:
        return lang::trf("announcement %1 is missing", "第 %1 号公告的记录不见了", {std::to_string(number)});
    default:
        return lang::trf("draw %1 is missing", "第 %1 次抽奖的记录不见了", {std::to_string(number)});
    }
}

// Numbers run 1, 2, 3 in chain order; a gap is a missing entry.
void Verifier::checkNumber(long long& last, long long number, EntryKind kind, EntryCheck& check)
{
    if (number <= last) {
        check.differences.push_back(lang::trf("its number %1 does not follow %2 in the chain",
                                              "它的编号 %1 在记录链中没有接在 %2 之后", {std::to_string(number), std::to_string(last)}));
        return;
    }
    for (long long missing = last + 1; missing < number; ++missing)
        problems.emplace_back(kind == EntryKind::Draw ? missing - 1 : m_lastDraw, missingText(kind, missing));
    last = number;
}

bool Verifier::visitDraw(DrawRecord& record, EntryCheck& check)
{
    check.drawId = record.id;
    check.digest = record.digest;
    checkFormat(record.format, check);
    checkNumber(m_lastDraw, record.id, EntryKind::Draw, check);
    if (!ReadStoredIds(m_connection, "draw_record", "draw_id = ?", {std::int64_t(record.id)}, record.eligibleIds))
        return false;
    const Announcement* announcement = nullptr;
    if (record.announcementId) {
        const auto found = m_announced.find(*record.announcementId);
        announcement = found == m_announced.end() ? nullptr : found->second;
        if (!m_announcementsDrawn.insert(*record.announcementId).second)
            check.differences.push_back(lang::trf("announcement %1 was drawn before", "第 %1 号公告之前已经抽过",
                                                  {std::to_string(*record.announcementId)}));
    }
    std::vector<std::int64_t> ids;
    CheckDrawEntry(record, announcement, groupsFor(record.groupRule), ids, check.differences);
    record.eligibleIds = std::string();
    m_states[record.id] = drawState(record);
    if (!record.announcementId && !ids.empty() &&
        !observe(ids, record.groupRule.empty(), record.format != 1, check.differences))
        return false;
    for (const RecordedWinner& winner : record.winners)
        m_ledger.won(winner);
    return true;
}

bool Verifier::visitVoid(DrawRecord& record, std::size_t index, EntryCheck& check)
{
    DrawVoid& entry = record.voids[index];
    check.drawId = record.id;
    check.voidSeq = entry.seq;
    check.digest = entry.digest;
    checkFormat(entry.format, check);
    if (record.id != m_lastDraw)
        check.differences.push_back(lang::trf("a void of draw %1 stands after draw %2",
                                              "第 %1 次抽奖的作废出现在第 %2 次抽奖之后",
                                              {std::to_string(record.id), std::to_string(m_lastDraw)}));
    if (entry.seq != int(index + 1))
        check.differences.push_back(lang::trf("void %1 of this draw is missing", "本次抽奖的第 %1 次作废不见了",
                                              {std::to_string(index + 1)}));
    if (!ReadStoredIds(m_connection, "draw_void", "draw_id = ? and void_seq = ?",
                       {std::int64_t(record.id), std::int64_t(entry.seq)}, entry.eligibleIds))
        return false;
    const DrawState& state = m_states[record.id];
    const bool known = index < state.holders.size();
    const RecordedWinner* holder = known && state.holders[index] ? &*state.holders[index] : nullptr;
    std::vector<std::int64_t> ids;
    CheckVoidEntry(record, entry, holder, known ? state.wonBefore[index] : std::set<std::int64_t>(),
                   groupsFor(entry.format == 1 ? std::string() : record.groupRule), ids, check.differences);
    entry.eligibleIds = std::string();
    const bool whole = entry.format == 1 || record.groupRule.empty();
    if (!ids.empty() && !observe(ids, whole, entry.format != 1, check.differences))
        return false;
    m_ledger.won(entry.replacement);
    return true;
}

bool Verifier::visitReset(ResetEntry& entry, EntryCheck& check)
{
    check.seq = entry.seq;
    check.digest = entry.digest;
    checkFormat(2, check);
    checkNumber(m_lastReset, entry.seq, EntryKind::Reset, check);
    if (!ReadStoredIds(m_connection, "draw_reset", "reset_seq = ?", {std::int64_t(entry.seq)}, entry.eligibleIds))
        return false;
    std::vector<std::int64_t> ids;
    CheckResetEntry(entry, ids, check.differences);
    entry.eligibleIds = std::string();
    LedgerFindings found;
    m_ledger.reset(ids, found);
    return describe(found, check.differences);
}

bool Verifier::visitAnnouncement(Announcement& entry, EntryCheck& check)
{
    check.seq = entry.id;
    check.digest = entry.digest;
    checkFormat(2, check);
    checkNumber(m_lastAnnouncement, entry.id, EntryKind::Announcement, check);
    if (!ReadStoredIds(m_connection, "draw_announcement", "announcement_id = ?", {std::int64_t(entry.id)},
                       entry.eligibleIds))
        return false;
    std::vector<std::int64_t> ids;
    CheckAnnouncementEntry(entry, groupsFor(entry.groupRule), ids, check.differences);
    entry.eligibleIds = std::string();
    m_announced[entry.id] = &entry;
    return ids.empty() || observe(ids, entry.groupRule.empty(), true, check.differences);
}

void Verifier::visitCorrection(const Correction& entry, EntryCheck& check)
{
    check.seq = entry.seq;
    check.drawId = entry.drawId;
    check.digest = entry.digest;
    checkFormat(2, check);
    checkNumber(m_lastCorrection, entry.seq, EntryKind::Correction, check);
    if (!m_states.count(entry.drawId))
        check.differences.push_back(lang::trf("it corrects draw %1, which does not come before it in the chain",
                                              "它更正第 %1 次抽奖，但该次抽奖在记录链中不在它之前",
                                              {std::to_string(entry.drawId)}));
    CheckCorrectionEntry(entry, check.differences);
}

}  // namespace

namespace {

// participant_group as it is now; nullptr (membership not checked) when the
// file has none, as a copy without the import's groups.
const GroupMap* Verifier::groupsFor(const std::string& groupRule)
{
    if (groupRule.empty())
        return nullptr;
    if (!m_groups) {
        m_groups.emplace();
        const std::optional<bool> present = m_connection.HasTable("participant_group");
        m_groupsKnown = present && *present &&
                        ReadRows(m_connection,
                                 m_connection.Execute("select participant_id, group_name from participant_group"),
                                 [&](const store::Recordset& row) { (*m_groups)[row.FieldInteger(0)] = row.Field(1); });
        m_groupsFailed = !present || (*present && !m_groupsKnown);
    }
    return m_groupsKnown ? &*m_groups : nullptr;
}

bool Verifier::observe(const std::vector<std::int64_t>& ids, bool whole, bool newFormat, std::vector<std::string>& out)
{
    LedgerFindings found;
    if (!whole)
        m_ledger.limitedList(ids, found);
    else if (!m_ledger.wholeList(ids, newFormat, found))
        return false;
    return describe(found, out);
}

bool Verifier::describe(const LedgerFindings& found, std::vector<std::string>& out)
{
    bool failed = false;
    if (!found.eligibleAgain.empty())
        out.push_back(lang::trf("%1: not won again without a recorded reset (set back to 否 by another program)",
                                "%1：没有复位记录却又成为未中奖（被其他程序改回“否”）",
                                {named(found.eligibleAgain, failed)}));
    if (!found.leftUnrecorded.empty())
        out.push_back(lang::trf("%1: no longer among those who have not won, without a recorded win or reset "
                                "(marked 是 or removed by another program)",
                                "%1：没有中奖或复位记录却不再是未中奖者（被其他程序标为“是”或删除）",
                                {named(found.leftUnrecorded, failed)}));
    return !failed;
}

// "id 7 (张三), id 9 (李四) and 3 more", names as `sheet` has them now.
std::string Verifier::named(const std::vector<std::int64_t>& ids, bool& failed)
{
    std::string names;
    for (std::size_t i = 0; i < ids.size() && i < kMaxNamed; ++i) {
        auto row = m_connection.ExecuteBound("select user_name from sheet where id = ?", {ids[i]});
        failed = failed || !row;
        const std::string name = row && !row->EndOfFile() ? " (" + row->Field(0) + ")" : std::string();
        names += (i ? ", " : "") + lang::trf("id %1", "编号 %1", {std::to_string(ids[i])}) + name;
    }
    if (ids.size() > kMaxNamed)
        names += lang::trf(" and %1 more", " 等另外 %1 人", {std::to_string(ids.size() - kMaxNamed)});
    return names;
}

bool Verifier::rowsWithNumber(const std::string& number, std::vector<std::int64_t>& ids)
{
    return ReadRows(m_connection, m_connection.Execute("select id from sheet where user_number = ?", {number}),
                    [&](const store::Recordset& row) { ids.push_back(row.FieldInteger(0)); });
}

// The participants not won now, held against what the record expects. A
// write to the record while they were read makes the comparison moot.
bool Verifier::checkNow()
{
    if (!m_ledger.known())
        return true;
    EligibleListBuilder now;
    if (!LoadEligibleIds(m_connection, now))
        return !now.ok();
    std::string head;
    if (!ChainHead(m_connection, head))
        return false;
    if (head != (m_report.chain.empty() ? std::string(kChainStart) : m_report.chain.back().digest))
        return true;
    std::vector<std::string> found;
    if (!observe(now.ids(), true, true, found))
        return false;
    for (const std::string& problem : found)
        problems.emplace_back(m_lastDraw, lang::trf("now: %1", "现在：%1", {problem}));
    return true;
}

}  // namespace

bool VerifyDraws(store::DbConnection& connection, std::optional<long long> drawId, VerifyReport& report)
{
    report = VerifyReport();
    const std::optional<RecordLayout> layout = RecordLayoutOf(connection);
    if (!layout)
        return false;
    Entries entries;
    if (*layout != RecordLayout::None && !readEntries(connection, *layout, entries))
        return false;
    if (drawId && std::none_of(entries.draws.begin(), entries.draws.end(),
                               [&](const DrawRecord& record) { return record.id == *drawId; })) {
        connection.setError(std::string());
        return false;
    }
    std::vector<Ref> refs;
    std::vector<ChainNode> nodes;
    addNodes(entries, refs, nodes);
    Verifier verifier(connection, entries, report);
    if (!verifier.run(OrderChain(nodes, kChainStart), refs))
        return false;
    if (!drawId && *layout == RecordLayout::Current && !verifier.checkNow())
        return false;
    report.headDigest = kChainStart;
    for (const EntryCheck& entry : report.chain) {
        const bool shown = !drawId || entry.segment == *drawId ||
                           (entry.kind == EntryKind::Correction && entry.drawId == *drawId);
        if (!shown)
            continue;
        report.entries.push_back(entry);
        report.headDigest = entry.digest;
        report.headSegment = entry.segment;
    }
    for (const auto& [segment, problem] : verifier.problems)
        if (!drawId || segment <= *drawId)
            report.problems.push_back(problem);
    for (const DrawRecord& record : entries.draws)
        report.lastDrawId = std::max(report.lastDrawId, record.id);
    return true;
}

bool ParseAnchor(std::string_view text, long long& drawId, std::string& prefix)
{
    constexpr std::string_view kScheme = "sortia-draw:";
    if (text.starts_with(kScheme))
        text.remove_prefix(kScheme.size());
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 18)
        return false;
    drawId = 0;
    for (char c : text.substr(0, colon)) {
        if (c < '0' || c > '9')
            return false;
        drawId = drawId * 10 + (c - '0');
    }
    const std::string_view hex = text.substr(colon + 1);
    if (hex.size() < 8 || hex.size() > 64)
        return false;
    prefix.clear();
    for (char c : hex) {
        const int value = store::HexDigitValue(c);
        if (value < 0)
            return false;
        prefix += "0123456789abcdef"[value];
    }
    return true;
}

const EntryCheck* FindAnchor(const VerifyReport& report, long long drawId, const std::string& prefix)
{
    for (const EntryCheck& entry : report.chain)
        if (entry.segment == drawId && entry.digest.compare(0, prefix.size(), prefix) == 0)
            return &entry;
    return nullptr;
}

}  // namespace draw
