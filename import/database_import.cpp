#include "import/database_import.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include "platform/language/language.h"
#include "import/number_index.h"

namespace importer {

namespace {

const char* const kInsert = "insert into sheet (user_name, user_number, isluck) values (?, ?, ?)";
// How long one attempt at the write lock waits before progress is told.
constexpr int kLockPollMs = 100;
const char* const kSelectNumbered = "select id, user_name, user_number from sheet where user_number is not null";

std::string_view trimmed(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Reads every numbered row of the database once and compares it with the
// file's rows through an index of their numbers.
bool compareWithDatabase(store::DbConnection& connection, const std::vector<ImportRow>& rows,
                         const ProgressFn& progress, std::vector<char>& present, WriteOutcome& outcome)
{
    NumberIndex byNumber(rows);
    for (std::size_t i = 0; i < rows.size(); ++i)
        byNumber.insert(i);
    std::vector<char> conflicting(rows.size(), 0);
    auto select = connection.Execute(kSelectNumbered);
    if (!select)
        return false;
    for (std::size_t scanned = 1; !select->EndOfFile(); ++scanned) {
        if (!reportProgress(progress, Progress::Stage::Checking, scanned, 0)) {
            outcome.stopped = true;
            return false;
        }
        const std::size_t found = byNumber.find(select->FieldView(2));
        if (found != NumberIndex::npos) {
            const ImportRow& row = rows[found];
            const std::string_view name = trimmed(select->FieldView(1));
            if (name == row.name) {
                present[found] = 1;
            } else if (!conflicting[found]) {
                conflicting[found] = 1;
                outcome.conflicts.push_back(
                    {row.line, lang::trf("user_number %1 is already in the database for '%2' (id %3), not for '%4'",
                                         "user_number %1 在数据库中已属于“%2”（id %3），而不是“%4”",
                                         {row.number, std::string(name), select->Field(0), row.name})});
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

// Commits, or rolls back and keeps the reason.
WriteOutcome finish(store::DbConnection& connection, bool written, WriteOutcome outcome)
{
    if (written && connection.CommitTransaction()) {
        outcome.ok = true;
        return outcome;
    }
    if (!outcome.stopped && outcome.conflicts.empty())
        outcome.error = connection.error();
    connection.RollbackTransaction();
    outcome.inserted = 0;
    outcome.skipped = 0;
    return outcome;
}

// Takes the write lock within the connection's lock wait, as
// BeginTransaction() does, but in short attempts with progress told between
// them: a window stays alive while another program holds the lock, and the
// operator can stop waiting. The connection's lock wait is kept.
bool beginReporting(store::DbConnection& connection, const ProgressFn& progress, WriteOutcome& outcome)
{
    if (!progress)
        return connection.BeginTransaction(store::TransactionKind::Import);
    using namespace std::chrono;
    const int lockWait = connection.lockWait();
    connection.setLockWait(std::min(lockWait, kLockPollMs));
    const auto start = steady_clock::now();
    bool begun = false;
    for (;;) {
        begun = connection.BeginTransaction(store::TransactionKind::Import);
        if (begun || connection.errorKind() != store::ErrorKind::Busy)
            break;
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

}  // namespace

WriteOutcome writeParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows,
                               const ProgressFn& progress)
{
    WriteOutcome outcome;
    if (!beginReporting(connection, progress, outcome)) {
        if (!outcome.stopped)
            outcome.error = connection.error();
        return outcome;
    }
    std::vector<char> present(rows.size(), 0);
    if (!compareWithDatabase(connection, rows, progress, present, outcome) || !outcome.conflicts.empty()) {
        std::sort(outcome.conflicts.begin(), outcome.conflicts.end(),
                  [](const Problem& a, const Problem& b) { return a.line < b.line; });
        return finish(connection, false, std::move(outcome));
    }
    for (char p : present)
        outcome.skipped += std::size_t(p);
    const bool written = insertRows(connection, rows, present, progress, outcome);
    return finish(connection, written, std::move(outcome));
}

bool insertParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows, std::string& error)
{
    if (!connection.BeginTransaction(store::TransactionKind::Import)) {
        error = connection.error();
        return false;
    }
    WriteOutcome outcome;
    const bool written = insertRows(connection, rows, {}, {}, outcome);
    outcome = finish(connection, written, std::move(outcome));
    error = outcome.error;
    return outcome.ok;
}

}  // namespace importer
