#include "store/participants.h"

#include <charconv>
#include <filesystem>

#include "platform/language/language.h"
#include "store/data_source.h"
#include "store/postgres_backend.h"
#include "store/sqlite_backend.h"

namespace store {

const char* const kSelectNotWon = "select * from sheet  where isluck = '否' order by id desc ";
const char* const kMarkWinner = "update sheet set isluck = '是'  where user_number = ? ";
const char* const kResetWinners = "update sheet set isluck = '否'  where  isluck = '是' ";
const char* const kWon = "是";
const char* const kNotWon = "否";

namespace {

// A count as the database gives it: a whole number, or its digits as text.
bool readCount(const Recordset& row, int position, long long& count)
{
    if (row.IsInteger(position)) {
        count = row.FieldInteger(position);
        return true;
    }
    const std::string_view text = row.FieldView(position);
    const char* end = text.data() + text.size();
    const auto [stop, problem] = std::from_chars(text.data(), end, count);
    return !text.empty() && problem == std::errc() && stop == end;
}

// Reads the counts `fields` from the one row of `result`.
template <std::size_t N>
bool readCounts(DbConnection& connection, std::unique_ptr<Recordset> result, long long* const (&fields)[N])
{
    if (!result)
        return false;
    for (std::size_t i = 0; i < N; ++i) {
        const int position = int(i);
        if (result->EndOfFile() || !readCount(*result, position, *fields[i])) {
            connection.setError(lang::trf("The database %1 gave a count that is not a whole number: '%2'",
                                          "数据库 %1 给出的计数不是整数：“%2”",
                                          {connection.shownDataSource(),
                                           std::string(result->FieldView(position).substr(0, 32))}));
            return false;
        }
    }
    return true;
}

}  // namespace

const char* SelectNotWon(const DbConnection& connection)
{
    const char* own = connection.isOpen() ? connection.dialect().selectNotWon : nullptr;
    return own ? own : kSelectNotWon;
}

bool LoadNotWon(DbConnection& connection, std::vector<Participant>& list)
{
    list.clear();
    auto result = connection.Execute(SelectNotWon(connection));
    if (!result)
        return false;
    while (!result->EndOfFile()) {
        list.push_back({result->Field(0), result->Field(1), result->Field(2)});
        if (!result->MoveNext()) {
            connection.noteReadError(*result);
            return false;
        }
    }
    return true;
}

bool ResetWinners(DbConnection& connection)
{
    return connection.Run(kResetWinners);
}

bool CountParticipants(DbConnection& connection, Counts& counts)
{
    // Sums of case expressions: every kind of database counts them the same way.
    auto result = connection.Execute(
        "select count(*), coalesce(sum(case when isluck = '是' then 1 else 0 end), 0),"
        " coalesce(sum(case when isluck = '否' then 1 else 0 end), 0),"
        " coalesce(sum(case when isluck is null or isluck not in ('是', '否') then 1 else 0 end), 0) from sheet");
    long long* const fields[] = {&counts.all, &counts.won, &counts.notWon, &counts.neverDrawn};
    return readCounts(connection, std::move(result), fields);
}

bool CountNotWon(DbConnection& connection, long long& notWon)
{
    long long* const fields[] = {&notWon};
    return readCounts(connection, connection.Execute("select count(*) from sheet where isluck = '否'"), fields);
}

bool CreateDatabase(const std::string& path, std::string& error)
{
    return IsServerDataSource(path) ? CreatePostgresTables(path, error) : CreateSqliteFile(path, error);
}

bool UndoCreateDatabase(const std::string& path, std::string& error)
{
    error.clear();
    if (!IsServerDataSource(path)) {
        std::error_code ec;
        std::filesystem::remove(path, ec);
        if (ec)
            error = ec.message();
        return !ec;
    }
    DbConnection connection;
    if (connection.OpenFile(path) && connection.Run("drop table sheet"))
        return true;
    error = connection.error();
    return false;
}

}  // namespace store
