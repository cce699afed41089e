#pragma once
// The participant database as an SQLite file (the default, whatever the
// file's name).

#include <memory>
#include <string>

#include "store/backend.h"

namespace store {

// Opens an existing file for reading and writing, shared with other programs.
// Refuses, with words an operator can act on, a missing or unreadable file,
// an Access file (with how to convert it), a file that is not a database, and
// a database without a usable `sheet`. Never creates a file.
std::unique_ptr<Backend> OpenSqliteFile(const std::string& path, std::string& error);

// Creates a new file with an empty `sheet`; refuses an existing file.
bool CreateSqliteFile(const std::string& path, std::string& error);

// How long a statement waits for another program's lock before failing.
constexpr int kBusyTimeoutMs = 8000;

}  // namespace store
