#pragma once
// A data source names the participant database: an SQLite file (any path),
// or a database on a PostgreSQL server, written as a libpq connection URI
// (postgresql://user@host/dbname?param=value). An address may carry a
// password; it must never reach a message, a log line, a window, a file or
// the file system. Everything that shows a data source shows
// RedactedDataSource(), and nothing but the back ends sees the address as
// given.

#include <string>
#include <string_view>

namespace store {

// True when the data source names a database server rather than a file:
// it starts with postgresql:// or postgres://. Such a text is never used as
// a path.
bool IsServerDataSource(std::string_view dataSource);

// The data source as it may be shown. Every value libpq marks as secret
// (password, sslpassword) is left out wherever it stands: in the user
// information of a URI (read up to its last '@', so that a password holding
// a raw '/', '@' or ':' is cut whole), in a query parameter (also when its
// name is percent-encoded), or in key=value form. A file path comes back as
// it is, unless it reads as a key=value connection string with a password.
std::string RedactedDataSource(std::string_view dataSource);

// Whether the data source carries a password in any of those forms.
bool HoldsPassword(std::string_view dataSource);

// Why a server address cannot be used as written, in the user's language,
// or "" when it can: libpq cannot read it, or it would read the user name
// or password differently from how they are written (a raw '/', '@' or '?'
// in a password, which must be percent-encoded). The message shows only the
// redacted address; libpq's own text is left out, since it may quote the
// password.
std::string ServerAddressProblem(const std::string& uri);

// Why `path` cannot name a file: it reads as a connection string with a
// password (HoldsPassword), meant for a server; "" when it can. Asked before
// the name reaches a message or the disk.
std::string FileNameProblem(const std::string& path);

}  // namespace store
