#pragma once
// sortia-db's commands on draws (draw, history, verify and export) and the
// copy of a whole database.

#include <functional>
#include <string>
#include <vector>

namespace dbrecord {

struct Call {
    std::string dbPath;
    int lockWaitMs = 0;  // how long to wait for another program's lock
    std::vector<std::string> args;  // after the command's name
    // Report a failure (exit status 1) or a usage error (exit status 2).
    std::function<int(const std::string&)> fail;
    std::function<int(const std::string&)> usageError;
};

int Draw(const Call& call);     // draw N [--level TEXT]
int History(const Call& call);  // history [DRAW_ID]
int Verify(const Call& call);   // verify [DRAW_ID]
int Export(const Call& call);   // export [DRAW_ID] FILE.csv|FILE.xlsx [--masked]
int Copy(const Call& call);     // copy FROM TO

// The whole of `text` as a decimal integer (no spaces, no sign but '-').
bool ParseInteger(const std::string& text, long long& value);

// A text on one output line: backslash, tab, line feed and carriage return
// written as \\, \t, \n and \r, so that a name cannot split a line or a column.
std::string EscapeField(const std::string& text);

}  // namespace dbrecord
