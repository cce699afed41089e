#include "store/import/database_import.h"

#include <algorithm>
#include <string_view>

#include <sqlite3.h>

#include "platform/language/language.h"
#include "store/import/number_index.h"

namespace importer {

namespace {

const char* const kInsert = "insert into sheet (user_name, user_number, isluck) values (?, ?, ?)";
const char* const kSelectNumbered = "select id, user_name, user_number from sheet where user_number is not null";

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr); }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return m_statement; }

private:
    sqlite3_stmt* m_statement = nullptr;
};

std::string_view columnText(sqlite3_stmt* statement, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string_view(text, std::size_t(sqlite3_column_bytes(statement, column))) : std::string_view();
}

std::string_view trimmed(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Reads every numbered row of the database once and compares it with the
// file's rows through an index of their numbers.
bool compareWithDatabase(sqlite3* db, const std::vector<ImportRow>& rows, const ProgressFn& progress,
                         std::vector<char>& present, WriteOutcome& outcome)
{
    NumberIndex byNumber(rows);
    for (std::size_t i = 0; i < rows.size(); ++i)
        byNumber.insert(i);
    std::vector<char> conflicting(rows.size(), 0);
    Statement select(db, kSelectNumbered);
    if (!select.get())
        return false;
    int rc;
    for (std::size_t scanned = 1; (rc = sqlite3_step(select.get())) == SQLITE_ROW; ++scanned) {
        if (!reportProgress(progress, Progress::Stage::Checking, scanned, 0)) {
            outcome.stopped = true;
            return false;
        }
        const std::size_t found = byNumber.find(columnText(select.get(), 2));
        if (found == NumberIndex::npos)
            continue;
        const ImportRow& row = rows[found];
        const std::string_view name = trimmed(columnText(select.get(), 1));
        if (name == row.name) {
            present[found] = 1;
        } else if (!conflicting[found]) {
            conflicting[found] = 1;
            outcome.conflicts.push_back(
                {row.line, lang::trf("user_number %1 is already in the database for '%2' (id %3), not for '%4'",
                                     "user_number %1 在数据库中已属于“%2”（id %3），而不是“%4”",
                                     {row.number, std::string(name), std::string(columnText(select.get(), 0)), row.name})});
        }
    }
    return rc == SQLITE_DONE;
}

bool insertRows(sqlite3* db, const std::vector<ImportRow>& rows, const std::vector<char>& skip,
                const ProgressFn& progress, WriteOutcome& outcome)
{
    Statement insert(db, kInsert);
    if (!insert.get())
        return false;
    sqlite3_stmt* statement = insert.get();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!reportProgress(progress, Progress::Stage::Writing, i, rows.size())) {
            outcome.stopped = true;
            return false;
        }
        if (!skip.empty() && skip[i])
            continue;
        const ImportRow& row = rows[i];
        sqlite3_bind_text(statement, 1, row.name.data(), int(row.name.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 2, row.number.data(), int(row.number.size()), SQLITE_STATIC);
        sqlite3_bind_text(statement, 3, row.isluck.data(), int(row.isluck.size()), SQLITE_STATIC);
        const int rc = sqlite3_step(statement);
        sqlite3_reset(statement);
        if (rc != SQLITE_DONE)
            return false;
        ++outcome.inserted;
    }
    return true;
}

// Commits, or rolls back and keeps the reason.
WriteOutcome finish(store::DbConnection& connection, bool written, WriteOutcome outcome)
{
    if (written && connection.CommitTransaction()) {
        outcome.ok = true;
        return outcome;
    }
    if (!outcome.stopped && outcome.conflicts.empty())
        outcome.error = written ? connection.error() : sqlite3_errmsg(connection.handle());
    connection.RollbackTransaction();
    outcome.inserted = 0;
    outcome.skipped = 0;
    return outcome;
}

}  // namespace

WriteOutcome writeParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows,
                               const ProgressFn& progress)
{
    WriteOutcome outcome;
    if (!connection.BeginTransaction()) {
        outcome.error = connection.error();
        return outcome;
    }
    sqlite3* db = connection.handle();
    std::vector<char> present(rows.size(), 0);
    if (!compareWithDatabase(db, rows, progress, present, outcome) || !outcome.conflicts.empty()) {
        std::sort(outcome.conflicts.begin(), outcome.conflicts.end(),
                  [](const Problem& a, const Problem& b) { return a.line < b.line; });
        return finish(connection, false, std::move(outcome));
    }
    for (char p : present)
        outcome.skipped += std::size_t(p);
    const bool written = insertRows(db, rows, present, progress, outcome);
    return finish(connection, written, std::move(outcome));
}

bool insertParticipants(store::DbConnection& connection, const std::vector<ImportRow>& rows, std::string& error)
{
    if (!connection.BeginTransaction()) {
        error = connection.error();
        return false;
    }
    WriteOutcome outcome;
    const bool written = insertRows(connection.handle(), rows, {}, {}, outcome);
    outcome = finish(connection, written, std::move(outcome));
    error = outcome.error;
    return outcome.ok;
}

}  // namespace importer
