#include "import/database_import.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string_view>
#include <thread>

#include "platform/language/language.h"
#include "store/schema.h"
#include "import/number_index.h"

namespace importer {

namespace {

const char* const kInsert = "insert into sheet (user_name, user_number, isluck) values (?, ?, ?)";
// How long one attempt at the write lock waits before progress is told.
constexpr int kLockPollMs = 100;
const char* const kSelectNumbered = "select id, user_name, user_number from sheet where user_number is not null";
const char* const kSelectNumberedWithGroup =
    "select s.id, s.user_name, s.user_number, g.group_name from sheet s"
    " left join participant_group g on g.participant_id = s.id where s.user_number is not null";
const char* const kGroupTable = "participant_group";
const char* const kSetGroup =
    "insert into participant_group (participant_id, group_name) values (?, ?)"
    " on conflict (participant_id) do update set group_name = excluded.group_name";

struct GroupWrite {
    std::int64_t id = 0;
    std::size_t row = 0;  // the list's row that names the group
};

// One try inside one transaction.
struct Attempt {
    explicit Attempt(const std::vector<ImportRow>& rows) : present(rows.size(), 0), index(rows)
    {
        for (std::size_t i = 0; i < rows.size(); ++i)
            index.insert(i);
    }
    std::vector<char> present;
    NumberIndex index;
    bool groups = false;      // the list has a group column
    bool groupTable = false;  // participant_group existed before this import
    std::vector<GroupWrite> groupWrites;
    store::ErrorKind failure = store::ErrorKind::None;
};

// Reads every numbered row of the database once and compares it with the
// list's rows through the index of their numbers; notes the groups that
// rows already present must take.
bool compareWithDatabase(store::DbConnection& connection, const std::vector<ImportRow>& rows,
                         const ProgressFn& progress, Attempt& attempt, WriteOutcome& outcome)
{
    std::vector<char> conflicting(rows.size(), 0), regrouped(rows.size(), 0);
    const bool readGroups = attempt.groups && attempt.groupTable;
    auto select = connection.Execute(readGroups ? kSelectNumberedWithGroup : kSelectNumbered);
    if (!select)
        return false;
    for (std::size_t scanned = 1; !select->EndOfFile(); ++scanned) {
        if (!reportProgress(progress, Progress::Stage::Checking, scanned, 0)) {
            outcome.stopped = true;
            return false;
        }
        const std::size_t found = attempt.index.find(select->FieldView(2));
        if (found != NumberIndex::npos) {
            const ImportRow& row = rows[found];
            const std::string_view name = trimmedView(select->FieldView(1));
            if (name == row.name) {
                attempt.present[found] = 1;
                const bool changes = readGroups ? select->IsNull(3) || select->FieldView(3) != row.group : true;
                if (attempt.groups && !row.group.empty() && changes && select->IsInteger(0)) {
                    attempt.groupWrites.push_back({select->FieldInteger(0), found});
                    outcome.regrouped += regrouped[found] ? 0 : 1;
                    regrouped[found] = 1;
                }
            } else if (!conflicting[found]) {
                conflicting[found] = 1;
                if (!outcome.conflicts.keeps(row.line)) {
                    outcome.conflicts.tally();
                } else {
                    outcome.conflicts.add(
                        row.line, lang::trf("user_number %1 is already in the database for '%2' (id %3), not for '%4'",
                                            "user_number %1 在数据库中已属于“%2”（id %3），而不是“%4”",
                                            {quoteValue(row.number), quoteValue(name), quoteValue(select->FieldView(0)),
                                             quoteValue(row.name)}));
                }
            }
        }
        if (!select->MoveNext()) {
            connection.noteReadError(*select);
            return false;
        }
    }
    return true;
}

bool insertRows(store::DbConnection& connection, const std::vector<ImportRow>& rows, const std::vector<char>& skip,
                const ProgressFn& progress, WriteOutcome& outcome)
{
    std::size_t i = 0;
    const auto next = [&](std::vector<store::Value>& values) {
        for (; i < rows.size(); ++i) {
            if (!reportProgress(progress, Progress::Stage::Writing, i, rows.size())) {
                outcome.stopped = true;
                return false;
            }
            if (skip.empty() || !skip[i])
                break;
        }
        if (i == rows.size())
            return false;
        const ImportRow& row = rows[i++];
        values.resize(3);
        values[0] = store::Value(row.name);
        values[1] = store::Value(row.number);
        values[2] = store::Value(row.isluck);
        ++outcome.inserted;
        return true;
    };
    return connection.RunMany(kInsert, next) && !outcome.stopped;
}

// The ids of the rows just inserted that have a group: rows of the list
// that were not present, found again by their numbers, which nobody else
// can have added meanwhile.
bool findInsertedGroups(store::DbConnection& connection, const std::vector<ImportRow>& rows, Attempt& attempt)
{
    auto select = connection.Execute(kSelectNumbered);
    if (!select)
        return false;
    for (; !select->EndOfFile();) {
        const std::size_t found = attempt.index.find(select->FieldView(2));
        if (found != NumberIndex::npos && !attempt.present[found] && !rows[found].group.empty() &&
            select->IsInteger(0))
            attempt.groupWrites.push_back({select->FieldInteger(0), found});
        if (!select->MoveNext()) {
            connection.noteReadError(*select);
            return false;
        }
    }
    return true;
}

bool writeGroups(store::DbConnection& connection, const std::vector<ImportRow>& rows, Attempt& attempt,
                 const ProgressFn& progress, WriteOutcome& outcome)
{
    if (!findInsertedGroups(connection, rows, attempt))
        return false;
    std::size_t i = 0;
    const auto next = [&](std::vector<store::Value>& values) {
        if (i == attempt.groupWrites.size())
            return false;
        if (!reportProgress(progress, Progress::Stage::Writing, i, attempt.groupWrites.size())) {
            outcome.stopped = true;
            return false;
        }
        const GroupWrite& write = attempt.groupWrites[i++];
        values.resize(2);
        values[0] = store::Value(write.id);
        values[1] = store::Value(rows[write.row].group);
        return true;
    };
    return connection.RunMany(kSetGroup, next) && !outcome.stopped;
}

// Makes participant_group when the list needs it and the database lacks it.
bool prepareGroups(store::DbConnection& connection, Attempt& attempt)
{
    if (!attempt.groups)
        return true;
    const std::optional<bool> exists = connection.HasTable(kGroupTable);
    if (!exists)
        return false;
    attempt.groupTable = *exists;
    return *exists || connection.Run(store::GroupSchema(connection.dialect()));
}

// Commits, or rolls back and keeps the reason.
WriteOutcome finish(store::DbConnection& connection, bool written, store::ErrorKind& failure, WriteOutcome outcome)
{
    if (written && connection.CommitTransaction()) {
        outcome.ok = true;
        return outcome;
    }
    if (!outcome.stopped && outcome.conflicts.empty()) {
        outcome.error = connection.error();
        failure = connection.errorKind();
    }
    connection.RollbackTransaction();
    outcome.inserted = 0;
    outcome.skipped = 0;
    outcome.regrouped = 0;
    return outcome;
}

// Takes the write lock within the connection's lock wait, as
// BeginTransaction() does, but in short attempts with progress told between
// them: a window stays alive while another program holds the lock, and the
// operator can stop waiting. The connection's lock wait is kept.
bool beginReporting(store::DbConnection& connection, const ProgressFn& progress, WriteOutcome& outcome)
{
    if (!progress)
        return connection.BeginTransaction(store::TransactionKind::ListImport);
    using namespace std::chrono;
    const int lockWait = connection.lockWait();
    connection.setLockWait(std::min(lockWait, kLockPollMs));
    const auto start = steady_clock::now();
    bool begun = false;
    for (;;) {
        begun = connection.BeginTransaction(store::TransactionKind::ListImport);
        if (begun || connection.errorKind() != store::ErrorKind::Busy)
            break;
        connection.RollbackTransaction();  // a server ends a transaction whose lock timed out
        const auto waited = duration_cast<milliseconds>(steady_clock::now() - start).count();
        if (waited >= lockWait)
            break;
        if (!progress({Progress::Stage::Waiting, std::size_t(waited), std::size_t(lockWait)})) {
            outcome.stopped = true;
            break;
        }
    }
    connection.setLockWait(lockWait);
    return begun;
}

WriteOutcome writeOnce(store::DbConnection& connection, const std::vector<ImportRow>& rows, const ProgressFn& progress,
                       Attempt& attempt)
{
    WriteOutcome outcome;
    if (!beginReporting(connection, progress, outcome)) {
        if (!outcome.stopped) {
            outcome.error = connection.error();
            attempt.failure = connection.errorKind();
        }
        connection.RollbackTransaction();
        return outcome;
    }
    if (!prepareGroups(connection, attempt) || !compareWithDatabase(connection, rows, progress, attempt, outcome) ||
        !outcome.conflicts.empty())
        return finish(connection, false, attempt.failure, std::move(outcome));
    for (char p : attempt.present)
        outcome.skipped += std::size_t(p);
    const bool written = insertRows(connection, rows, attempt.present, progress, outcome) &&
                         (!attempt.groups || writeGroups(connection, rows, attempt, progress, outcome));
    return finish(connection, written, attempt.failure, std::move(outcome));
}

}  // namespace

WriteOutcome writeParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows,
                               const ProgressFn& progress, Groups groups)
{
    std::minstd_rand random(std::random_device{}());
    WriteOutcome outcome;
    for (int tries = 1; tries <= kMaxConflictAttempts; ++tries) {
        Attempt attempt(rows);
        attempt.groups = groups == Groups::Present;
        outcome = writeOnce(connection, rows, progress, attempt);
        outcome.attempts = tries;
        if (attempt.failure != store::ErrorKind::Conflict)
            return outcome;
        // Another transaction changed what this one read: wait a little,
        // longer each time so that the two part, and read afresh.
        std::this_thread::sleep_for(std::chrono::milliseconds((1 + random() % 20) * unsigned(tries)));
    }
    outcome.error = lang::trf("other programs kept changing the participants at the same moment (%1 tries)",
                              "其他程序一再同时修改参与者名单（已试 %1 次）", {std::to_string(kMaxConflictAttempts)});
    return outcome;
}

bool insertParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows, std::string& error)
{
    if (!connection.BeginTransaction(store::TransactionKind::ListImport)) {
        error = connection.error();
        connection.RollbackTransaction();
        return false;
    }
    WriteOutcome outcome;
    const bool written = insertRows(connection, rows, {}, {}, outcome);
    store::ErrorKind failure = store::ErrorKind::None;
    outcome = finish(connection, written, failure, std::move(outcome));
    error = outcome.error;
    return outcome.ok;
}

}  // namespace importer
