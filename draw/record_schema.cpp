#include "draw/record_schema.h"

#include <string>
#include <string_view>
#include <vector>

namespace draw {
namespace {

// Plain SQL that other programs read too; only the types of whole numbers
// and bytes are the database's own (see inDialect).
const char* const kOriginalTables[] = {
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

// Added to the original tables, old or just made, so that both have the
// columns in one order; rows of format 1 keep the defaults.
const char* const kAddedColumns[] = {
    "alter table draw_record add column record_format integer not null default 1",
    "alter table draw_record add column organiser_seed varchar(64)",
    "alter table draw_record add column seed_commitment varchar(64)",
    "alter table draw_record add column public_input text",
    "alter table draw_record add column announcement_id integer",
    "alter table draw_record add column plan_round integer",
    "alter table draw_record add column prize_name text",
    "alter table draw_record add column group_rule text",
    "alter table draw_void add column record_format integer not null default 1",
    "alter table draw_void add column organiser_seed varchar(64)",
    "alter table draw_void add column seed_commitment varchar(64)",
    "alter table draw_void add column public_input text",
    "alter table draw_void add column reason text",
};

// draw_announcement comes last: its presence says that the rest is there.
const char* const kNewTables[] = {
    "create table draw_reset ("
    " reset_seq integer not null primary key,"
    " reset_at varchar(40) not null,"
    " reset_rows integer not null,"
    " eligible_count integer not null,"
    " eligible_digest varchar(64) not null,"
    " eligible_ids blob not null,"
    " previous_digest varchar(64) not null,"
    " record_digest varchar(64) not null)",
    "create table draw_correction ("
    " correction_seq integer not null primary key,"
    " draw_id integer not null,"
    " corrected_at varchar(40) not null,"
    " prize_level text not null,"
    " prize_name text not null,"
    " reason text not null,"
    " previous_digest varchar(64) not null,"
    " record_digest varchar(64) not null)",
    "create table prize_plan ("
    " round_no integer not null primary key,"
    " prize_level text not null,"
    " prize_name text not null,"
    " winner_count integer not null,"
    " group_rule text not null)",
    // The chain's head is the entry nobody links to: found through these
    // indexes without reading the entries' lists.
    "create index draw_record_previous on draw_record (previous_digest)",
    "create index draw_void_previous on draw_void (previous_digest)",
    "create index draw_reset_previous on draw_reset (previous_digest)",
    "create index draw_correction_previous on draw_correction (previous_digest)",
    "create index draw_record_round on draw_record (plan_round)",
    "create index draw_record_announcement on draw_record (announcement_id)",
    "create table draw_announcement ("
    " announcement_id integer not null primary key,"
    " announced_at varchar(40) not null,"
    " prize_level text not null,"
    " requested integer not null,"
    " source text not null,"
    " eligible_count integer not null,"
    " eligible_digest varchar(64) not null,"
    " eligible_ids blob not null,"
    " previous_digest varchar(64) not null,"
    " record_digest varchar(64) not null,"
    " prize_name text not null,"
    " plan_round integer,"
    " group_rule text not null)",
    "create index draw_announcement_previous on draw_announcement (previous_digest)",
};

const char* const kSentinel = "draw_announcement";

// A statement in the words of the connection's kind of database.
std::string inDialect(const char* statement, const store::Dialect& dialect)
{
    std::string text = std::string(statement) + " ";
    for (const auto& [word, replacement] :
         {std::pair{std::string(" integer "), std::string(" ") + dialect.wholeNumberType + " "},
          std::pair{std::string(" blob "), std::string(" ") + dialect.bytesType + " "}}) {
        for (std::size_t at = 0; (at = text.find(word, at)) != std::string::npos; at += replacement.size())
            text.replace(at, word.size(), replacement);
    }
    return text;
}

// The table a "create table" statement makes; "" for any other statement.
std::string tableMadeBy(std::string_view statement)
{
    for (std::string_view prefix : {"create table if not exists ", "create table "}) {
        if (statement.substr(0, prefix.size()) == prefix) {
            statement.remove_prefix(prefix.size());
            return std::string(statement.substr(0, statement.find(' ')));
        }
    }
    return {};
}

// Runs the statements; the tables they make that were not there before are
// added to `made`.
bool runAll(store::DbConnection& connection, const std::vector<const char*>& statements,
            std::vector<std::string>& made)
{
    for (const char* statement : statements) {
        const std::string table = tableMadeBy(statement);
        std::optional<bool> there = false;
        if (!table.empty() && !(there = connection.HasTable(table)))
            return false;
        if (!connection.Run(inDialect(statement, connection.dialect())))
            return false;
        if (!table.empty() && !*there)
            made.push_back(table);
    }
    return true;
}

// The lists of ids kept as they are where the database would compress them:
// a list is compact already, and compressing a megabyte at every stop cost a
// server more than the rest of the stop.
bool keepListsPlain(store::DbConnection& connection)
{
    const char* const statement = connection.dialect().keepBytesPlain;
    if (!statement)
        return true;
    for (const char* table : {"draw_record", "draw_void", "draw_reset", "draw_announcement"}) {
        std::string text = statement;
        text.replace(text.find("%1"), 2, table);
        text.replace(text.find("%2"), 2, "eligible_ids");
        if (!connection.Run(text))
            return false;
    }
    return true;
}

bool upgrade(store::DbConnection& connection, std::vector<std::string>& made)
{
    // Checked again inside the transaction: another program may have done it.
    const std::optional<bool> done = connection.HasTable(kSentinel);
    if (!done)
        return false;
    if (*done)
        return true;
    return runAll(connection, std::vector<const char*>(std::begin(kOriginalTables), std::end(kOriginalTables)),
                  made) &&
           runAll(connection, std::vector<const char*>(std::begin(kAddedColumns), std::end(kAddedColumns)), made) &&
           runAll(connection, std::vector<const char*>(std::begin(kNewTables), std::end(kNewTables)), made) &&
           keepListsPlain(connection);
}

}  // namespace

std::optional<RecordLayout> RecordLayoutOf(store::DbConnection& connection)
{
    const std::optional<bool> current = connection.HasTable(kSentinel);
    if (!current)
        return std::nullopt;
    if (*current)
        return RecordLayout::Current;
    const std::optional<bool> original = connection.HasTable("draw_record");
    if (!original)
        return std::nullopt;
    return *original ? RecordLayout::Original : RecordLayout::None;
}

std::optional<bool> RecordPresent(store::DbConnection& connection)
{
    const std::optional<RecordLayout> layout = RecordLayoutOf(connection);
    if (!layout)
        return std::nullopt;
    return *layout != RecordLayout::None;
}

bool EnsureDrawTables(store::DbConnection& connection, std::vector<std::string>* created)
{
    const std::optional<bool> present = connection.HasTable(kSentinel);
    if (!present)
        return false;
    if (*present)
        return true;
    // Two programs may upgrade an old file at once: the write transaction
    // lets one of them do it; the other finds it done.
    if (!connection.BeginTransaction())
        return false;
    std::vector<std::string> made;
    if (upgrade(connection, made) && connection.CommitTransaction()) {
        if (created)
            created->insert(created->end(), made.begin(), made.end());
        return true;
    }
    const std::string error = connection.error();
    const store::ErrorKind kind = connection.errorKind();
    connection.RollbackTransaction();
    // A full disk, a lock, a lost server keep their kind for the caller to act on.
    if (kind != store::ErrorKind::Other && kind != store::ErrorKind::Conflict)
        return false;
    const std::optional<bool> doneMeanwhile = connection.HasTable(kSentinel);
    if (doneMeanwhile && *doneMeanwhile)
        return true;
    connection.setError(error);
    return false;
}

}  // namespace draw
