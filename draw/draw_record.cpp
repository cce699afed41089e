#include "draw/draw_record.h"

#include <cstdio>
#include <ctime>

#include "store/sha256.h"

namespace draw {

const char* const kChainStart = "0000000000000000000000000000000000000000000000000000000000000000";

namespace {

// Plain SQL that other programs read too; only the types of whole numbers
// and bytes are the database's own (see createStatements).
const char* const kCreateStatements[] = {
    "create table if not exists draw_record ("
    " draw_id integer not null primary key,"
    " drawn_at varchar(40) not null,"
    " prize_level text not null,"
    " requested integer not null,"
    " eligible_count integer not null,"
    " eligible_digest varchar(64) not null,"
    " eligible_ids blob not null,"
    " seed varchar(64) not null,"
    " previous_digest varchar(64) not null,"
    " record_digest varchar(64) not null)",
    "create table if not exists draw_winner ("
    " draw_id integer not null,"
    " position integer not null,"
    " participant_id integer not null,"
    " user_name text,"
    " user_number text,"
    " primary key (draw_id, position))",
    "create table if not exists draw_void ("
    " draw_id integer not null,"
    " void_seq integer not null,"
    " position integer not null,"
    " voided_id integer not null,"
    " voided_at varchar(40) not null,"
    " eligible_count integer not null,"
    " eligible_digest varchar(64) not null,"
    " eligible_ids blob not null,"
    " seed varchar(64) not null,"
    " replacement_id integer not null,"
    " replacement_name text,"
    " replacement_number text,"
    " previous_digest varchar(64) not null,"
    " record_digest varchar(64) not null,"
    " primary key (draw_id, void_seq))",
};

// The statements in the words of the connection's kind of database.
std::vector<std::string> createStatements(const store::Dialect& dialect)
{
    std::vector<std::string> statements;
    for (const char* statement : kCreateStatements) {
        std::string text = statement;
        for (const auto& [word, replacement] :
             {std::pair{std::string(" integer "), std::string(" ") + dialect.wholeNumberType + " "},
              std::pair{std::string(" blob "), std::string(" ") + dialect.bytesType + " "}}) {
            for (std::size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += replacement.size())
                text.replace(at, word.size(), replacement);
        }
        statements.push_back(std::move(text));
    }
    return statements;
}

const char* const kRecordTables[] = {"draw_record", "draw_winner", "draw_void"};

class NetstringDigest {
public:
    NetstringDigest& add(const std::string& bytes)
    {
        const std::string length = std::to_string(bytes.size());
        m_hash.update(length);
        m_hash.update(":");
        m_hash.update(bytes);
        m_hash.update(",");
        return *this;
    }
    NetstringDigest& add(long long number) { return add(std::to_string(number)); }
    NetstringDigest& add(const std::optional<std::string>& text) { return add(text.value_or(std::string())); }
    std::string hex() { return store::ToHex(m_hash.finish()); }

private:
    store::Sha256 m_hash;
};

store::Value optionalText(const std::optional<std::string>& text)
{
    return text ? store::Value(*text) : store::Value::Null();
}

std::optional<std::string> optionalField(const store::Recordset& row, int position)
{
    if (row.IsNull(position))
        return std::nullopt;
    return row.Field(position);
}

// The highest draw number of a record whose tables are there.
bool maxDrawId(store::DbConnection& connection, long long& drawId)
{
    auto row = connection.Execute("select max(draw_id) from draw_record");
    if (!row)
        return false;
    drawId = row->FieldInteger(0);
    return true;
}

// The digest of the newest entry of the chain, kChainStart when it is empty.
bool chainHead(store::DbConnection& connection, std::string& digest)
{
    long long lastDraw = 0;
    if (!maxDrawId(connection, lastDraw))
        return false;
    digest = kChainStart;
    if (lastDraw == 0)
        return true;
    auto lastVoid = connection.ExecuteBound("select max(void_seq) from draw_void where draw_id = ?", {lastDraw});
    if (!lastVoid)
        return false;
    auto head = lastVoid->IsNull(0)
                    ? connection.ExecuteBound("select record_digest from draw_record where draw_id = ?", {lastDraw})
                    : connection.ExecuteBound("select record_digest from draw_void where draw_id = ? and void_seq = ?",
                                              {lastDraw, lastVoid->FieldInteger(0)});
    if (!head)
        return false;
    if (!head->EndOfFile())
        digest = head->Field(0);
    return true;
}

template <typename Read>
bool readRows(store::DbConnection& connection, std::unique_ptr<store::Recordset> rows, Read read)
{
    if (!rows)
        return false;
    while (!rows->EndOfFile()) {
        read(*rows);
        if (!rows->MoveNext()) {
            connection.noteReadError(*rows);
            return false;
        }
    }
    return true;
}

bool readWinners(store::DbConnection& connection, DrawRecord& record)
{
    return readRows(connection,
                    connection.ExecuteBound("select position, participant_id, user_name, user_number from draw_winner"
                                            " where draw_id = ? order by position",
                                            {record.id}),
                    [&](const store::Recordset& row) {
                        record.winners.push_back({int(row.FieldInteger(0)), row.FieldInteger(1),
                                                  optionalField(row, 2), optionalField(row, 3)});
                    });
}

bool readVoids(store::DbConnection& connection, DrawRecord& record, bool withIds)
{
    const std::string sql = std::string("select void_seq, position, voided_id, voided_at, eligible_count,"
                                        " eligible_digest, seed, replacement_id, replacement_name,"
                                        " replacement_number, previous_digest, record_digest, ") +
                            (withIds ? "eligible_ids" : "''") + " from draw_void where draw_id = ? order by void_seq";
    return readRows(connection, connection.ExecuteBound(sql, {record.id}), [&](const store::Recordset& row) {
        DrawVoid entry;
        entry.seq = int(row.FieldInteger(0));
        entry.position = int(row.FieldInteger(1));
        entry.voidedId = row.FieldInteger(2);
        entry.time = row.Field(3);
        entry.eligibleCount = row.FieldInteger(4);
        entry.eligibleDigest = row.Field(5);
        entry.seed = row.Field(6);
        entry.replacement = {entry.position, row.FieldInteger(7), optionalField(row, 8), optionalField(row, 9)};
        entry.previousDigest = row.Field(10);
        entry.digest = row.Field(11);
        entry.eligibleIds = row.Field(12);
        record.voids.push_back(std::move(entry));
    });
}

const char* const kDrawColumns =
    "select draw_id, drawn_at, prize_level, requested, eligible_count, eligible_digest, seed, previous_digest,"
    " record_digest, ";

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
    return record;
}

}  // namespace

std::optional<bool> RecordPresent(store::DbConnection& connection)
{
    for (const char* table : kRecordTables) {
        const std::optional<bool> present = connection.HasTable(table);
        if (!present || !*present)
            return present;
    }
    return true;
}

bool EnsureDrawTables(store::DbConnection& connection, std::vector<std::string>* created)
{
    const std::optional<bool> present = RecordPresent(connection);
    if (!present)
        return false;
    if (*present)
        return true;
    // Two programs may open an old file at once: the transaction and
    // "if not exists" let exactly one of them add the tables, and what each
    // finds inside it is what it made.
    if (!connection.BeginTransaction())
        return false;
    const std::vector<std::string> statements = createStatements(connection.dialect());
    std::vector<std::string> made;
    for (std::size_t i = 0; i < statements.size(); ++i) {
        const std::optional<bool> there = connection.HasTable(kRecordTables[i]);
        if (!there || !connection.Run(statements[i])) {
            connection.RollbackTransaction();  // keeps the statement's message
            return false;
        }
        if (!*there)
            made.push_back(kRecordTables[i]);
    }
    if (!connection.CommitTransaction()) {
        connection.RollbackTransaction();
        return false;
    }
    if (created)
        created->insert(created->end(), made.begin(), made.end());
    return true;
}

std::string DrawDigest(const DrawRecord& record)
{
    NetstringDigest digest;
    digest.add(std::string("sortia-draw-1"))
        .add(record.previousDigest)
        .add(record.id)
        .add(record.time)
        .add(record.level)
        .add(record.requested)
        .add(record.eligibleCount)
        .add(record.eligibleDigest)
        .add(record.seed)
        .add(static_cast<long long>(record.winners.size()));
    for (const RecordedWinner& winner : record.winners)
        digest.add(winner.position).add(winner.id).add(winner.name).add(winner.number);
    return digest.hex();
}

std::string VoidDigest(long long drawId, const DrawVoid& entry)
{
    NetstringDigest digest;
    digest.add(std::string("sortia-void-1"))
        .add(entry.previousDigest)
        .add(drawId)
        .add(entry.seq)
        .add(entry.time)
        .add(entry.position)
        .add(entry.voidedId)
        .add(entry.eligibleCount)
        .add(entry.eligibleDigest)
        .add(entry.seed)
        .add(entry.replacement.id)
        .add(entry.replacement.name)
        .add(entry.replacement.number);
    return digest.hex();
}

bool WriteDraw(store::DbConnection& connection, DrawRecord& record)
{
    long long lastDraw = 0;
    if (!maxDrawId(connection, lastDraw) || !chainHead(connection, record.previousDigest))
        return false;
    record.id = lastDraw + 1;
    record.digest = DrawDigest(record);
    if (!connection.RunBound("insert into draw_record (draw_id, drawn_at, prize_level, requested, eligible_count,"
                             " eligible_digest, eligible_ids, seed, previous_digest, record_digest)"
                             " values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                             {record.id, record.time, record.level, record.requested, record.eligibleCount,
                              record.eligibleDigest, store::Value::Blob(record.eligibleIds), record.seed,
                              record.previousDigest, record.digest}))
        return false;
    for (const RecordedWinner& winner : record.winners) {
        if (!connection.RunBound("insert into draw_winner (draw_id, position, participant_id, user_name,"
                                 " user_number) values (?, ?, ?, ?, ?)",
                                 {record.id, std::int64_t(winner.position), winner.id, optionalText(winner.name),
                                  optionalText(winner.number)}))
            return false;
    }
    return true;
}

bool WriteVoid(store::DbConnection& connection, long long drawId, DrawVoid& entry)
{
    auto last = connection.ExecuteBound("select max(void_seq) from draw_void where draw_id = ?", {drawId});
    if (!last || !chainHead(connection, entry.previousDigest))
        return false;
    entry.seq = int(last->FieldInteger(0)) + 1;
    entry.digest = VoidDigest(drawId, entry);
    return connection.RunBound(
        "insert into draw_void (draw_id, void_seq, position, voided_id, voided_at, eligible_count, eligible_digest,"
        " eligible_ids, seed, replacement_id, replacement_name, replacement_number, previous_digest, record_digest)"
        " values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {drawId, std::int64_t(entry.seq), std::int64_t(entry.position), entry.voidedId, entry.time,
         entry.eligibleCount, entry.eligibleDigest, store::Value::Blob(entry.eligibleIds), entry.seed,
         entry.replacement.id, optionalText(entry.replacement.name), optionalText(entry.replacement.number),
         entry.previousDigest, entry.digest});
}

bool ReadDraw(store::DbConnection& connection, long long drawId, DrawRecord& record, bool withIds)
{
    record = DrawRecord();
    const std::optional<bool> present = RecordPresent(connection);
    if (!present || !*present)
        return false;  // a file without the record has no draw: false with an empty error
    auto row = connection.ExecuteBound(std::string(kDrawColumns) + (withIds ? "eligible_ids" : "''") +
                                           " from draw_record where draw_id = ?",
                                       {drawId});
    if (!row)
        return false;
    if (row->EndOfFile()) {
        connection.setError(std::string());
        return false;
    }
    record = drawFromRow(*row);
    return readWinners(connection, record) && readVoids(connection, record, withIds);
}

bool ReadHistory(store::DbConnection& connection, std::vector<DrawRecord>& draws)
{
    draws.clear();
    const std::optional<bool> present = RecordPresent(connection);
    if (!present || !*present)
        return present.has_value();
    if (!readRows(connection, connection.Execute(std::string(kDrawColumns) + "'' from draw_record order by draw_id"),
                  [&](const store::Recordset& row) { draws.push_back(drawFromRow(row)); }))
        return false;
    for (DrawRecord& record : draws)
        if (!readWinners(connection, record) || !readVoids(connection, record, false))
            return false;
    return true;
}

bool LastDrawId(store::DbConnection& connection, long long& drawId)
{
    drawId = 0;
    const std::optional<bool> present = RecordPresent(connection);
    if (!present || !*present)
        return present.has_value();
    return maxDrawId(connection, drawId);
}

std::vector<RecordedWinner> CurrentWinners(const DrawRecord& record)
{
    std::vector<RecordedWinner> current = record.winners;
    for (const DrawVoid& entry : record.voids)
        for (RecordedWinner& holder : current)
            if (holder.position == entry.position)
                holder = entry.replacement;
    return current;
}

std::vector<RecordedWinner> VoidedWinners(const DrawRecord& record)
{
    std::vector<RecordedWinner> current = record.winners;
    std::vector<RecordedWinner> voided;
    for (const DrawVoid& entry : record.voids) {
        for (RecordedWinner& holder : current) {
            if (holder.position != entry.position)
                continue;
            voided.push_back(holder);
            holder = entry.replacement;
        }
    }
    return voided;
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
