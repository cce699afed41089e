#pragma once
// The program's one database connection, opened before any window exists.

#include <functional>
#include <memory>

#include <QString>

#include "store/connection.h"

namespace conn {

extern std::unique_ptr<store::DbConnection> DbConnection;

// The application's title, used by every message box that has no title of its own.
QString AppTitle();

// Builds the connection string and opens the database. On failure shows the
// reason (OK only, the application's title) and ends the program; returns
// false only when ending was intercepted (tests).
bool OpenDatabase(const QString& dbPath, const QString& extraText, const QString& userName);

// Reports an error the program cannot go on from, then ends the program.
void FatalError(const QString& description);

// Replaces how the program ends (tests); the default exits the process.
void setExitHandler(std::function<void(int)> handler);
void ExitProgram(int code);

}  // namespace conn
