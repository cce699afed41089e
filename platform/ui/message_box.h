#pragma once
// Every message box of the program goes through this one interface, so that
// tests can answer them without a screen.

#include <QString>

class QWidget;

namespace ui {

enum class Buttons { Ok, YesNo, RetryCancel };
enum class Icon { None, Information, Question, Exclamation, Critical };
enum class Result { Ok, Yes, No, Retry, Cancel };

class MessageBoxService {
public:
    virtual ~MessageBoxService() = default;
    // Shows a modal box and returns the button chosen; closing a Yes/No box
    // counts as No, closing a Retry/Cancel box as Cancel. Timers keep ticking while it is open.
    virtual Result show(const QString& text, const QString& title, Buttons buttons, Icon icon,
                        Result defaultButton = Result::Ok) = 0;
};

// The service in use: real message boxes unless a test installed its own.
MessageBoxService& messageBox();
// Installs a replacement (nullptr restores the real boxes); not owned.
void setMessageBoxService(MessageBoxService* service);
// The window that owns the boxes, if any.
void setMessageBoxParent(QWidget* parent);

// The question asked before a picture file is overwritten: "Overwrite current
// file?" with Yes and No, No the default. True for Yes. Matches the image
// engine's c32bppDIB::OverwriteQuestion; the file name is not shown.
bool confirmOverwrite(const QString& fileName);

}  // namespace ui
