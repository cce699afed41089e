#include "app/window_keys.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

// A text box being typed into; Space belongs to it. A line edit counts once
// the operator has changed it since it took the focus: the count box that
// holds the focus from the start lets Space start the draw until a count is
// typed.
bool takesText(const QWidget* widget)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        return !line->isReadOnly() && line->isModified();
    if (const auto* text = qobject_cast<const QTextEdit*>(widget))
        return !text->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        return !plain->isReadOnly();
    return qobject_cast<const QAbstractSpinBox*>(widget) != nullptr;
}

}  // namespace

WindowKeys::WindowKeys(QWidget& window, QWidget* countBox, Actions actions)
    : QObject(&window), m_window(window), m_countBox(countBox), m_actions(std::move(actions))
{
    qApp->installEventFilter(this);
}

WindowKeys::Action WindowKeys::audienceAction(const QKeyEvent& key) const
{
    switch (key.key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
        return Action::DrawOrStop;
    case Qt::Key_F12:
        return Action::ToggleAudience;
    case Qt::Key_F2:
        return Action::PublicInput;
    case Qt::Key_Escape:
        return Action::AudienceEscape;
    case Qt::Key_Right:
        return Action::NextPage;
    case Qt::Key_Left:
        return Action::PreviousPage;
    default:
        return Action::None;
    }
}

WindowKeys::Action WindowKeys::actionFor(const QKeyEvent& key, QWidget* receiver) const
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return Action::None;
    if (m_audience && receiver->window() == m_audience)
        return audienceAction(key);
    // Whatever is typed there belongs to the public input, even a leading
    // space; Enter and Esc end the typing. A presenter remote still stops.
    const bool typing = receiver == m_typingBox;
    if (typing && (key.key() == Qt::Key_Space || key.key() == Qt::Key_Escape || key.key() == Qt::Key_Return ||
                   key.key() == Qt::Key_Enter || key.key() == Qt::Key_Left || key.key() == Qt::Key_Right))
        return Action::None;
    switch (key.key()) {
    case Qt::Key_F2:
        return Action::PublicInput;
    case Qt::Key_F12:
        return Action::ToggleAudience;
    case Qt::Key_Right:
        return takesText(receiver) ? Action::None : Action::NextPage;
    case Qt::Key_Left:
        return takesText(receiver) ? Action::None : Action::PreviousPage;
    case Qt::Key_F11:
        return Action::ToggleFullScreen;
    case Qt::Key_Escape:
        return m_actions.fullScreen() ? Action::LeaveFullScreen : Action::None;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return receiver == m_countBox ? Action::DrawOrStop : Action::None;
    case Qt::Key_Space:
        return takesText(receiver) ? Action::None : Action::DrawOrStop;
    case Qt::Key_PageDown:
    case Qt::Key_PageUp:
        return Action::DrawOrStop;
    default:
        return Action::None;
    }
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        // Editing starts afresh whenever a line edit takes the focus.
        if (auto* line = qobject_cast<QLineEdit*>(watched); line && line->window() == &m_window)
            line->setModified(false);
        return false;
    }
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    // Key events reach the window system's window first, then the widget.
    auto* receiver = qobject_cast<QWidget*>(watched);
    if (!receiver || (receiver->window() != &m_window && (!m_audience || receiver->window() != m_audience)) ||
        QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return false;
    const auto& key = static_cast<const QKeyEvent&>(*event);
    const Action action = actionFor(key, receiver);
    if (action == Action::None)
        return false;
    // The release and the repeats of a key that acts are swallowed with it.
    if (event->type() == QEvent::KeyRelease) {
        m_keyRepeat.released(key);
        return true;
    }
    if (m_keyRepeat.isRepeat(key))
        return true;
    // Enter ends the typing of a count.
    if (auto* line = qobject_cast<QLineEdit*>(receiver); line && receiver == m_countBox)
        line->setModified(false);
    run(action);
    return true;
}

void WindowKeys::run(Action action)
{
    switch (action) {
    case Action::DrawOrStop: m_actions.drawOrStop(); break;
    case Action::ToggleFullScreen: m_actions.toggleFullScreen(); break;
    case Action::LeaveFullScreen: m_actions.leaveFullScreen(); break;
    case Action::ToggleAudience: m_actions.toggleAudience(); break;
    case Action::AudienceEscape: m_actions.audienceEscape(); break;
    case Action::NextPage: m_actions.turnPage(1); break;
    case Action::PreviousPage: m_actions.turnPage(-1); break;
    case Action::PublicInput: m_actions.publicInput(); break;
    case Action::None: break;
    }
}
