#pragma once
// Where the audience view shows and when it steps aside. With two screens
// it opens full screen on the one the console is not on; with one, F12
// puts it over the console and takes it away again. A screen plugged in
// while the program runs is offered at once; the answer is remembered by
// the screen's name, as are the event title and the masking switches.
// While an operator's dialog is up the view is told so (it then shows no
// rolling name), and a view that covers the console's screen makes way, so
// that no dialog is ever drawn on it or hidden behind it.

#include <functional>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

class AudienceView;
class QScreen;
class QSettings;
class QWidget;

namespace audiencescreens {

// The screen for the audience view among `names` (the console's is
// `console`): the remembered one when it is connected and not the
// console's, else the first other screen not declined; -1 when none.
int Choose(const QStringList& names, int console, const QString& remembered, const QStringList& declined);

}  // namespace audiencescreens

class AudienceScreens : public QObject {
    Q_OBJECT
public:
    AudienceScreens(QWidget& console, AudienceView& view);
    ~AudienceScreens() override;

    // At start: on screen `requested` (0-based) when given, else on the
    // screen chosen above; with one screen the view stays hidden. A screen
    // number that is not connected is reported, then the usual choice made.
    void showAtStart(std::optional<int> requested);
    // F12: shows the view (on another screen, or over the console) or hides it.
    void toggle();
    // Esc in the view: back to the console when the view covers it, never
    // while a draw rolls (`rolling`).
    void escape(bool rolling);
    // A screen just connected: asks whether the view goes there, unless
    // the answer for its name is remembered.
    void offerScreen(QScreen* screen);
    // The screen the view is shown on, nullptr while hidden.
    QScreen* shownOn() const;
    bool coversConsole() const;

    // Called with true when the first operator dialog opens, false when the last closes.
    void setPausedHandler(std::function<void(bool)> handler) { m_paused = std::move(handler); }

    // Remembered settings of the view.
    QString eventTitle() const;
    void setEventTitle(const QString& title);
    bool maskNames() const;
    bool maskNumbers() const;
    void setMasking(bool names, bool numbers);

    // Where the settings are kept (tests); the default is the user's
    // configuration folder.
    static void setSettingsFile(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showOn(QScreen* screen);
    void screenRemoved(QScreen* screen);
    QScreen* chosenScreen() const;
    void remember(QScreen* screen, bool wanted);
    void dialogOpened(QWidget* dialog);
    void dialogClosed(QWidget* dialog);
    std::unique_ptr<QSettings> settings() const;

    QWidget& m_console;
    AudienceView& m_view;
    QPointer<QScreen> m_screen;  // where the view was put
    QSet<QWidget*> m_dialogs;
    bool m_steppedAside = false;
    std::function<void(bool)> m_paused;
};
