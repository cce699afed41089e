#pragma once
// The file dialogs of the program go through this one interface, so that
// tests can answer them without a screen.

#include <QString>

class QWidget;

namespace ui {

class FileDialogService {
public:
    virtual ~FileDialogService() = default;
    // Asks for a file to write; `filters` as Qt writes them ("Excel (*.xlsx);;CSV (*.csv)").
    // A name typed without a suffix gets the chosen filter's. "" when cancelled.
    virtual QString saveFile(QWidget* parent, const QString& title, const QString& suggestedPath,
                             const QString& filters) = 0;
    // Asks for an existing file to read; "" when cancelled.
    virtual QString openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filters) = 0;
};

// The service in use: Qt's own dialogs unless a test installed its own.
FileDialogService& fileDialogs();
// Installs a replacement (nullptr restores the real dialogs); not owned.
void setFileDialogService(FileDialogService* service);

}  // namespace ui
