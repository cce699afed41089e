#pragma once
// Start-up: fonts, the database, then the window.

class QApplication;

namespace startup {

// Substitutes installed faces for the window's designed ones.
void InstallFontSubstitutes();

// Opens the database beside the program, then creates and shows the window,
// and runs until the program ends. Returns the exit status.
int Main(QApplication& app);

}  // namespace startup
