// The window and its audience view: the state the view is given at each
// step of a draw, the frames of the roll, the replacement's short roll, the
// console's level and anchor lines, and the view's commands in the winners
// table's menu.

#include <algorithm>
#include <cmath>

#include <QAction>
#include <QComboBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>

#include "app/audience_screens.h"
#include "app/audience_view.h"
#include "app/conn.h"
#include "app/draw_view.h"
#include "app/form1.h"
#include "app/grid.h"
#include "store/participants.h"

using drawview::Say;
using drawview::Text;

namespace {

// How long the room sees names roll before a replacement is shown.
constexpr int kReplacementRollMs = 1500;
// The roll shows at most this many names a second.
constexpr double kMostNamesPerSecond = 20;
// How often the console's display follows the roll while the room has its own view.
constexpr int kConsoleEchoMs = 66;

// The highest level, the selector's first, has its own look in the room.
bool grandLevel(const QComboBox& levels, const QString& level)
{
    return !level.isEmpty() && level == levels.itemText(0);
}

AudiencePerson person(const draw::RecordedWinner& winner, bool replacement)
{
    return {Text(winner.name), Text(winner.number), replacement};
}

}  // namespace

void form1::createAudience()
{
    m_audienceView = std::make_unique<AudienceView>();
    m_audienceScreens = new AudienceScreens(*this, *m_audienceView);
    m_audienceScreens->setPausedHandler([this](bool paused) { setAudiencePaused(paused); });
    m_audience.eventTitle = m_audienceScreens->eventTitle();
    m_audienceView->setMaskNames(m_audienceScreens->maskNames());
    m_audienceView->setMaskNumbers(m_audienceScreens->maskNumbers());

    m_replacementRoll = new QTimer(this);
    m_replacementRoll->setSingleShot(true);
    m_replacementRoll->setInterval(kReplacementRollMs);
    m_replacementFrames = new QTimer(this);
    connect(m_replacementFrames, &QTimer::timeout, this, &form1::ShowRollingFrame);
    connect(m_replacementRoll, &QTimer::timeout, this, [this] {
        m_replacementFrames->stop();
        audienceResult(true);
    });

    // The level the room sees follows the selector until the draw is shown.
    connect(Combo1, &QComboBox::currentTextChanged, this, [this](const QString& level) {
        if (m_audience.phase != AudienceState::Phase::Result) {
            m_audience.level = level;
            m_audience.grand = grandLevel(*Combo1, level);
        }
        showPlannedLevel();
    });
    connect(txtci, &QLineEdit::textChanged, this, [this] { showPlannedLevel(); });
    addAudienceCommands();
    pushAudience();
}

void form1::addAudienceCommands()
{
    QAction* participants = nullptr;
    for (QAction* action : m_winnersMenu->actions())
        if (action->objectName() == QLatin1String("participantsSection"))
            participants = action;
    auto add = [&](const QString& text, const char* name) {
        auto* action = new QAction(text, m_winnersMenu);
        action->setObjectName(QLatin1String(name));
        m_winnersMenu->insertAction(participants, action);
        return action;
    };
    QAction* show = add(Say("Audience view (F12)", "观众屏幕（F12）"), "audienceAction");
    connect(show, &QAction::triggered, this, [this] { m_audienceScreens->toggle(); });
    QAction* title = add(Say("Event title…", "活动标题…"), "eventTitleAction");
    connect(title, &QAction::triggered, this, &form1::AskEventTitle);
    QAction* names = add(Say("Mask names on the audience view", "观众屏幕隐去部分姓名"), "maskNamesAction");
    QAction* numbers = add(Say("Mask numbers on the audience view", "观众屏幕隐去部分号码"), "maskNumbersAction");
    names->setCheckable(true);
    numbers->setCheckable(true);
    names->setChecked(m_audienceView->masksNames());
    numbers->setChecked(m_audienceView->masksNumbers());
    connect(names, &QAction::toggled, this, [this](bool on) { setAudienceMasking(on, m_audienceView->masksNumbers()); });
    connect(numbers, &QAction::toggled, this, [this](bool on) { setAudienceMasking(m_audienceView->masksNames(), on); });
    m_winnersMenu->insertSeparator(participants);
}

void form1::setEventTitle(const QString& title)
{
    m_audience.eventTitle = title.trimmed();
    m_audienceScreens->setEventTitle(m_audience.eventTitle);
    pushAudience();
}

void form1::AskEventTitle()
{
    bool ok = false;
    const QString title = QInputDialog::getText(this, Say("Event title", "活动标题"),
                                                Say("Title shown on the audience view:", "观众屏幕上显示的标题："),
                                                QLineEdit::Normal, m_audience.eventTitle, &ok);
    if (ok)
        setEventTitle(title);
}

void form1::setAudienceMasking(bool names, bool numbers)
{
    m_audienceView->setMaskNames(names);
    m_audienceView->setMaskNumbers(numbers);
    m_audienceScreens->setMasking(names, numbers);
    for (QAction* action : m_winnersMenu->actions()) {
        const QSignalBlocker quiet(action);
        if (action->objectName() == QLatin1String("maskNamesAction"))
            action->setChecked(names);
        if (action->objectName() == QLatin1String("maskNumbersAction"))
            action->setChecked(numbers);
    }
}

void form1::pushAudience()
{
    m_audienceView->setState(m_audience);
    showConsoleLines();
}

void form1::showConsoleLines()
{
    QString level = Combo1->currentText();
    // The round and its prize, while the roll or the selection is the plan's.
    if (Rolling() ? m_rollRound.has_value() : roundInHand())
        level = roundText(Rolling() ? *m_rollRound : *m_nextRound);
    const QString line = level.isEmpty() ? Say("Choose a level", "请选择等级")
                         : Rolling()     ? Say("Drawing: %1", "正在抽取：%1").arg(level)
                                         : Say("Next: %1 × %2", "即将抽取：%1 × %2 人").arg(level, txtci->text().trimmed());
    // A round with a long prize and group rule is cut with an ellipsis, not
    // in the middle of a word; the whole line is in its tool tip.
    LevelLabel->setText(LevelLabel->fontMetrics().elidedText(line, Qt::ElideRight, LevelLabel->width()));
    LevelLabel->setToolTip(line);
    const std::optional<AudienceAnchor>& anchor = m_audience.anchor;
    if (Rolling())
        AnchorLabel->setText(drawview::RollLine(m_audience.commitment, m_audience.announcement, m_audience.publicInput));
    else
        AnchorLabel->setText(anchor ? drawview::AnchorLine(anchor->drawId, anchor->digest.toStdString(),
                                                           anchor->afterVoid)
                                    : QString());
}

QString form1::rollingName() const
{
    return Grid1->TextMatrix(int(m_rollRow), 2);
}

void form1::ShowRollingFrame()
{
    const std::size_t rows = std::size_t(Grid1->Rows());
    const bool replacing = m_audience.phase == AudienceState::Phase::Replacing;
    if (replacing && rows >= 2)
        m_rollRow = m_rollRow % (rows - 1) + 1;  // the short roll moves by frames
    if (m_rollRow < 1 || m_rollRow >= rows || m_rollRow == m_shownRow)
        return;
    m_shownRow = m_rollRow;
    const QString name = rollingName();
    // The replacement is on the console already; only the room rolls. While
    // the room has its own view, the operator's echo of the roll need not
    // follow every frame: a repaint of the console costs as much as one of
    // the audience view.
    const bool echo = !m_audienceView->isVisible() || !m_consoleEcho.isValid() ||
                      m_consoleEcho.hasExpired(kConsoleEchoMs);
    if (!replacing && echo) {
        m_consoleEcho.start();
        Text1->setText(name);
        Text1->setCursorPosition(0);
    }
    if (m_audience.phase == AudienceState::Phase::Rolling || replacing) {
        m_audience.rolling = {{name, Grid1->TextMatrix(int(m_rollRow), 3), false}};
        m_audienceView->setState(m_audience);
    }
}

int form1::frameInterval() const
{
    // A frame on a refresh of the fastest screen that shows the roll, never
    // faster than it can show (a screen that reports no rate is taken as
    // 60 Hz), and no more than kMostNamesPerSecond: more is a blur to the
    // room, and each frame costs the machine the same.
    double fastest = 0;
    for (const QScreen* screen : {this->screen(), m_audienceScreens->shownOn()})
        if (screen)
            fastest = std::max(fastest, screen->refreshRate());
    if (!(fastest >= 24 && fastest <= 360))
        fastest = 60;
    const int refreshes = int(std::ceil(fastest / kMostNamesPerSecond - 0.01));
    return int(std::ceil(1000.0 / fastest)) * std::max(1, refreshes);
}

void form1::audienceRolling()
{
    m_replacementRoll->stop();
    m_replacementFrames->stop();
    m_audience.phase = AudienceState::Phase::Rolling;
    m_audience.level = Combo1->currentText();
    m_audience.grand = grandLevel(*Combo1, m_audience.level);
    m_audience.winners.clear();
    m_audience.anchor.reset();
    m_audience.rolling.clear();
    m_shownRow = 0;
    showPlannedLevel();
}

void form1::audienceStopping()
{
    m_audience.phase = AudienceState::Phase::Drawing;
    m_audience.rolling.clear();
    pushAudience();
}

void form1::settleAudience()
{
    using Phase = AudienceState::Phase;
    if (Timer1->isActive())
        m_audience.phase = Phase::Rolling;
    else if (m_audience.phase == Phase::Drawing || m_audience.phase == Phase::Rolling)
        m_audience.phase = Phase::Idle;
    if (!Timer1->isActive())
        endRollRecord();
    if (m_audience.phase != Phase::Rolling)
        m_audience.rolling.clear();
    pushAudience();
}

void form1::audienceResult(bool afterVoid)
{
    if (!m_shownDraw)
        return;
    const draw::DrawRecord& record = *m_shownDraw;
    m_audience.phase = AudienceState::Phase::Result;
    m_audience.rolling.clear();
    showRecordedLevel(record);
    m_audience.grand = grandLevel(*Combo1, m_audience.level);
    m_audience.winners.clear();
    for (const draw::RecordedWinner& winner : draw::CurrentWinners(record)) {
        const bool replaced = std::any_of(record.voids.begin(), record.voids.end(), [&](const draw::DrawVoid& v) {
            return v.position == winner.position;
        });
        m_audience.winners.push_back(person(winner, replaced));
    }
    m_audience.anchor = AudienceAnchor{record.id, Text(draw::LatestDigest(record)),
                                       afterVoid || !record.voids.empty()};
    pushAudience();
}

void form1::startReplacementRoll()
{
    m_audience.anchor = AudienceAnchor{m_shownDraw->id, Text(draw::LatestDigest(*m_shownDraw)), true};
    showConsoleLines();
    if (Grid1->Rows() < 2) {
        audienceResult(true);
        return;
    }
    m_audience.phase = AudienceState::Phase::Replacing;
    m_audience.rolling.clear();
    m_rollRow = m_random.Uniform(1, std::size_t(Grid1->Rows() - 1));
    m_shownRow = 0;
    pushAudience();
    m_replacementFrames->start(frameInterval());
    m_replacementRoll->start();
}

void form1::refreshRemaining()
{
    long long notWon = 0;
    if (!store::CountNotWon(*conn::DbConnection, notWon))
        return;  // the count stays as it was; the next load shows it
    m_audience.remaining = notWon;
    pushAudience();
}

void form1::setAudiencePaused(bool paused)
{
    m_audience.paused = paused;
    pushAudience();
}

void form1::restoreLastDraw()
{
    // After a crash, a power cut or a click on 退出 the last draw is shown
    // again, so that an absent winner can still be voided.
    long long last = 0;
    draw::DrawRecord record;
    if (!draw::LastDrawId(*conn::DbConnection, last) || last == 0 ||
        !draw::ReadDraw(*conn::DbConnection, last, record))
        return;
    m_shownDraw = record;
    showWinners();
    showWinnerCount();
    audienceResult(!record.voids.empty());
}
