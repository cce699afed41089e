#include "export/evidence/pack_json.h"

#include <algorithm>
#include <map>

#include <QtCore/QJsonArray>
#include <QtCore/QJsonDocument>

#include "draw/draw_picks.h"
#include "draw/draw_verify.h"
#include "export/masking.h"
#include "platform/language/language.h"
#include "store/sha256.h"
#include "store/utf8.h"

namespace evidence {
namespace {

// A stored text as the page reads it back byte for byte: the digests are
// over the stored bytes, which need not be UTF-8 in an old list.
QJsonValue text(const std::string& value)
{
    if (store::IsValidUtf8(value))
        return QString::fromStdString(value);
    const std::string hex = store::ToHex(reinterpret_cast<const std::uint8_t*>(value.data()), value.size());
    return QJsonObject{{"hex", QString::fromStdString(hex)}};
}

QJsonValue text(const std::optional<std::string>& value)
{
    return value ? text(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue number(const std::optional<long long>& value)
{
    return value ? QJsonValue(double(*value)) : QJsonValue(QJsonValue::Null);
}

QJsonValue id(std::int64_t value)
{
    return QString::number(value);
}

// Names and numbers as published when the pack is masked.
struct Shown {
    bool masked;
    QJsonValue name(const std::optional<std::string>& value) const
    {
        return masked && value ? text(exporter::MaskName(*value)) : text(value);
    }
    QJsonValue number(const std::optional<std::string>& value) const
    {
        return masked && value ? text(exporter::MaskNumber(*value)) : text(value);
    }
};

bool ids(const std::string& encoded, QJsonArray& out)
{
    std::vector<std::int64_t> decoded;
    if (!draw::DecodeIds(encoded, decoded))
        return false;
    for (std::int64_t value : decoded)
        out.append(id(value));
    return true;
}

QJsonObject drawEntry(const draw::DrawRecord& record, const Shown& shown)
{
    QJsonArray winners;
    for (const draw::RecordedWinner& winner : record.winners)
        winners.append(QJsonObject{{"position", winner.position},
                                   {"participant_id", id(winner.id)},
                                   {"user_name", shown.name(winner.name)},
                                   {"user_number", shown.number(winner.number)}});
    QJsonArray list;
    ids(record.eligibleIds, list);
    return QJsonObject{{"kind", "draw"},
                       {"record_format", record.format},
                       {"previous_digest", text(record.previousDigest)},
                       {"draw_id", double(record.id)},
                       {"drawn_at", text(record.time)},
                       {"prize_level", text(record.level)},
                       {"prize_name", text(record.prizeName)},
                       {"plan_round", number(record.planRound)},
                       {"group_rule", text(record.groupRule)},
                       {"requested", double(record.requested)},
                       {"eligible_count", double(record.eligibleCount)},
                       {"eligible_digest", text(record.eligibleDigest)},
                       {"organiser_seed", text(record.organiserSeed)},
                       {"seed_commitment", text(record.seedCommitment)},
                       {"public_input", text(record.publicInput)},
                       {"announcement_id", number(record.announcementId)},
                       {"seed", text(record.seed)},
                       {"record_digest", text(record.digest)},
                       {"winners", winners},
                       {"eligible_ids", list}};
}

QJsonObject voidEntry(long long drawId, const draw::DrawVoid& entry, const Shown& shown)
{
    QJsonArray list;
    ids(entry.eligibleIds, list);
    return QJsonObject{{"kind", "void"},
                       {"record_format", entry.format},
                       {"previous_digest", text(entry.previousDigest)},
                       {"draw_id", double(drawId)},
                       {"void_seq", entry.seq},
                       {"voided_at", text(entry.time)},
                       {"position", entry.position},
                       {"voided_id", id(entry.voidedId)},
                       {"reason", text(entry.reason)},
                       {"eligible_count", double(entry.eligibleCount)},
                       {"eligible_digest", text(entry.eligibleDigest)},
                       {"organiser_seed", text(entry.organiserSeed)},
                       {"seed_commitment", text(entry.seedCommitment)},
                       {"public_input", text(entry.publicInput)},
                       {"seed", text(entry.seed)},
                       {"replacement_id", id(entry.replacement.id)},
                       {"replacement_name", shown.name(entry.replacement.name)},
                       {"replacement_number", shown.number(entry.replacement.number)},
                       {"record_digest", text(entry.digest)},
                       {"eligible_ids", list}};
}

QJsonObject resetEntry(const draw::ResetEntry& entry)
{
    QJsonArray list;
    ids(entry.eligibleIds, list);
    return QJsonObject{{"kind", "reset"},
                       {"record_format", 1},
                       {"previous_digest", text(entry.previousDigest)},
                       {"reset_seq", double(entry.seq)},
                       {"reset_at", text(entry.time)},
                       {"reset_rows", double(entry.rows)},
                       {"eligible_count", double(entry.eligibleCount)},
                       {"eligible_digest", text(entry.eligibleDigest)},
                       {"record_digest", text(entry.digest)},
                       {"eligible_ids", list}};
}

QJsonObject correctionEntry(const draw::Correction& entry)
{
    return QJsonObject{{"kind", "correction"},
                       {"record_format", 1},
                       {"previous_digest", text(entry.previousDigest)},
                       {"correction_seq", double(entry.seq)},
                       {"draw_id", double(entry.drawId)},
                       {"corrected_at", text(entry.time)},
                       {"prize_level", text(entry.level)},
                       {"prize_name", text(entry.prizeName)},
                       {"reason", text(entry.reason)},
                       {"record_digest", text(entry.digest)}};
}

QJsonObject announcementEntry(const draw::Announcement& entry)
{
    QJsonArray list;
    ids(entry.eligibleIds, list);
    return QJsonObject{{"kind", "announcement"},
                       {"record_format", 1},
                       {"previous_digest", text(entry.previousDigest)},
                       {"announcement_id", double(entry.id)},
                       {"announced_at", text(entry.time)},
                       {"prize_level", text(entry.level)},
                       {"requested", double(entry.requested)},
                       {"source", text(entry.source)},
                       {"eligible_count", double(entry.eligibleCount)},
                       {"eligible_digest", text(entry.eligibleDigest)},
                       {"record_digest", text(entry.digest)},
                       {"prize_name", text(entry.prizeName)},
                       {"plan_round", number(entry.planRound)},
                       {"group_rule", text(entry.groupRule)},
                       {"eligible_ids", list}};
}

// Reads the entries of another kind than draws, once, on first need.
class OtherEntries {
public:
    explicit OtherEntries(store::DbConnection& connection) : m_connection(connection) {}

    bool reset(long long seq, QJsonObject& out)
    {
        if (!m_resetsRead && !(m_resetsRead = draw::ReadResets(m_connection, m_resets)))
            return false;
        for (draw::ResetEntry& entry : m_resets) {
            if (entry.seq != seq)
                continue;
            if (!draw::ReadStoredIds(m_connection, "draw_reset", "reset_seq = ?", {std::int64_t(seq)},
                                     entry.eligibleIds))
                return false;
            out = resetEntry(entry);
            return true;
        }
        return false;
    }

    bool correction(long long seq, QJsonObject& out)
    {
        if (!m_correctionsRead && !(m_correctionsRead = draw::ReadCorrections(m_connection, 0, m_corrections)))
            return false;
        for (const draw::Correction& entry : m_corrections)
            if (entry.seq == seq) {
                out = correctionEntry(entry);
                return true;
            }
        return false;
    }

private:
    store::DbConnection& m_connection;
    bool m_resetsRead = false;
    bool m_correctionsRead = false;
    std::vector<draw::ResetEntry> m_resets;
    std::vector<draw::Correction> m_corrections;
};

}  // namespace

bool ReadPackEntries(store::DbConnection& connection, long long drawId, bool masked, PackEntries& pack)
{
    pack = PackEntries();
    draw::VerifyReport report;
    if (!draw::VerifyDraws(connection, drawId, report) || !draw::ReadDraw(connection, drawId, pack.draw, true))
        return false;
    pack.verified = report.ok();
    const Shown shown{masked};
    std::map<long long, draw::DrawRecord> others;
    OtherEntries rest(connection);
    for (const draw::EntryCheck& check : report.entries) {
        QJsonObject entry;
        bool read = true;
        switch (check.kind) {
        case draw::EntryKind::Draw:
            read = check.drawId == drawId;  // a segment holds one draw
            entry = drawEntry(pack.draw, shown);
            break;
        case draw::EntryKind::Void: {
            draw::DrawRecord* owner = &pack.draw;
            if (check.drawId != drawId) {
                owner = &others[check.drawId];
                read = owner->id == check.drawId || draw::ReadDraw(connection, check.drawId, *owner, true);
            }
            const auto found = std::find_if(owner->voids.begin(), owner->voids.end(),
                                            [&](const draw::DrawVoid& v) { return v.seq == check.voidSeq; });
            read = read && found != owner->voids.end();
            if (read)
                entry = voidEntry(check.drawId, *found, shown);
            break;
        }
        case draw::EntryKind::Reset:
            read = rest.reset(check.seq, entry);
            break;
        case draw::EntryKind::Correction:
            read = rest.correction(check.seq, entry);
            break;
        case draw::EntryKind::Announcement: {
            draw::Announcement announcement;
            read = draw::ReadAnnouncement(connection, check.seq, announcement, true);
            entry = announcementEntry(announcement);
            break;
        }
        }
        if (!read) {
            if (connection.error().empty())
                connection.setError("the record changed while it was read");
            return false;
        }
        // A later correction of the draw is not next to the entries before it.
        if (!pack.entries.empty() && entry["previous_digest"] != pack.entries.back()["record_digest"])
            entry["after_gap"] = true;
        pack.entries.push_back(entry);
    }
    if (pack.draw.announcementId) {
        draw::Announcement announcement;
        if (!draw::ReadAnnouncement(connection, *pack.draw.announcementId, announcement, true))
            return false;
        pack.announcement = announcement;
    }
    return true;
}

std::string PackJson(const PackEntries& pack, const std::string& event, bool masked)
{
    QJsonArray entries;
    for (const QJsonObject& entry : pack.entries)
        entries.append(entry);
    QJsonObject root{{"pack", "sortia-evidence-1"},
                     {"language", lang::uiLanguage() == lang::Language::Chinese ? "zh" : "en"},
                     {"event", text(event)},
                     {"masked", masked},
                     {"entries", entries}};
    if (pack.announcement)
        root["announcement"] = announcementEntry(*pack.announcement);
    std::string json = QJsonDocument(root).toJson(QJsonDocument::Compact).toStdString();
    // Inside <script> a "</" could end the element early; JSON reads "<\/" the same.
    for (std::size_t at = 0; (at = json.find("</", at)) != std::string::npos; at += 3)
        json.replace(at, 2, "<\\/");
    return json;
}

}  // namespace evidence
