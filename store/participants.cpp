#include "store/participants.h"

#include <filesystem>

#include <sqlite3.h>

#include "platform/language/language.h"

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
    auto result = connection.Execute(
        "select count(*), coalesce(sum(isluck = '是'), 0), coalesce(sum(isluck = '否'), 0),"
        " coalesce(sum(isluck is null or isluck not in ('是', '否')), 0) from sheet");
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
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        error = lang::trf("'%1' already exists; it is left as it is.", "“%1”已经存在，保持原样不动。", {path});
        return false;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        error = lang::trf("Cannot create '%1': %2.", "无法创建“%1”：%2。",
                          {path, db ? sqlite3_errmsg(db) : lang::tr("out of memory", "内存不足")});
        sqlite3_close_v2(db);
        return false;
    }
    const char* schema =
        "create table sheet ("
        " id integer primary key,"
        " user_name text,"
        " user_number text,"
        " isluck text default '否');"
        "create index sheet_user_number on sheet(user_number);";
    char* message = nullptr;
    const bool ok = sqlite3_exec(db, schema, nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) {
        error = lang::trf("Cannot create the table in '%1': %2.", "无法在“%1”中创建表：%2。",
                          {path, message ? message : ""});
        sqlite3_free(message);
    }
    sqlite3_close_v2(db);
    if (!ok)
        std::filesystem::remove(path, ec);
    return ok;
}

}  // namespace store
