#pragma once
// sortia.ini: an optional file beside the program that names the participant
// database when it is not the file Sbase.mdb there. Its form:
//
//   ; the participant list on the organisers' server
//   [database]
//   data_source = postgresql://draw@dbserver/sortia
//
// Blank lines and lines starting with ';' or '#' are ignored; the section
// line is optional; the key is case-insensitive; spaces around '=' and the
// value are ignored. A data source that is not a postgresql:// address is an
// SQLite file, relative to the program's folder unless absolute.

#include <optional>
#include <string>

namespace store {

extern const char* const kSettingsFileName;  // "sortia.ini"

// The data source that `folder`/sortia.ini names; nullopt when there is no
// such file or it names none. A file that cannot be read, a line that is not
// understood or a key that is not known gives nullopt with `error` (naming
// the file and line), so that a mistyped setting is not silently ignored.
std::optional<std::string> ConfiguredDataSource(const std::string& folder, std::string& error);

}  // namespace store
