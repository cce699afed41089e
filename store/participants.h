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
// The marking statement; the winner's number is bound to its one parameter
// instead of being pasted between the quotes, so a number holding a quote
// cannot change the statement.
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

// Marks the winners' numbers in one transaction: either every mark is
// recorded or none is. Returns false with connection.error() on failure.
// (A draw marks by row as well; see RunDraw.)
bool MarkWinners(DbConnection& connection, const std::vector<std::string>& numbers);

// Sets every "是" back to "否"; other values are left alone.
bool ResetWinners(DbConnection& connection);

struct Counts {
    long long all = 0;
    long long won = 0;
    long long notWon = 0;
    long long neverDrawn = 0;  // isluck neither 是 nor 否 (empty, Null, anything else): never loaded, never drawn
};
bool CountParticipants(DbConnection& connection, Counts& counts);

// Creates a new database file with an empty `sheet`; refuses an existing file.
bool CreateDatabase(const std::string& path, std::string& error);

}  // namespace store
