// The window's commands: the participant list, the draw, printing, reset,
// the background cycle, the link and the about box.

#include <QComboBox>
#include <QDesktopServices>
#include <QLineEdit>
#include <QScopeGuard>
#include <QUrl>

#include "app/conn.h"
#include "app/draw_view.h"
#include "app/form1.h"
#include "app/grid.h"
#include "app/lock_wait.h"
#include "app/participant_rows.h"
#include "app/printing.h"
#include "app/winner_count.h"
#include "draw/record_actions.h"
#include "platform/runtime/numeric.h"
#include "platform/ui/message_box.h"
#include "store/participants.h"

namespace {

const QString kNothingFound = QStringLiteral("没有找到相关信息！");
// The roll moves one row per this many milliseconds.
constexpr int kRollStepMs = 2;

// A database error ends the program, as it always has; a lost connection to
// a database server does not: the operator can try again once it is back.
void reportDatabaseError(const std::string& message)
{
    if (conn::DbConnection->errorKind() == store::ErrorKind::ConnectionLost) {
        ui::messageBox().show(drawview::Say("%1. Try again once the database server can be reached.",
                                            "%1。请在数据库服务器恢复后重试。")
                                  .arg(QString::fromStdString(message)),
                              conn::AppTitle(), ui::Buttons::Ok, ui::Icon::Exclamation);
        return;
    }
    conn::FatalError(QString::fromStdString(message));
}

void refuseCount(long long available)
{
    ui::messageBox().show(drawview::Say("The number of winners must be from 1 to %1 (%1 participants have not won yet).",
                                        "人数必须在 1 到 %1 之间（目前还有 %1 人未中奖）")
                              .arg(available),
                          conn::AppTitle(), ui::Buttons::Ok, ui::Icon::None);
}

}  // namespace

void form1::LoadParticipants()
{
    Grid1->setAutoRedraw(false);
    // Read from the table only when the database says that something has
    // changed since the list was held; otherwise it is what a read would give.
    // A program holding the whole file (an exclusive lock) keeps even reading out.
    bool held = false;
    lockwait::RunWaiting(*conn::DbConnection, this, [&] {
        held = draw::RefreshNotWon(*conn::DbConnection, m_list);
        return !held && conn::DbConnection->errorKind() == store::ErrorKind::Busy;
    });
    if (!held) {
        Grid1->setRows(1);
        Grid1->setAutoRedraw(true);
        reportDatabaseError(conn::DbConnection->error());
        return;
    }
    if (m_list.empty()) {
        Grid1->setRows(1);
        Grid1->setAutoRedraw(true);
        m_audience.remaining = 0;
        pushAudience();
        ui::messageBox().show(kNothingFound, QStringLiteral("提示信息"), ui::Buttons::Ok, ui::Icon::Information);
        return;
    }
    showList();
    const std::size_t count = m_list.size();
    m_random.Reseed();
    m_rollIndex = m_random.Uniform(1, count);
    Label4->setText(QStringLiteral("共有 ") + QString::number(count) + QStringLiteral(" 人"));
    Label4->adjustSize();
    m_audience.remaining = (long long)count;
    pushAudience();
    Grid1->setAutoRedraw(true);
    Grid1->Refresh();
}

void form1::showList()
{
    // Telling the grid costs it time per row: only when the rows changed.
    if (m_shownVersion == m_list.version() && std::size_t(Grid1->Rows()) == m_list.size() + 1)
        return;
    Grid1->showRows(m_listRows.get());
    m_shownVersion = m_list.version();
}

void form1::DrawOrStop()
{
    if (Combo1->currentText().isEmpty()) {
        ui::messageBox().show(QStringLiteral("请先选择等级"), conn::AppTitle(), ui::Buttons::Ok, ui::Icon::None);
        return;
    }
    const std::optional<double> value = winnercount::ParseNumber(txtci->text());
    if (!value) {
        ui::messageBox().show(QStringLiteral("人数必须是一个数字"), conn::AppTitle(), ui::Buttons::Ok, ui::Icon::None);
        txtci->setText(QStringLiteral("1"));
        return;
    }
    // A public input that cannot be recorded keeps the names rolling.
    std::string publicInput;
    if (Timer1->isActive() && !takePublicInput(publicInput))
        return;
    // From the press that stops on, no rolling name may stand still on the
    // audience view as if it had won; whatever the press ends in, the view
    // then shows what the window does.
    const auto settle = qScopeGuard([this] { settleAudience(); });
    if (Timer1->isActive())
        audienceStopping();
    LoadParticipants();
    const long long available = Grid1->Rows() - 1;
    const long long n = runtime::roundHalfEven(*value);
    if (available == 0) {
        // The load has said that nobody is left; a running draw ends without winners.
        if (Timer1->isActive()) {
            Timer1->stop();
            LumenButton1->setCaption(QStringLiteral("   开奖!"));
        }
        return;
    }
    if (n < 1 || n > available) {
        refuseCount(available);
        return;
    }
    if (!Timer1->isActive()) {
        startRolling();
        beginRollRecord();
        audienceRolling();
        LumenButton1->setCaption(QStringLiteral("   停止"));
        // The draw records the list's digest: worked out now, while the
        // display rolls, rather than at the stop.
        if (m_list.drawable())
            m_list.digest();
        return;
    }
    stopDraw(n, publicInput);
}

void form1::stopDraw(long long n, const std::string& publicInput)
{
    Timer1->stop();
    LumenButton1->setCaption(QStringLiteral("   开奖!"));
    // The list just loaded is the one drawn from; the store checks inside its
    // transaction that nobody in it has won meanwhile, and draws afresh if so.
    // A list whose ids cannot name their rows is refused there.
    draw::DrawRequest request;
    request.level = Combo1->currentText().toStdString();
    request.count = n;
    fillDrawRequest(request, publicInput);
    // Another program's lock is waited out with the window alive; giving up
    // leaves the last (busy) result, reported like any database error.
    draw::DrawResult result;
    lockwait::RunWaiting(*conn::DbConnection, this, [&] {
        result = draw::DrawFromList(*conn::DbConnection, m_list, request);
        return draw::KeptOutByLock(result);
    });
    // The winners may have left the list already: Grid1 must not show it as it was.
    showList();
    // Whatever came of it, the next round is filled in once the outcome is
    // shown (a round drawn meanwhile on another PC gives way to the next).
    const auto next = qScopeGuard([this] { fillNextRound(); });
    switch (result.status) {
    case draw::DrawStatus::Done:
        break;
    case draw::DrawStatus::DatabaseError:
        reportDatabaseError(result.error);
        return;
    case draw::DrawStatus::NobodyLeft:
        ui::messageBox().show(kNothingFound, QStringLiteral("提示信息"), ui::Buttons::Ok, ui::Icon::Information);
        return;
    case draw::DrawStatus::CountOutOfRange:
        refuseCount(result.available);
        return;
    default:
        refuse(drawview::Text(draw::DescribeRefusal(result)));
        return;
    }

    m_shownDraw = result.record;
    showWinners();
    audienceResult(false);
    QString shown = Grid2->TextMatrix(1, 1);
    if (n >= 2)
        shown += QStringLiteral(" 等") + QString::number(n) + QStringLiteral("人");
    showInDisplay(shown);

    LoadParticipants();
    showWinnerCount();
    Label5->repaint();
    LoadParticipants();
}

void form1::showInDisplay(const QString& text)
{
    Text1->setText(text);
    // A text box shows the start of a long value, not its end.
    Text1->setCursorPosition(0);
    Text1->repaint();
}

void form1::showWinners()
{
    drawview::FillWinnersGrid(*Grid2, *m_shownDraw);
    Grid2->scrollToTop();
}

// Under the winners table: how many the shown draw has.
void form1::showWinnerCount()
{
    Label5->setText(QStringLiteral("本次中奖 ") + QString::number(drawview::WinnerRows(*m_shownDraw)) +
                    QStringLiteral(" 人"));
    Label5->adjustSize();
}

void form1::refuse(const QString& why)
{
    ui::messageBox().show(why, conn::AppTitle(), ui::Buttons::Ok, ui::Icon::Exclamation);
}

void form1::advanceRoll(std::size_t steps)
{
    const std::size_t rows = std::size_t(Grid1->Rows());
    if (rows < 2)
        return;
    if (m_rollIndex >= rows || m_rollIndex < 1)
        m_rollIndex = 1;
    // The row `steps - 1` past RollIndex, wrapping from the last to the first.
    const std::size_t count = rows - 1;
    m_rollRow = (m_rollIndex - 1 + (steps - 1) % count) % count + 1;
    m_rollIndex = m_rollRow + 1;
}

void form1::RollStep()
{
    advanceRoll(1);
    ShowRollingFrame();
}

void form1::startRolling()
{
    m_rollClock.start();
    m_rollSteps = 0;
    Timer1->start(frameInterval());
}

void form1::rollTick()
{
    const std::int64_t due = m_rollClock.elapsed() / kRollStepMs;
    const std::int64_t steps = std::max<std::int64_t>(1, due - m_rollSteps);
    m_rollSteps = std::max(due, m_rollSteps + 1);
    advanceRoll(std::size_t(steps));
    ShowRollingFrame();
}

void form1::PrintCommand()
{
    if (Grid2->Rows() == 1) {
        ui::messageBox().show(QStringLiteral("无打印数据"), QStringLiteral("出错"), ui::Buttons::Ok, ui::Icon::None);
        return;
    }
    // The title follows the selector, as it always has; the record line names
    // the draw shown. A draw shown since the start has no level chosen yet:
    // its own then, as corrected if it was.
    QString level = Combo1->currentText();
    if (level.isEmpty() && m_shownDraw)
        level = drawview::Text(draw::ShownLevel(*m_shownDraw).level);
    printing::PrintWinners(*Grid2, level, this, m_shownDraw ? drawview::RecordLine(*m_shownDraw) : QString());
}

void form1::ResetCommand()
{
    const ui::Result answer = ui::messageBox().show(
        QStringLiteral("如果使用数据复位，将会把所有客户标记为未中奖状态，客户可继续参与开奖!，慎用！"),
        QStringLiteral("确定复位"), ui::Buttons::YesNo, ui::Icon::Question, ui::Result::No);
    if (answer != ui::Result::Yes)
        return;
    bool reset = false;
    lockwait::RunWaiting(*conn::DbConnection, this, [&] {
        reset = draw::RecordedReset(*conn::DbConnection);
        return !reset && conn::DbConnection->errorKind() == store::ErrorKind::Busy;
    });
    if (!reset) {
        reportDatabaseError(conn::DbConnection->error());
        return;
    }
    refreshRemaining();
}

void form1::NextBackground()
{
    m_backgroundIndex = m_backgroundIndex % 4 + 1;
    if (!loadBackground())
        return;
    Image1->repaint();
    Label7->setVisible(m_backgroundIndex == 4);
    // The area only acts on the fourth picture; only there does it look like a link.
    Label7->setCursor(m_backgroundIndex == 4 ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void form1::OpenLink()
{
    if (m_backgroundIndex != 4)
        return;
    // The result is ignored: without a browser nothing happens.
    QDesktopServices::openUrl(QUrl::fromLocalFile(helpPagePath()));
}

void form1::ShowAbout()
{
    ui::messageBox().show(QStringLiteral("Sortia，适用于各电视台、超市、公司等举办大型开奖活动！\r\n\r\n"
                                         "定制界面可以适用于不同单位或公司"),
                          conn::AppTitle(), ui::Buttons::Ok, ui::Icon::None);
}
