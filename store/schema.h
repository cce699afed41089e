#pragma once
// The form of table `sheet`, shared by every kind of database.

#include <string>
#include <vector>

#include "store/backend.h"

namespace store {

// The statements that make an empty `sheet` (with its index on user_number,
// and the kind's index for the eligible list).
std::string SheetSchema(const Dialect& dialect);

// The statement that makes the table of participants' groups (department,
// table, ticket type), kept beside `sheet` so that `sheet` keeps its form:
// participant_group (participant_id, group_name), one row per participant
// that has a group, participant_id being sheet's id.
std::string GroupSchema(const Dialect& dialect);

// Why a `sheet` with these columns (lower case, in table order; none when the
// table is missing) cannot serve, or "" when it can: the list is read by
// position, so id, user_name and user_number must come first, and isluck
// must be somewhere. `where` names the database in the message.
std::string SheetColumnsProblem(const std::vector<std::string>& columns, const std::string& where);

}  // namespace store
