// The window and the event's plan: the next round filled into the level and
// count, the plan dialog, and what each roll is drawn with: the organiser
// seed taken when the roll starts (its commitment shown while names roll),
// the public input typed meanwhile in a box on the console, and the round or
// announcement the roll draws.

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "app/audience_view.h"
#include "app/conn.h"
#include "app/draw_view.h"
#include "app/form1.h"
#include "app/lock_wait.h"
#include "app/plan_dialog.h"
#include "platform/ui/message_box.h"

using drawview::Say;
using drawview::Text;

namespace {

// A line edit that reports Esc, which a dialog would take as its own.
class TypingEdit : public QLineEdit {
public:
    TypingEdit(std::function<void(bool)> done, QWidget* parent) : QLineEdit(parent), m_done(std::move(done)) {}

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
            m_done(event->key() != Qt::Key_Escape);
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

private:
    std::function<void(bool)> m_done;
};

}  // namespace

void form1::createPublicInputBox()
{
    // Over the top of the winners table, below the display: the operator
    // keeps the rolling name in view while typing. Never on the audience view.
    m_publicBox = new QWidget(this);
    m_publicBox->setObjectName(QStringLiteral("PublicInputBox"));
    m_publicBox->setGeometry(0, 56, 577, 40);
    m_publicBox->setAutoFillBackground(true);
    m_publicBox->setStyleSheet(QStringLiteral("background-color: rgb(255, 244, 200);"));
    auto* layout = new QHBoxLayout(m_publicBox);
    layout->setContentsMargins(6, 4, 6, 4);
    auto* label = new QLabel(Say("Public input (Enter):", "公开输入（回车确认）："), m_publicBox);
    QFont font = this->font();
    font.setPointSizeF(12);
    label->setFont(font);
    m_publicEdit = new TypingEdit([this](bool keep) { closePublicInput(keep); }, m_publicBox);
    m_publicEdit->setObjectName(QStringLiteral("PublicInputEdit"));
    m_publicEdit->setMaxLength(int(draw::kMaxRecordText));
    m_publicEdit->setStyleSheet(QStringLiteral("background-color: white;"));
    m_publicEdit->setFont(font);
    layout->addWidget(label);
    layout->addWidget(m_publicEdit, 1);
    connect(m_publicEdit, &QLineEdit::textChanged, this, &form1::publicInputTyped);
    m_publicBox->hide();
}

void form1::OpenPublicInput()
{
    if (!Rolling()) {
        refuse(Say("The public input is typed while names roll, after the commitment is shown.",
                   "公开输入须在开始抽奖、显示承诺之后、滚动期间输入。"));
        return;
    }
    if (!m_publicBox->isVisible())
        m_publicBefore = m_publicEdit->text();
    m_publicBox->show();
    m_publicBox->raise();
    // F2 may come from the audience view: the typing happens here.
    activateWindow();
    m_publicEdit->setFocus();
}

void form1::closePublicInput(bool keep)
{
    if (!keep)
        m_publicEdit->setText(m_publicBefore);
    m_publicBox->hide();
    txtci->setFocus();
}

void form1::publicInputTyped(const QString& text)
{
    // Both screens show what the stop would record.
    m_audience.publicInput = Text(draw::PublicInputText(text.toStdString()));
    pushAudience();
}

bool form1::roundInHand() const
{
    return m_nextRound && Combo1->currentText() == Text(m_nextRound->level) &&
           txtci->text().trimmed() == QString::number(m_nextRound->count);
}

QString form1::roundText(const draw::PlanRound& round) const
{
    QString text = Say("Round %1", "第 %1 轮").arg(round.number) + QStringLiteral(" · ") + Text(round.level);
    if (!round.prizeName.empty())
        text += QStringLiteral(" · ") + Text(round.prizeName);
    if (!round.groupRule.empty())
        text += QStringLiteral(" · ") + Text(draw::GroupRuleShown(round.groupRule));
    return text;
}

void form1::fillNextRound()
{
    std::vector<draw::PlanRound> rounds;
    std::optional<draw::PlanRound> next;
    // A plan that cannot be read leaves the window as it is without one.
    if (draw::ReadPlan(*conn::DbConnection, rounds))
        next = draw::NextRound(rounds);
    else
        rounds.clear();
    m_planRounds = (long long)rounds.size();
    m_nextRound = next;
    if (next) {
        const QString level = Text(next->level);
        if (Combo1->findText(level) < 0)
            Combo1->addItem(level);
        txtci->setText(QString::number(next->count));
        Combo1->setCurrentText(level);
    }
    showPlannedLevel();
}

void form1::showPlannedLevel()
{
    // What the room is told follows the selection until the draw is shown:
    // the round and prize only while the selection is the round's.
    if (m_audience.phase == AudienceState::Phase::Result)
        return;
    const std::optional<draw::PlanRound>& round = Rolling() ? m_rollRound : m_nextRound;
    const bool planned = Rolling() ? m_rollRound.has_value() : roundInHand();
    m_audience.prizeName = planned ? Text(round->prizeName) : QString();
    m_audience.round = planned ? int(round->number) : 0;
    m_audience.rounds = planned ? int(m_planRounds) : 0;
    pushAudience();
}

void form1::showRecordedLevel(const draw::DrawRecord& record)
{
    const draw::ShownPrize shown = draw::ShownLevel(record);
    m_audience.level = Text(shown.level);
    m_audience.prizeName = Text(shown.prizeName);
    m_audience.round = record.planRound ? int(*record.planRound) : 0;
    m_audience.rounds = record.planRound ? int(std::max(m_planRounds, *record.planRound)) : 0;
}

void form1::beginRollRecord()
{
    m_rollRound.reset();
    m_rollSeed.reset();
    if (roundInHand())
        m_rollRound = m_nextRound;
    const bool announced = m_rollRound && m_rollRound->announcedBy;
    // S is taken now, before anything is typed, and its commitment shown for
    // the whole roll; a draw from an announcement follows from the notice alone.
    if (!announced)
        m_rollSeed = m_seeds();
    m_audience.commitment =
        m_rollSeed ? Text(draw::SeedCommitment(*m_rollSeed).substr(0, draw::kCommitmentShown)) : QString();
    m_audience.announcement = announced ? *m_rollRound->announcedBy : 0;
    m_publicEdit->clear();
    m_audience.publicInput.clear();
    if (announced)
        QMetaObject::invokeMethod(this, &form1::OpenPublicInput, Qt::QueuedConnection);
}

bool form1::takePublicInput(std::string& text)
{
    // Stop while the box is open takes the text as it stands: both screens
    // have shown it as typed, so the record holds what the room saw.
    text = m_publicEdit->text().toStdString();
    const std::string problem = draw::PublicInputProblem(text);
    QString why = Text(problem);
    if (problem.empty() && m_audience.announcement > 0 && draw::PublicInputText(text).empty())
        why = Say("This round is drawn by announcement %1: type the public value it names first.",
                  "本轮按公告 %1 抽奖：请先输入公告中指定的公开数值。")
                  .arg(m_audience.announcement);
    if (why.isEmpty()) {
        m_publicBox->hide();
        return true;
    }
    // The roll goes on; the operator corrects the text and stops again.
    refuse(why);
    OpenPublicInput();
    return false;
}

void form1::fillDrawRequest(draw::DrawRequest& request, const std::string& publicInput) const
{
    request.organiserSeed = m_rollSeed;
    request.seeds = m_seeds;
    request.publicInput = publicInput;
    if (m_rollRound) {
        request.planRound = m_rollRound->number;
        request.prizeName = m_rollRound->prizeName;
        request.groupRule = m_rollRound->groupRule;
        if (m_rollRound->announcedBy)
            request.announcementId = *m_rollRound->announcedBy;
    }
}

void form1::endRollRecord()
{
    m_rollSeed.reset();
    m_rollRound.reset();
    m_publicBox->hide();
    m_audience.commitment.clear();
    m_audience.announcement = 0;
    m_audience.publicInput.clear();
}

void form1::EditPlan()
{
    if (Rolling()) {
        refuse(Say("A draw is running; stop it first.", "正在抽奖，请先停止。"));
        return;
    }
    std::vector<draw::PlanRound> rounds;
    if (!draw::ReadPlan(*conn::DbConnection, rounds)) {
        refuse(Text(conn::DbConnection->error()));
        return;
    }
    PlanDialog dialog(rounds, [this](const std::vector<draw::PlanRound>& edited) {
        std::string refusal;
        draw::PlanStatus status = draw::PlanStatus::DatabaseError;
        lockwait::RunWaiting(*conn::DbConnection, this, [&] {
            status = draw::ReplacePlan(*conn::DbConnection, edited, refusal);
            return status == draw::PlanStatus::DatabaseError &&
                   conn::DbConnection->errorKind() == store::ErrorKind::Busy;
        });
        if (status == draw::PlanStatus::Refused)
            return Say("The plan was not saved: %1", "奖项计划未保存：%1").arg(Text(refusal));
        if (status == draw::PlanStatus::DatabaseError)
            return Say("The plan was not saved: %1", "奖项计划未保存：%1").arg(Text(conn::DbConnection->error()));
        return QString();
    }, this);
    dialog.setObjectName(QStringLiteral("PlanDialog"));
    if (dialog.exec() == QDialog::Accepted)
        fillNextRound();
}
