#include "store/participants.h"

#include "store/sqlite_backend.h"

namespace store {

const char* const kSelectNotWon = "select * from sheet  where isluck = '否' order by id desc ";
const char* const kMarkWinner = "update sheet set isluck = '是'  where user_number = ? ";
const char* const kResetWinners = "update sheet set isluck = '否'  where  isluck = '是' ";
const char* const kWon = "是";
const char* const kNotWon = "否";

bool LoadNotWon(DbConnection& connection, std::vector<Participant>& list)
{
    list.clear();
    auto result = connection.Execute(kSelectNotWon);
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

bool MarkWinners(DbConnection& connection, const std::vector<std::string>& numbers)
{
    if (!connection.BeginTransaction())
        return false;
    for (const std::string& number : numbers) {
        if (!connection.Run(kMarkWinner, {number})) {
            connection.RollbackTransaction();  // keeps the statement's own message in error()
            return false;
        }
    }
    if (!connection.CommitTransaction()) {
        connection.RollbackTransaction();
        return false;
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
    if (!result || result->EndOfFile())
        return false;
    counts.all = std::stoll(result->Field(0));
    counts.won = std::stoll(result->Field(1));
    counts.notWon = std::stoll(result->Field(2));
    counts.neverDrawn = std::stoll(result->Field(3));
    return true;
}

bool CreateDatabase(const std::string& path, std::string& error)
{
    return CreateSqliteFile(path, error);
}

}  // namespace store
