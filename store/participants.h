#pragma once
// The statements the program runs against table `sheet`, and the list of
// participants who have not won yet.

#include <cstddef>
#include <string>
#include <vector>

#include "store/connection.h"

namespace store {

// The statement texts, spaces and quotes included.
extern const char* const kSelectNotWon;
// The marking statement (a draw's mark by number); the winner's number is
// bound to its one parameter instead of being pasted between the quotes, so
// a number holding a quote cannot change the statement.
extern const char* const kMarkWinner;
extern const char* const kResetWinners;

// The flag values of column isluck.
extern const char* const kWon;     // "是"
extern const char* const kNotWon;  // "否"

struct Participant {
    std::string id;
    std::string name;    // user_name: the value shown
    std::string number;  // user_number: the key that marks a winner
};

// The not-yet-won participants, highest id first. Returns false with
// connection.error() when the statement fails; an empty list is not an error.
bool LoadNotWon(DbConnection& connection, std::vector<Participant>& list);
// The statement that reads them on this connection: its first three columns
// are id, user_name and user_number.
const char* SelectNotWon(const DbConnection& connection);

// Sets every "是" back to "否"; other values are left alone.
bool ResetWinners(DbConnection& connection);

struct Counts {
    long long all = 0;
    long long won = 0;
    long long notWon = 0;
    long long neverDrawn = 0;  // isluck neither 是 nor 否 (empty, Null, anything else): never loaded, never drawn
};
// False with connection.error() when the counts cannot be read.
bool CountParticipants(DbConnection& connection, Counts& counts);
// Only those not won yet: a third of the work of all the counts on a file.
bool CountNotWon(DbConnection& connection, long long& notWon);

// Creates a new database file with an empty `sheet`; refuses an existing file.
// For a server (postgresql://...) the database must exist and have no `sheet`.
bool CreateDatabase(const std::string& path, std::string& error);
// Takes back what CreateDatabase made in this run, and only then: removes
// the new file, or drops the new `sheet` on the server.
bool UndoCreateDatabase(const std::string& path, std::string& error);

}  // namespace store
