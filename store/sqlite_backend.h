#pragma once
// The participant database as an SQLite file (the default, whatever the
// file's name).

#include <memory>
#include <string>

#include "store/backend.h"

namespace store {

// Opens an existing file, shared with other programs; statements wait up to
// lockWaitMs for another program's lock. Refuses, with words an operator can
// act on (and `kind` set), a missing or unreadable file, an Access file (with
// how to convert it), a file that is not a database, a damaged one (SQLite's
// quick check), and a database without a usable `sheet`; and, when opened
// for changing, a file that cannot be changed (read-only file, folder or
// disk) or whose disk is full. Never creates a file.
std::unique_ptr<Backend> OpenSqliteFile(const std::string& path, Access access, int lockWaitMs, std::string& error,
                                        ErrorKind& kind);

// The SQL that differs for SQLite.
const Dialect& SqliteDialect();

// Creates a new file with an empty `sheet`, and the folders above it that are
// missing; refuses an existing file, and a name that reads as a connection
// string with a password (HoldsPassword).
bool CreateSqliteFile(const std::string& path, std::string& error);

// The same under a name of its own beside `path` (`path`.partial- and six
// random letters), set in `made`: for a file that takes `path`'s name only
// once it is complete. A file that exists is never touched.
bool CreateSqliteFileBeside(const std::string& path, std::string& made, std::string& error);

}  // namespace store
