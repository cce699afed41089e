#pragma once
// Where the program finds its files. Run from its own folder (the build's
// dist/ folder, or any copy of it) the pictures, the help page and the
// database lie beside the program, as they always did. Installed into a
// prefix (bin/ beside share/sortia/) the program folder is read-only: the
// pictures and the help page come from share/sortia and the database lives
// in the user's data folder ($XDG_DATA_HOME/sortia, by default
// ~/.local/share/sortia).
//
// Plain C++: the window and the command-line tools agree on the same paths.

#include <string>

namespace folders {

// The folder holding the running program, without a trailing separator.
std::string programFolder();

// True when the program runs from an installed prefix rather than from a
// folder that holds its own images/.
bool installed();

// The folder holding images/ and help/.
std::string resourceFolder();

// The user's data folder of the program (not created here).
std::string userDataFolder();

// The participant database the program and the tools use by default.
std::string databasePath();

// For tests: decide as if the program were in this folder ("" restores the
// real one).
void setProgramFolderForTest(const std::string& folder);

}  // namespace folders
