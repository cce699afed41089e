// The window's commands on the draw record: the winners table's menu and
// keys, voiding an absent winner, export, and the history of draws.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QMenu>

#include "app/conn.h"
#include "app/correction_dialog.h"
#include "app/draw_view.h"
#include "app/form1.h"
#include "app/grid.h"
#include "app/history_dialog.h"
#include "app/lock_wait.h"
#include "app/printing.h"
#include "platform/language/language.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/message_box.h"
#include "draw/record_actions.h"
#include "export/evidence/evidence_pack.h"
#include "export/results_export.h"

using drawview::Say;
using drawview::Text;

namespace {

QAction* addCommand(QMenu* menu, QWidget* owner, const QString& text, const QKeySequence& keys,
                    Qt::ShortcutContext context)
{
    auto* action = menu->addAction(text);
    action->setShortcut(keys);
    action->setShortcutContext(context);
    // Keys act without the menu open; the owner holds the shortcut.
    owner->addAction(action);
    return action;
}

// Why a draw could not be read: the database's message, or, for a draw
// that is not there (the record replaced meanwhile), that it is gone.
QString readFailure(long long drawId)
{
    const std::string error = conn::DbConnection->error();
    if (!error.empty())
        return Text(error);
    return Text(lang::trf("Draw %1 is not in the record.", "抽奖记录中没有第 %1 次抽奖。", {std::to_string(drawId)}));
}

}  // namespace

void form1::createWinnersMenu()
{
    m_winnersMenu = new QMenu(this);
    m_winnersMenu->setObjectName(QStringLiteral("WinnersMenu"));
    QAction* voidAction = addCommand(m_winnersMenu, Grid2, Say("Void and draw a replacement…", "作废并补抽…"),
                                     QKeySequence(Qt::Key_Delete), Qt::WidgetShortcut);
    voidAction->setObjectName(QStringLiteral("voidAction"));
    connect(voidAction, &QAction::triggered, this, [this] { VoidWinner(Grid2->currentIndex().row()); });
    m_winnersMenu->addSeparator();

    QAction* exportDraw = addCommand(m_winnersMenu, this, Say("Export this draw…", "导出本次中奖名单…"),
                                     QKeySequence(Qt::CTRL | Qt::Key_E), Qt::WindowShortcut);
    exportDraw->setObjectName(QStringLiteral("exportDrawAction"));
    connect(exportDraw, &QAction::triggered, this, [this] {
        if (m_shownDraw)
            ExportDraws(m_shownDraw->id);
        else
            refuse(Say("No draw has been held yet.", "还没有进行过抽奖。"));
    });
    QAction* exportAll = addCommand(m_winnersMenu, this, Say("Export all draws…", "导出全部中奖名单…"),
                                    QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E), Qt::WindowShortcut);
    exportAll->setObjectName(QStringLiteral("exportAllAction"));
    connect(exportAll, &QAction::triggered, this, [this] { ExportDraws(std::nullopt); });
    QAction* history = addCommand(m_winnersMenu, this, Say("Earlier draws (print again)…", "抽奖记录（重新打印）…"),
                                  QKeySequence(Qt::CTRL | Qt::Key_H), Qt::WindowShortcut);
    history->setObjectName(QStringLiteral("historyAction"));
    connect(history, &QAction::triggered, this, &form1::ShowHistory);
    QAction* plan = addCommand(m_winnersMenu, this, Say("Prize plan…", "奖项计划…"), QKeySequence(Qt::CTRL | Qt::Key_L),
                               Qt::WindowShortcut);
    plan->setObjectName(QStringLiteral("planAction"));
    connect(plan, &QAction::triggered, this, &form1::EditPlan);

    // Commands on the participants (importing a list) belong after this separator.
    QAction* participants = m_winnersMenu->addSeparator();
    participants->setObjectName(QStringLiteral("participantsSection"));
    QAction* import = addCommand(m_winnersMenu, this, Say("Import participants…", "导入参与者名单…"),
                                 QKeySequence(Qt::CTRL | Qt::Key_I), Qt::WindowShortcut);
    import->setObjectName(QStringLiteral("importAction"));
    connect(import, &QAction::triggered, this, &form1::ImportParticipants);

    Grid2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Grid2, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const QModelIndex index = Grid2->indexAt(at);
        if (index.isValid())
            Grid2->setCurrentIndex(index);
        m_winnersMenu->popup(Grid2->viewport()->mapToGlobal(at));
    });
}

void form1::VoidWinner(int row)
{
    if (Rolling()) {
        refuse(Say("A draw is running; stop it first.", "正在抽奖，请先停止。"));
        return;
    }
    if (!m_shownDraw || row < 1 || row > drawview::WinnerRows(*m_shownDraw)) {
        refuse(Say("Select a winner of the draw shown first.", "请先选中本次抽奖的一名中奖者。"));
        return;
    }
    const draw::RecordedWinner holder = draw::CurrentWinners(*m_shownDraw)[std::size_t(row - 1)];
    // The replacement's S is fixed before the operator says yes, and its
    // commitment is in the question.
    draw::VoidRequest request;
    request.drawId = m_shownDraw->id;
    request.position = holder.position;
    request.organiserSeed = m_seeds();
    request.seeds = m_seeds;
    const std::string commitment = draw::SeedCommitment(*request.organiserSeed).substr(0, draw::kCommitmentShown);
    const ui::Result answer = ui::messageBox().show(
        Text(lang::trf("Void winner %1, %2, and draw one replacement from those who have not won yet?\n"
                       "The voided winner stays marked as having won.\nCommitment %3",
                       "作废第 %1 名 %2，并从尚未中奖的人中补抽一人？\n被作废者仍记为已中奖。\n承诺 %3",
                       {std::to_string(holder.position), holder.name.value_or(""), commitment})),
        Say("Void a winner", "作废中奖者"), ui::Buttons::YesNo, ui::Icon::Question, ui::Result::No);
    if (answer != ui::Result::Yes)
        return;
    draw::DrawResult result;
    lockwait::RunWaiting(*conn::DbConnection, this, [&] {
        result = draw::VoidAndReplace(*conn::DbConnection, request);
        return draw::KeptOutByLock(result);
    });
    if (result.status == draw::DrawStatus::DatabaseError) {
        conn::FatalError(Text(result.error));
        return;
    }
    if (result.status != draw::DrawStatus::Done) {
        refuse(Text(draw::DescribeRefusal(result)));
        return;
    }
    m_shownDraw = result.record;
    showWinners();
    Grid2->selectRow(row);
    showInDisplay(Text(result.record.voids.back().replacement.name));
    LoadParticipants();
    startReplacementRoll();
}

void form1::ExportDraws(std::optional<long long> drawId)
{
    std::vector<draw::DrawRecord> draws(1);
    const bool read = drawId ? draw::ReadDraw(*conn::DbConnection, *drawId, draws[0])
                             : draw::ReadHistory(*conn::DbConnection, draws);
    if (!read) {
        refuse(readFailure(drawId.value_or(0)));
        return;
    }
    const QString suggested =
        QDir::home().filePath(drawId ? Say("winners-draw-%1.xlsx", "中奖名单-第%1次.xlsx").arg(*drawId)
                                     : Say("winners.xlsx", "中奖名单.xlsx"));
    const QString path = ui::fileDialogs().saveFile(this, Say("Export winners", "导出中奖名单"), suggested,
                                                    QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"));
    if (path.isEmpty())
        return;
    const std::vector<exporter::ResultRow> rows = exporter::ResultRows(draws);
    std::string error;
    if (!exporter::ExportResults(rows, path.toStdString(), error)) {
        refuse(Text(error));
        return;
    }
    ui::messageBox().show(Text(lang::trf("%1 rows written to %2", "已将 %1 行写入 %2",
                                         {std::to_string(rows.size()), path.toStdString()})),
                          conn::AppTitle(), ui::Buttons::Ok, ui::Icon::Information);
}

void form1::ExportEvidence(long long drawId)
{
    const QString suggested = QDir::home().filePath(Say("evidence-draw-%1", "抽奖证据-第%1次").arg(drawId));
    const QString folder = ui::fileDialogs().saveFile(this, Say("Evidence pack: a new folder", "证据包：新建文件夹"),
                                                      suggested, QString());
    if (folder.isEmpty())
        return;
    evidence::PackOptions options;
    options.event = m_audience.eventTitle.toStdString();
    options.masked = ui::messageBox().show(Say("Mask the winners' names and numbers in the pack, as for publishing?",
                                               "证据包中的中奖者姓名和号码是否遮盖（用于公开发布）？"),
                                           conn::AppTitle(), ui::Buttons::YesNo, ui::Icon::Question) == ui::Result::Yes;
    std::string error;
    if (!evidence::WriteEvidencePack(*conn::DbConnection, drawId, folder.toStdString(), options, error)) {
        refuse(Text(error));
        return;
    }
    ui::messageBox().show(Say("The evidence pack of draw %1 is in %2. Anyone can open verify.html there in a browser "
                              "to check the draw.",
                              "第 %1 次抽奖的证据包已写入 %2。任何人都可以用浏览器打开其中的 verify.html 核验这次抽奖。")
                              .arg(drawId)
                              .arg(folder),
                          conn::AppTitle(), ui::Buttons::Ok, ui::Icon::Information);
}

void form1::ShowHistory()
{
    std::vector<draw::DrawRecord> draws;
    if (!draw::ReadHistory(*conn::DbConnection, draws)) {
        refuse(Text(conn::DbConnection->error()));
        return;
    }
    if (draws.empty()) {
        refuse(Say("No draw has been recorded yet.", "还没有抽奖记录。"));
        return;
    }
    HistoryDialog dialog(draws, this);
    dialog.setObjectName(QStringLiteral("HistoryDialog"));
    connect(&dialog, &HistoryDialog::printRequested, this, &form1::ReprintDraw);
    connect(&dialog, &HistoryDialog::exportRequested, this, [this](long long id) { ExportDraws(id); });
    connect(&dialog, &HistoryDialog::evidenceRequested, this, &form1::ExportEvidence);
    connect(&dialog, &HistoryDialog::correctRequested, this, [this, &dialog](long long id) {
        if (!CorrectDraw(id, &dialog))
            return;
        std::vector<draw::DrawRecord> again;
        if (draw::ReadHistory(*conn::DbConnection, again))
            dialog.setDraws(again);
    });
    dialog.exec();
}

bool form1::CorrectDraw(long long drawId, QWidget* parent)
{
    draw::DrawRecord record;
    if (!draw::ReadDraw(*conn::DbConnection, drawId, record)) {
        refuse(readFailure(drawId));
        return false;
    }
    const draw::ShownPrize shown = draw::ShownLevel(record);
    QStringList levels;
    for (int i = 0; i < Combo1->count(); ++i)
        levels << Combo1->itemText(i);
    CorrectionDialog ask(drawId, levels, Text(shown.level), Text(shown.prizeName), parent ? parent : this);
    ask.setObjectName(QStringLiteral("CorrectionDialog"));
    if (ask.exec() != QDialog::Accepted)
        return false;
    draw::CorrectionRequest request{drawId, ask.level().toStdString(), ask.prize().toStdString(),
                                    ask.reason().toStdString()};
    draw::DrawResult result;
    lockwait::RunWaiting(*conn::DbConnection, this, [&] {
        result = draw::Relabel(*conn::DbConnection, request);
        return draw::KeptOutByLock(result);
    });
    if (result.status != draw::DrawStatus::Done) {
        // A correction marks nobody: its own reason says enough.
        const std::string why = result.error.empty() ? draw::DescribeRefusal(result) : result.error;
        refuse(Say("The correction was not recorded: %1", "更正未记录：%1").arg(Text(why)));
        return false;
    }
    // The draw on the screens shows its new level at once.
    if (m_shownDraw && m_shownDraw->id == drawId && draw::ReadDraw(*conn::DbConnection, drawId, record)) {
        m_shownDraw = record;
        if (m_audience.phase == AudienceState::Phase::Result)
            audienceResult(!record.voids.empty());
    }
    return true;
}

void form1::ReprintDraw(long long drawId)
{
    draw::DrawRecord record;
    if (!draw::ReadDraw(*conn::DbConnection, drawId, record)) {
        refuse(readFailure(drawId));
        return;
    }
    // A grid like the winners table, never shown, so that the printout is
    // the same as the one made at the time.
    Grid grid;
    grid.setCols(3);
    grid.setColWidth(0, 0);
    grid.setColWidth(1, Grid2->ColWidth(1));
    grid.setColWidth(2, 0);
    grid.setTextMatrix(0, 1, Grid2->TextMatrix(0, 1));
    drawview::FillWinnersGrid(grid, record);
    printing::PrintWinners(grid, Text(draw::ShownLevel(record).level), this, drawview::RecordLine(record));
}
