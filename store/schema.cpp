#include "store/schema.h"

#include <algorithm>

namespace store {

std::string SheetSchema(const Dialect& dialect)
{
    return std::string("create table sheet (") + " " + dialect.participantIdColumn +
           ","
           " user_name text,"
           " user_number text,"
           " isluck text default '否');"
           "create index sheet_user_number on sheet(user_number);";
}

std::string SheetColumnsProblem(const std::vector<std::string>& columns, const std::string& where)
{
    const bool hasIsluck = std::find(columns.begin(), columns.end(), "isluck") != columns.end();
    if (columns.empty())
        return "The database " + where + " has no table 'sheet'.";
    if (columns.size() < 4 || columns[0] != "id" || columns[1] != "user_name" || columns[2] != "user_number" ||
        !hasIsluck)
        return "The table 'sheet' in " + where +
               " is not usable: its first columns must be id, user_name and user_number, and it "
               "needs a column isluck.";
    return {};
}

}  // namespace store
