#include "draw/record_entries.h"

#include "draw/netstring.h"
#include "draw/record_chain.h"
#include "draw/record_rows.h"

namespace draw {
namespace {

const char* const kAnnouncementColumns =
    "select announcement_id, announced_at, prize_level, requested, source, eligible_count, eligible_digest,"
    " previous_digest, record_digest, prize_name, plan_round, group_rule, ";

Announcement announcementFromRow(const store::Recordset& row)
{
    Announcement entry;
    entry.id = row.FieldInteger(0);
    entry.time = row.Field(1);
    entry.level = row.Field(2);
    entry.requested = row.FieldInteger(3);
    entry.source = row.Field(4);
    entry.eligibleCount = row.FieldInteger(5);
    entry.eligibleDigest = row.Field(6);
    entry.previousDigest = row.Field(7);
    entry.digest = row.Field(8);
    entry.prizeName = row.Field(9);
    entry.planRound = OptionalInteger(row, 10);
    entry.groupRule = row.Field(11);
    entry.eligibleIds = row.Field(12);
    return entry;
}

}  // namespace

std::string ResetDigest(const ResetEntry& entry)
{
    return NetstringDigest()
        .add("sortia-reset-1")
        .add(entry.previousDigest)
        .add(entry.seq)
        .add(entry.time)
        .add(entry.rows)
        .add(entry.eligibleCount)
        .add(entry.eligibleDigest)
        .hex();
}

std::string CorrectionDigest(const Correction& entry)
{
    return NetstringDigest()
        .add("sortia-correction-1")
        .add(entry.previousDigest)
        .add(entry.seq)
        .add(entry.drawId)
        .add(entry.time)
        .add(entry.level)
        .add(entry.prizeName)
        .add(entry.reason)
        .hex();
}

std::string AnnouncementDigest(const Announcement& entry)
{
    return NetstringDigest()
        .add("sortia-announcement-1")
        .add(entry.previousDigest)
        .add(entry.id)
        .add(entry.time)
        .add(entry.level)
        .add(entry.requested)
        .add(entry.source)
        .add(entry.eligibleCount)
        .add(entry.eligibleDigest)
        .hex();
}

bool WriteReset(store::DbConnection& connection, ResetEntry& entry)
{
    if (!NextNumber(connection, "draw_reset", "reset_seq", entry.seq) || !ChainHead(connection, entry.previousDigest))
        return false;
    entry.digest = ResetDigest(entry);
    return connection.RunBound("insert into draw_reset (reset_seq, reset_at, reset_rows, eligible_count,"
                               " eligible_digest, eligible_ids, previous_digest, record_digest)"
                               " values (?, ?, ?, ?, ?, ?, ?, ?)",
                               {entry.seq, entry.time, entry.rows, entry.eligibleCount, entry.eligibleDigest,
                                store::Value::Blob(entry.eligibleIds), entry.previousDigest, entry.digest});
}

bool WriteCorrection(store::DbConnection& connection, Correction& entry)
{
    if (!NextNumber(connection, "draw_correction", "correction_seq", entry.seq) ||
        !ChainHead(connection, entry.previousDigest))
        return false;
    entry.digest = CorrectionDigest(entry);
    return connection.RunBound("insert into draw_correction (correction_seq, draw_id, corrected_at, prize_level,"
                               " prize_name, reason, previous_digest, record_digest) values (?, ?, ?, ?, ?, ?, ?, ?)",
                               {entry.seq, entry.drawId, entry.time, entry.level, entry.prizeName, entry.reason,
                                entry.previousDigest, entry.digest});
}

bool WriteAnnouncement(store::DbConnection& connection, Announcement& entry)
{
    if (!NextNumber(connection, "draw_announcement", "announcement_id", entry.id) ||
        !ChainHead(connection, entry.previousDigest))
        return false;
    entry.digest = AnnouncementDigest(entry);
    return connection.RunBound(
        "insert into draw_announcement (announcement_id, announced_at, prize_level, requested, source,"
        " eligible_count, eligible_digest, eligible_ids, previous_digest, record_digest, prize_name, plan_round,"
        " group_rule) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {entry.id, entry.time, entry.level, entry.requested, entry.source, entry.eligibleCount, entry.eligibleDigest,
         store::Value::Blob(entry.eligibleIds), entry.previousDigest, entry.digest, entry.prizeName,
         NumberValue(entry.planRound), entry.groupRule});
}

bool ReadResets(store::DbConnection& connection, std::vector<ResetEntry>& entries)
{
    entries.clear();
    return ReadRows(connection,
                    connection.Execute("select reset_seq, reset_at, reset_rows, eligible_count, eligible_digest,"
                                       " previous_digest, record_digest from draw_reset order by reset_seq"),
                    [&](const store::Recordset& row) {
                        entries.push_back({row.FieldInteger(0), row.Field(1), row.FieldInteger(2),
                                           row.FieldInteger(3), row.Field(4), std::string(), row.Field(5),
                                           row.Field(6)});
                    });
}

bool ReadCorrections(store::DbConnection& connection, long long drawId, std::vector<Correction>& entries)
{
    entries.clear();
    const std::string sql = std::string("select correction_seq, draw_id, corrected_at, prize_level, prize_name,"
                                        " reason, previous_digest, record_digest from draw_correction") +
                            (drawId ? " where draw_id = ?" : "") + " order by correction_seq";
    std::vector<store::Value> key;
    if (drawId)
        key.push_back(std::int64_t(drawId));
    return ReadRows(connection, connection.ExecuteBound(sql, key), [&](const store::Recordset& row) {
        entries.push_back({row.FieldInteger(0), row.FieldInteger(1), row.Field(2), row.Field(3), row.Field(4),
                           row.Field(5), row.Field(6), row.Field(7)});
    });
}

bool ReadAnnouncements(store::DbConnection& connection, std::vector<Announcement>& entries)
{
    entries.clear();
    return ReadRows(connection,
                    connection.Execute(std::string(kAnnouncementColumns) +
                                       "'' from draw_announcement order by announcement_id"),
                    [&](const store::Recordset& row) { entries.push_back(announcementFromRow(row)); });
}

bool ReadAnnouncement(store::DbConnection& connection, long long id, Announcement& entry, bool withIds)
{
    auto row = connection.ExecuteBound(std::string(kAnnouncementColumns) + (withIds ? "eligible_ids" : "''") +
                                           " from draw_announcement where announcement_id = ?",
                                       {std::int64_t(id)});
    if (!row)
        return false;
    if (row->EndOfFile()) {
        connection.setError(std::string());
        return false;
    }
    entry = announcementFromRow(*row);
    return true;
}

bool ReadStoredIds(store::DbConnection& connection, const std::string& table, const std::string& where,
                   const std::vector<store::Value>& key, std::string& ids)
{
    auto row = connection.ExecuteBound("select eligible_ids from " + table + " where " + where, key);
    if (!row)
        return false;
    ids = row->EndOfFile() ? std::string() : row->Field(0);
    return true;
}

}  // namespace draw
