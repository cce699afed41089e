#pragma once
// The operator's keys, wherever the focus is in the main window: F11 toggles
// full screen and Esc leaves it; Space and a presenter remote's page keys
// (Page Down, Page Up) start and stop the draw as the draw button does, Space
// not while a text box is being typed into (changed since it took the
// focus); Enter in the count box does the same and ends the typing. F12
// shows or hides the audience view; Left and Right turn its pages (not
// while typing). In the audience view itself Space, the page keys and Enter
// act on the draw, and Esc asks it to step aside. F2, in either, opens the
// box for the public input on the console; Space, Enter and Esc in that box
// are its own. A held key counts once:
// its repeats are swallowed. While a dialog or a popup is open the keys are
// theirs.

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
        std::function<void()> toggleAudience;
        std::function<void()> audienceEscape;
        std::function<void(int)> turnPage;  // +1 next, -1 previous
        std::function<void()> publicInput;
    };

    // Watches the application's key events for the window's widgets; lives
    // as the window's child.
    WindowKeys(QWidget& window, QWidget* countBox, Actions actions);
    // The audience view, whose keys are watched too.
    void setAudienceWindow(QWidget* audience) { m_audience = audience; }
    // The console's box for the public input.
    void setTypingBox(QWidget* box) { m_typingBox = box; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Action { None, DrawOrStop, ToggleFullScreen, LeaveFullScreen, ToggleAudience, AudienceEscape,
                        NextPage, PreviousPage, PublicInput };
    Action actionFor(const QKeyEvent& key, QWidget* receiver) const;
    Action audienceAction(const QKeyEvent& key) const;
    void run(Action action);

    QWidget& m_window;
    QWidget* m_countBox;
    QWidget* m_audience = nullptr;
    QWidget* m_typingBox = nullptr;
    Actions m_actions;
    KeyRepeat m_keyRepeat;
};
