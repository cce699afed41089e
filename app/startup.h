#pragma once
// Start-up: fonts, translations, the database, then the window.

#include <QString>

class QApplication;

namespace startup {

// Substitutes installed faces for the window's designed ones.
void InstallFontSubstitutes();

// Under a Chinese system language, loads Qt's own translations so that the
// standard dialogs and buttons (Yes, No, OK, the file and print dialogs)
// speak Chinese. True when they were loaded.
bool InstallTranslations();

// An installed program never creates its database: when it is missing, says
// where it was looked for and how to make it with sortia-db. True when it
// was missing (and reported).
bool ReportMissingDatabase(const QString& databasePath);

// Opens the database, then creates and shows the window, and runs until the
// program ends. Returns the exit status.
int Main(QApplication& app);

}  // namespace startup
