#include "store/schema.h"

#include <algorithm>

#include "platform/language/language.h"

namespace store {

std::string SheetSchema(const Dialect& dialect)
{
    return std::string("create table sheet (") + " " + dialect.participantIdColumn +
           ","
           " user_name text,"
           " user_number text,"
           " isluck text default '否');"
           "create index sheet_user_number on sheet(user_number);" +
           (dialect.listIndex ? std::string(dialect.listIndex) + ";" : std::string());
}

std::string GroupSchema(const Dialect& dialect)
{
    return std::string("create table participant_group (participant_id ") + dialect.wholeNumberType +
           " primary key, group_name text not null)";
}

std::string SheetColumnsProblem(const std::vector<std::string>& columns, const std::string& where)
{
    const bool hasIsluck = std::find(columns.begin(), columns.end(), "isluck") != columns.end();
    if (columns.empty())
        return lang::trf("The database %1 has no table 'sheet'.", "数据库 %1 中没有 sheet 表。", {where});
    if (columns.size() < 4 || columns[0] != "id" || columns[1] != "user_name" || columns[2] != "user_number" ||
        !hasIsluck)
        return lang::trf("The table 'sheet' in %1 is not usable: its first columns must be id, user_name and "
                         "user_number, and it needs a column isluck.",
                         "%1 中的 sheet 表无法使用：它的前几列必须是 id、user_name 和 user_number，并且需要一列 isluck。",
                         {where});
    return {};
}

}  // namespace store
