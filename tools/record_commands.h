#pragma once
// sortia-db's commands on the draw record (draw, void, reset, relabel,
// announce, plan, history, verify, anchor, export) and the copy of a whole
// database.

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "draw/draw_picks.h"
#include "store/connection.h"

namespace dbrecord {

struct Call {
    std::string dbPath;
    int lockWaitMs = 0;  // how long to wait for another program's lock
    std::vector<std::string> args;  // after the command's name
    // Report a failure (exit status 1) or a usage error (exit status 2).
    std::function<int(const std::string&)> fail;
    std::function<int(const std::string&)> usageError;
};

// The commands; their arguments are those of sortia-db's usage text.
int Draw(const Call& call);
int Void(const Call& call);
int Reset(const Call& call);
int Relabel(const Call& call);
int Announce(const Call& call);
int Plan(const Call& call);
int History(const Call& call);
int Verify(const Call& call);
int Anchor(const Call& call);
int Export(const Call& call);
int Evidence(const Call& call);
int Copy(const Call& call);

// The whole of `text` as a decimal integer (no spaces, no sign but '-').
bool ParseInteger(const std::string& text, long long& value);

// A text on one output line: backslash, tab, line feed and carriage return
// written as \\, \t, \n and \r, so that a name cannot split a line or a column.
std::string EscapeField(const std::string& text);

// A command's arguments: options "--name value" (an option given again adds
// a value) and the plain arguments in order.
struct Arguments {
    std::map<std::string, std::vector<std::string>> options;
    std::set<std::string> flags;
    std::vector<std::string> plain;
    // The option's last value, if given.
    std::optional<std::string> value(const std::string& name) const;
};
// False with `bad`, the argument not understood: an option not among
// `withValue` or `flags`, or one without its value.
bool SplitArguments(const std::vector<std::string>& args, const std::set<std::string>& withValue,
                    const std::set<std::string>& flags, Arguments& out, std::string& bad);

// Opens the call's database; reports a failure and returns false when it cannot.
bool OpenDatabase(const Call& call, store::DbConnection& connection, store::Access access);

// Takes an organiser seed S and shows its commitment (when `organiser` is
// given), then the public input of --public: the text given, or one line
// read from the standard input after the commitment when it is "-".
// Reports a failure and returns false when none could be read.
bool CommitThenPublicInput(const Call& call, const Arguments& args, std::optional<draw::Seed>* organiser,
                           std::string& publicInput);

// The record's entry and anchor after a write, on the standard error.
void PrintAnchor(store::DbConnection& connection);

}  // namespace dbrecord
