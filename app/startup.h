#pragma once
// Start-up: fonts, translations, the database, then the window.

#include <optional>

#include <QString>
#include <QStringList>

class QApplication;

namespace startup {

// Substitutes installed faces for the window's designed ones.
void InstallFontSubstitutes();

// Under a Chinese system language, loads Qt's own translations so that the
// standard dialogs and buttons (Yes, No, OK, the file and print dialogs)
// speak Chinese. True when they were loaded.
bool InstallTranslations();

// Lets the painter keep the glyphs of the console's large display, so that
// a roll does not draw them from their outlines at every frame. Must run
// before anything is painted; a value set in the environment is kept.
void CacheLargeGlyphs();

// An installed program never creates its database: when it is missing, says
// where it was looked for and how to make it with sortia-db. True when it
// was missing (and reported).
bool ReportMissingDatabase(const QString& databasePath);

// The screen `--audience N` names (0-based) among the program's arguments,
// nullopt without it; an argument the program does not take, or a screen
// that is not a number, leaves `error` saying so.
std::optional<int> AudienceScreenArgument(const QStringList& arguments, QString& error);

// Opens the database, then creates and shows the window and the audience
// view, and runs until the program ends. Returns the exit status.
int Main(QApplication& app);

}  // namespace startup
