#pragma once
// The operator's keys, wherever the focus is in the main window: F11 toggles
// full screen and Esc leaves it; Space and a presenter remote's page keys
// (Page Down, Page Up) start and stop the draw as the draw button does, Space
// not while a text box is being typed into (changed since it took the
// focus); Enter in the count box does the same and ends the typing. A held
// key counts once: its repeats are swallowed. While a dialog or a popup is
// open the keys are theirs.

#include <functional>

#include <QObject>

#include "controls/lumenbutton/key_repeat.h"

class QKeyEvent;
class QWidget;

class WindowKeys : public QObject {
public:
    struct Actions {
        std::function<void()> drawOrStop;
        std::function<void()> toggleFullScreen;
        std::function<void()> leaveFullScreen;
        std::function<bool()> fullScreen;
    };

    // Watches the application's key events for the window's widgets; lives
    // as the window's child.
    WindowKeys(QWidget& window, QWidget* countBox, Actions actions);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Action { None, DrawOrStop, ToggleFullScreen, LeaveFullScreen };
    Action actionFor(const QKeyEvent& key, QWidget* receiver) const;

    QWidget& m_window;
    QWidget* m_countBox;
    Actions m_actions;
    KeyRepeat m_keyRepeat;
};
