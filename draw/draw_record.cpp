#include "draw/draw_record.h"

#include <cstdio>
#include <ctime>

#include "draw/netstring.h"
#include "draw/record_chain.h"
#include "draw/record_entries.h"
#include "draw/record_rows.h"
#include "platform/language/language.h"

namespace draw {

const char* const kChainStart = "0000000000000000000000000000000000000000000000000000000000000000";

namespace {

// The columns of format 2, or what stands for them in a file without them.
const char* formatColumns(RecordLayout layout, bool draw)
{
    if (layout != RecordLayout::Current)
        return draw ? "1, '', '', '', null, null, '', ''" : "1, '', '', '', ''";
    return draw ? "record_format, organiser_seed, seed_commitment, public_input, announcement_id, plan_round,"
                  " prize_name, group_rule"
                : "record_format, organiser_seed, seed_commitment, public_input, reason";
}

std::string drawColumns(RecordLayout layout, bool withIds)
{
    return std::string("select draw_id, drawn_at, prize_level, requested, eligible_count, eligible_digest, seed,"
                       " previous_digest, record_digest, ") +
           (withIds ? "eligible_ids" : "''") + ", " + formatColumns(layout, true) + " from draw_record";
}

DrawRecord drawFromRow(const store::Recordset& row)
{
    DrawRecord record;
    record.id = row.FieldInteger(0);
    record.time = row.Field(1);
    record.level = row.Field(2);
    record.requested = row.FieldInteger(3);
    record.eligibleCount = row.FieldInteger(4);
    record.eligibleDigest = row.Field(5);
    record.seed = row.Field(6);
    record.previousDigest = row.Field(7);
    record.digest = row.Field(8);
    record.eligibleIds = row.Field(9);
    record.format = int(row.FieldInteger(10));
    record.organiserSeed = row.Field(11);
    record.seedCommitment = row.Field(12);
    record.publicInput = row.Field(13);
    record.announcementId = OptionalInteger(row, 14);
    record.planRound = OptionalInteger(row, 15);
    record.prizeName = row.Field(16);
    record.groupRule = row.Field(17);
    return record;
}

bool readWinners(store::DbConnection& connection, DrawRecord& record)
{
    return ReadRows(connection,
                    connection.ExecuteBound("select position, participant_id, user_name, user_number from draw_winner"
                                            " where draw_id = ? order by position",
                                            {record.id}),
                    [&](const store::Recordset& row) {
                        record.winners.push_back({int(row.FieldInteger(0)), row.FieldInteger(1),
                                                  OptionalText(row, 2), OptionalText(row, 3)});
                    });
}

bool readVoids(store::DbConnection& connection, RecordLayout layout, DrawRecord& record, bool withIds)
{
    const std::string sql = std::string("select void_seq, position, voided_id, voided_at, eligible_count,"
                                        " eligible_digest, seed, replacement_id, replacement_name,"
                                        " replacement_number, previous_digest, record_digest, ") +
                            (withIds ? "eligible_ids" : "''") + ", " + formatColumns(layout, false) +
                            " from draw_void where draw_id = ? order by void_seq";
    return ReadRows(connection, connection.ExecuteBound(sql, {record.id}), [&](const store::Recordset& row) {
        DrawVoid entry;
        entry.seq = int(row.FieldInteger(0));
        entry.position = int(row.FieldInteger(1));
        entry.voidedId = row.FieldInteger(2);
        entry.time = row.Field(3);
        entry.eligibleCount = row.FieldInteger(4);
        entry.eligibleDigest = row.Field(5);
        entry.seed = row.Field(6);
        entry.replacement = {entry.position, row.FieldInteger(7), OptionalText(row, 8), OptionalText(row, 9)};
        entry.previousDigest = row.Field(10);
        entry.digest = row.Field(11);
        entry.eligibleIds = row.Field(12);
        entry.format = int(row.FieldInteger(13));
        entry.organiserSeed = row.Field(14);
        entry.seedCommitment = row.Field(15);
        entry.publicInput = row.Field(16);
        entry.reason = row.Field(17);
        record.voids.push_back(std::move(entry));
    });
}

bool readParts(store::DbConnection& connection, RecordLayout layout, DrawRecord& record, bool withIds)
{
    if (!readWinners(connection, record) || !readVoids(connection, layout, record, withIds))
        return false;
    return layout != RecordLayout::Current || ReadCorrections(connection, record.id, record.corrections);
}

bool insertWinners(store::DbConnection& connection, const DrawRecord& record)
{
    std::size_t next = 0;
    return connection.RunMany(
        "insert into draw_winner (draw_id, position, participant_id, user_name, user_number) values (?, ?, ?, ?, ?)",
        [&](std::vector<store::Value>& values) {
            if (next == record.winners.size())
                return false;
            const RecordedWinner& winner = record.winners[next++];
            values = {record.id, std::int64_t(winner.position), winner.id, TextValue(winner.name),
                      TextValue(winner.number)};
            return true;
        });
}

}  // namespace

std::string DrawDigest(const DrawRecord& record)
{
    NetstringDigest digest;
    if (record.format == 1) {
        digest.add("sortia-draw-1")
            .add(record.previousDigest)
            .add(record.id)
            .add(record.time)
            .add(record.level)
            .add(record.requested)
            .add(record.eligibleCount)
            .add(record.eligibleDigest)
            .add(record.seed);
    } else {
        digest.add("sortia-draw-" + std::to_string(record.format))
            .add(record.previousDigest)
            .add(record.id)
            .add(record.time)
            .add(record.level)
            .add(record.prizeName)
            .add(record.planRound)
            .add(record.groupRule)
            .add(record.requested)
            .add(record.eligibleCount)
            .add(record.eligibleDigest)
            .add(record.organiserSeed)
            .add(record.seedCommitment)
            .add(record.publicInput)
            .add(record.announcementId)
            .add(record.seed);
    }
    digest.add(static_cast<long long>(record.winners.size()));
    for (const RecordedWinner& winner : record.winners)
        digest.add(winner.position).add(winner.id).add(winner.name).add(winner.number);
    return digest.hex();
}

std::string VoidDigest(long long drawId, const DrawVoid& entry)
{
    NetstringDigest digest;
    digest.add("sortia-void-" + std::to_string(entry.format))
        .add(entry.previousDigest)
        .add(drawId)
        .add(entry.seq)
        .add(entry.time)
        .add(entry.position)
        .add(entry.voidedId);
    if (entry.format != 1)
        digest.add(entry.reason);
    digest.add(entry.eligibleCount).add(entry.eligibleDigest);
    if (entry.format != 1)
        digest.add(entry.organiserSeed).add(entry.seedCommitment).add(entry.publicInput);
    digest.add(entry.seed).add(entry.replacement.id).add(entry.replacement.name).add(entry.replacement.number);
    return digest.hex();
}

bool WriteDraw(store::DbConnection& connection, DrawRecord& record)
{
    if (!NextNumber(connection, "draw_record", "draw_id", record.id) ||
        !ChainHead(connection, record.previousDigest))
        return false;
    record.digest = DrawDigest(record);
    return connection.RunBound(
               "insert into draw_record (draw_id, drawn_at, prize_level, requested, eligible_count, eligible_digest,"
               " eligible_ids, seed, previous_digest, record_digest, record_format, organiser_seed, seed_commitment,"
               " public_input, announcement_id, plan_round, prize_name, group_rule)"
               " values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
               {record.id, record.time, record.level, record.requested, record.eligibleCount, record.eligibleDigest,
                store::Value::Blob(record.eligibleIds), record.seed, record.previousDigest, record.digest,
                std::int64_t(record.format), record.organiserSeed, record.seedCommitment, record.publicInput,
                NumberValue(record.announcementId), NumberValue(record.planRound), record.prizeName,
                record.groupRule}) &&
           insertWinners(connection, record);
}

bool WriteVoid(store::DbConnection& connection, long long drawId, DrawVoid& entry)
{
    auto last = connection.ExecuteBound("select max(void_seq) from draw_void where draw_id = ?", {drawId});
    if (!last || !ChainHead(connection, entry.previousDigest))
        return false;
    entry.seq = int(last->FieldInteger(0)) + 1;
    entry.digest = VoidDigest(drawId, entry);
    return connection.RunBound(
        "insert into draw_void (draw_id, void_seq, position, voided_id, voided_at, eligible_count, eligible_digest,"
        " eligible_ids, seed, replacement_id, replacement_name, replacement_number, previous_digest, record_digest,"
        " record_format, organiser_seed, seed_commitment, public_input, reason)"
        " values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {drawId, std::int64_t(entry.seq), std::int64_t(entry.position), entry.voidedId, entry.time,
         entry.eligibleCount, entry.eligibleDigest, store::Value::Blob(entry.eligibleIds), entry.seed,
         entry.replacement.id, TextValue(entry.replacement.name), TextValue(entry.replacement.number),
         entry.previousDigest, entry.digest, std::int64_t(entry.format), entry.organiserSeed, entry.seedCommitment,
         entry.publicInput, entry.reason});
}

std::string NoSuchDraw(long long drawId)
{
    return lang::trf("there is no draw %1", "没有第 %1 次抽奖", {std::to_string(drawId)});
}

bool ReadDraw(store::DbConnection& connection, long long drawId, DrawRecord& record, bool withIds)
{
    record = DrawRecord();
    const std::optional<RecordLayout> layout = RecordLayoutOf(connection);
    if (!layout || *layout == RecordLayout::None)
        return false;  // a file without the record has no draw: false with an empty error
    auto row = connection.ExecuteBound(drawColumns(*layout, withIds) + " where draw_id = ?", {drawId});
    if (!row)
        return false;
    if (row->EndOfFile()) {
        connection.setError(std::string());
        return false;
    }
    record = drawFromRow(*row);
    return readParts(connection, *layout, record, withIds);
}

bool ReadHistory(store::DbConnection& connection, std::vector<DrawRecord>& draws)
{
    draws.clear();
    const std::optional<RecordLayout> layout = RecordLayoutOf(connection);
    if (!layout || *layout == RecordLayout::None)
        return layout.has_value();
    if (!ReadRows(connection, connection.Execute(drawColumns(*layout, false) + " order by draw_id"),
                  [&](const store::Recordset& row) { draws.push_back(drawFromRow(row)); }))
        return false;
    for (DrawRecord& record : draws)
        if (!readParts(connection, *layout, record, false))
            return false;
    return true;
}

bool LastDrawId(store::DbConnection& connection, long long& drawId)
{
    drawId = 0;
    const std::optional<bool> present = RecordPresent(connection);
    if (!present || !*present)
        return present.has_value();
    long long next = 0;
    if (!NextNumber(connection, "draw_record", "draw_id", next))
        return false;
    drawId = next - 1;
    return true;
}

std::vector<RecordedWinner> ApplyVoids(const DrawRecord& record, const VoidVisitor& onVoid)
{
    std::vector<RecordedWinner> holders = record.winners;
    for (const DrawVoid& entry : record.voids) {
        RecordedWinner* holder = nullptr;
        for (RecordedWinner& candidate : holders)
            if (candidate.position == entry.position)
                holder = &candidate;
        if (onVoid)
            onVoid(entry, holder);
        if (holder)
            *holder = entry.replacement;
    }
    return holders;
}

std::vector<RecordedWinner> CurrentWinners(const DrawRecord& record)
{
    return ApplyVoids(record);
}

std::vector<RecordedWinner> VoidedWinners(const DrawRecord& record)
{
    std::vector<RecordedWinner> voided;
    ApplyVoids(record, [&](const DrawVoid&, const RecordedWinner* holder) {
        if (holder)
            voided.push_back(*holder);
    });
    return voided;
}

const std::string& LatestDigest(const DrawRecord& record)
{
    return record.voids.empty() ? record.digest : record.voids.back().digest;
}

ShownPrize ShownLevel(const DrawRecord& record)
{
    if (record.corrections.empty())
        return {record.level, record.prizeName, std::string()};
    const Correction& latest = record.corrections.back();
    const std::string was = record.prizeName.empty() ? record.level : record.level + " " + record.prizeName;
    return {latest.level, latest.prizeName,
            lang::trf("corrected from %1: %2", "由 %1 更正：%2", {was, latest.reason})};
}

std::string AnchorText(long long drawId, const std::string& digest)
{
    return "sortia-draw:" + std::to_string(drawId) + ":" + digest;
}

std::string UtcNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string LocalTimeText(const std::string& utcIso)
{
    std::tm utc{};
    char zone = 0;
    if (std::sscanf(utcIso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &utc.tm_year, &utc.tm_mon, &utc.tm_mday,
                    &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &zone) != 7 ||
        zone != 'Z' || utcIso.size() != 20)
        return utcIso;
    utc.tm_year -= 1900;
    utc.tm_mon -= 1;
    const std::time_t when = timegm(&utc);
    std::tm local{};
    localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace draw
