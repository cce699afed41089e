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

struct Settings {
    // The data source the file names; nullopt when there is no such file,
    // it names none, or it cannot be used (then `error` says why).
    std::optional<std::string> dataSource;
    // Why the file cannot be used, naming the file and line: it cannot be
    // read, or a line is not understood or has an unknown key, so that a
    // mistyped setting is not silently ignored. A line is quoted by at most
    // the start of its key, never by its value, which may hold a password.
    std::string error;
    // Set when the data source holds a password and users other than the
    // file's owner may read the file: the password belongs in ~/.pgpass.
    std::string warning;
};

// What `folder`/sortia.ini says.
Settings ReadSettings(const std::string& folder);

}  // namespace store
