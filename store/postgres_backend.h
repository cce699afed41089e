#pragma once
// The participant database on a PostgreSQL server, for several PCs sharing
// one list. Named by a data source of the form
//   postgresql://user@host/dbname   (any libpq connection URI)
// The database must be UTF-8; texts travel as UTF-8 and every value is bound,
// never written into the SQL. Messages name the server by its redacted
// address (data_source.h).

#include <memory>
#include <string>

#include "store/backend.h"

namespace store {

// Connects and checks that `sheet` can serve, as for a file. An address that
// libpq would read otherwise than it is written is refused unread. Opened
// for changing, a database made before the eligible list had its index gets
// it (when this user may make it); opening to read changes nothing.
std::unique_ptr<Backend> OpenPostgres(const std::string& uri, Access access, std::string& error);

// Makes an empty `sheet` and the draw record's tables in the (existing,
// empty) database; refuses one that already has a `sheet`.
bool CreatePostgresTables(const std::string& uri, std::string& error);

}  // namespace store
