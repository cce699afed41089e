#include "app/audience_screens.h"

#include <memory>

#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QWidget>

#include "app/audience_view.h"
#include "app/conn.h"
#include "app/draw_view.h"
#include "platform/ui/message_box.h"

using drawview::Say;

namespace {

QString g_settingsFile;

const QString kWanted = QStringLiteral("audience/screens");
const QString kDeclined = QStringLiteral("audience/declinedScreens");
const QString kTitle = QStringLiteral("audience/eventTitle");
const QString kMaskNames = QStringLiteral("audience/maskNames");
const QString kMaskNumbers = QStringLiteral("audience/maskNumbers");

QStringList screenNames()
{
    QStringList names;
    for (QScreen* screen : QGuiApplication::screens())
        names << screen->name();
    return names;
}

// An operator's dialog: any dialog or modal window but the view itself.
bool isOperatorDialog(const QWidget* widget, const QWidget* view)
{
    if (!widget->isWindow() || widget == view || widget->windowType() == Qt::Popup ||
        widget->windowType() == Qt::ToolTip)
        return false;
    return qobject_cast<const QDialog*>(widget) || widget->windowModality() != Qt::NonModal;
}

}  // namespace

namespace audiencescreens {

int Choose(const QStringList& names, int console, const QString& remembered, const QStringList& declined)
{
    const int wanted = names.indexOf(remembered);
    if (!remembered.isEmpty() && wanted >= 0 && wanted != console)
        return wanted;
    for (int i = 0; i < names.size(); ++i)
        if (i != console && !declined.contains(names[i]))
            return i;
    return -1;
}

}  // namespace audiencescreens

AudienceScreens::AudienceScreens(QWidget& console, AudienceView& view)
    : QObject(&console), m_console(console), m_view(view)
{
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::screenAdded, this, &AudienceScreens::offerScreen);
    connect(qApp, &QGuiApplication::screenRemoved, this, &AudienceScreens::screenRemoved);
}

AudienceScreens::~AudienceScreens() = default;

void AudienceScreens::setSettingsFile(const QString& path)
{
    g_settingsFile = path;
}

std::unique_ptr<QSettings> AudienceScreens::settings() const
{
    const QString path = !g_settingsFile.isEmpty()
                             ? g_settingsFile
                             : QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
                                   QStringLiteral("/audience.ini");
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

QString AudienceScreens::eventTitle() const
{
    return settings()->value(kTitle).toString();
}

void AudienceScreens::setEventTitle(const QString& title)
{
    settings()->setValue(kTitle, title);
}

bool AudienceScreens::maskNames() const
{
    return settings()->value(kMaskNames, true).toBool();
}

bool AudienceScreens::maskNumbers() const
{
    return settings()->value(kMaskNumbers, true).toBool();
}

void AudienceScreens::setMasking(bool names, bool numbers)
{
    auto s = settings();
    s->setValue(kMaskNames, names);
    s->setValue(kMaskNumbers, numbers);
}

QScreen* AudienceScreens::shownOn() const
{
    return m_view.isVisible() || m_steppedAside ? m_screen.data() : nullptr;
}

bool AudienceScreens::coversConsole() const
{
    return shownOn() && shownOn() == m_console.screen();
}

QScreen* AudienceScreens::chosenScreen() const
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    auto s = settings();
    const QStringList wanted = s->value(kWanted).toStringList();
    const int index = audiencescreens::Choose(screenNames(), int(screens.indexOf(m_console.screen())),
                                              wanted.value(0), s->value(kDeclined).toStringList());
    return index >= 0 ? screens[index] : nullptr;
}

void AudienceScreens::remember(QScreen* screen, bool wanted)
{
    auto s = settings();
    QStringList yes = s->value(kWanted).toStringList();
    QStringList no = s->value(kDeclined).toStringList();
    yes.removeAll(screen->name());
    no.removeAll(screen->name());
    // The latest wanted screen first: it is the one chosen next time.
    if (wanted)
        yes.prepend(screen->name());
    else
        no.append(screen->name());
    s->setValue(kWanted, yes);
    s->setValue(kDeclined, no);
}

void AudienceScreens::showAtStart(std::optional<int> requested)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (requested) {
        if (*requested >= 0 && *requested < screens.size()) {
            showOn(screens[*requested]);
            return;
        }
        ui::messageBox().show(Say("There is no screen %1: the screens connected are numbered 0 to %2.",
                                  "没有编号为 %1 的屏幕：已连接的屏幕编号为 0 到 %2。")
                                  .arg(*requested)
                                  .arg(screens.size() - 1),
                              conn::AppTitle(), ui::Buttons::Ok, ui::Icon::Exclamation);
    }
    if (QScreen* screen = chosenScreen())
        showOn(screen);
}

void AudienceScreens::toggle()
{
    if (m_view.isVisible() || m_steppedAside) {
        m_steppedAside = false;
        m_view.hide();
        return;
    }
    QScreen* screen = chosenScreen();
    showOn(screen ? screen : m_console.screen());
}

void AudienceScreens::escape(bool rolling)
{
    if (!rolling && coversConsole() && m_view.isVisible())
        m_view.hide();
}

void AudienceScreens::showOn(QScreen* screen)
{
    m_screen = screen;
    if (screen != m_console.screen())
        remember(screen, true);
    m_view.setScreen(screen);
    m_view.setGeometry(screen->geometry());
    if (!m_dialogs.isEmpty() && screen == m_console.screen()) {
        // Shown once the operator's dialog is gone.
        m_steppedAside = true;
        return;
    }
    m_view.showFullScreen();
    // Without a window manager nobody acts on the request: the view takes
    // the screen itself.
    m_view.setGeometry(screen->geometry());
    // A window manager may give a full-screen window the keyboard anyway;
    // beside the console, the operator's typing stays with the console.
    if (screen != m_console.screen() && m_console.isVisible())
        m_console.activateWindow();
}

void AudienceScreens::offerScreen(QScreen* screen)
{
    if (!screen || shownOn() == screen)
        return;
    auto s = settings();
    if (s->value(kDeclined).toStringList().contains(screen->name()))
        return;
    if (!s->value(kWanted).toStringList().contains(screen->name())) {
        const QSize size = screen->geometry().size();
        const ui::Result answer = ui::messageBox().show(
            Say("A screen was connected: %1 (%2 x %3). Show the audience view on it?",
                "检测到新接入的屏幕：%1（%2×%3）。要在这块屏幕上显示观众屏幕吗？")
                .arg(screen->name())
                .arg(size.width())
                .arg(size.height()),
            conn::AppTitle(), ui::Buttons::YesNo, ui::Icon::Question, ui::Result::Yes);
        if (answer != ui::Result::Yes) {
            remember(screen, false);
            return;
        }
    }
    if (screen != m_console.screen())
        showOn(screen);
}

void AudienceScreens::screenRemoved(QScreen* screen)
{
    // The projector went: the view must not land on the operator's screen.
    if (screen == m_screen) {
        m_steppedAside = false;
        m_view.hide();
    }
}

bool AudienceScreens::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::Show && event->type() != QEvent::Hide)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !isOperatorDialog(widget, &m_view))
        return false;
    if (event->type() == QEvent::Show)
        dialogOpened(widget);
    else
        dialogClosed(widget);
    return false;
}

void AudienceScreens::dialogOpened(QWidget* dialog)
{
    if (m_dialogs.contains(dialog))
        return;
    m_dialogs.insert(dialog);
    if (m_dialogs.size() != 1)
        return;
    if (m_paused)
        m_paused(true);
    // Over the console the view would hide the dialog, or carry it to the room.
    if (m_view.isVisible() && coversConsole()) {
        m_steppedAside = true;
        m_view.hide();
    }
}

void AudienceScreens::dialogClosed(QWidget* dialog)
{
    if (!m_dialogs.remove(dialog) || !m_dialogs.isEmpty())
        return;
    if (m_paused)
        m_paused(false);
    if (m_steppedAside && m_screen) {
        m_steppedAside = false;
        showOn(m_screen);
    }
}
