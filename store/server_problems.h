#pragma once
// What a failure of the PostgreSQL server means, in words an operator can
// act on and in the user's language. The server's (or libpq's) own text
// follows only as a detail, and every address in these messages is the
// redacted one (data_source.h).

#include <string>
#include <string_view>

#include "store/backend.h"

namespace store {

// How the caller can act on a failure with this SQLSTATE (its five
// characters). `inDraw`: a duplicate key inside a draw can only come from
// another draw committed meanwhile, so drawing again helps.
ErrorKind ServerErrorKind(std::string_view sqlstate, bool inDraw);

// The message for a failed statement on the database `shownSource`:
// `sqlstate` is the server's code ("" for a failure of libpq's own), `kind`
// what ServerErrorKind made of it, `detail` the server's text.
std::string DescribeServerFailure(std::string_view sqlstate, ErrorKind kind, const std::string& detail,
                                  const std::string& shownSource);

// The message for a connection to `shownSource` that could not be made;
// `needsPassword` when the server asked for a password that was not given.
std::string DescribeConnectFailure(const std::string& detail, bool needsPassword, const std::string& shownSource);

// libpq's and the server's messages come in indented lines ending with a
// full stop; shown inside sentences of the program's own, they become one
// line without the stop.
std::string OneLine(const char* message);

}  // namespace store
