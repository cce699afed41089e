#include "app/plan_dialog.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/draw_view.h"
#include "export/plan_export.h"
#include "import/plan_reader.h"
#include "platform/language/language.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/message_box.h"

using drawview::Say;
using drawview::Text;

namespace {

// A file's problems past this many are counted, not listed.
constexpr std::size_t kProblemsShown = 8;

QString stateText(const draw::PlanRound& round)
{
    if (round.drawnBy)
        return Say("drawn (draw %1)", "已抽（第 %1 次抽奖）").arg(*round.drawnBy);
    if (round.announcedBy)
        return Say("announced (no. %1)", "已公告（第 %1 号）").arg(*round.announcedBy);
    return {};
}

bool sameRound(const draw::PlanRound& a, const draw::PlanRound& b)
{
    return a.level == b.level && a.prizeName == b.prizeName && a.count == b.count && a.groupRule == b.groupRule;
}

QString fileProblems(const std::string& path, const std::vector<importer::Problem>& problems)
{
    QString text = Text(lang::trf("Nothing was imported from '%1':", "未从“%1”导入任何内容：", {path}));
    for (std::size_t i = 0; i < problems.size() && i < kProblemsShown; ++i) {
        const importer::Problem& problem = problems[i];
        text += QStringLiteral("\n") +
                (problem.line ? Say("line %1: ", "第 %1 行：").arg(qulonglong(problem.line)) : QString()) +
                Text(problem.message);
    }
    if (problems.size() > kProblemsShown)
        text += QStringLiteral("\n") + Say("... and %1 more", "……另有 %1 处").arg(qulonglong(problems.size() - kProblemsShown));
    return text;
}

}  // namespace

PlanDialog::PlanDialog(const std::vector<draw::PlanRound>& rounds, Saver saver, QWidget* parent)
    : QDialog(parent), m_saver(std::move(saver)), m_stored(rounds)
{
    setWindowTitle(Say("Prize plan", "奖项计划"));
    resize(820, 460);
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(0, Columns, this);
    m_table->setHorizontalHeaderLabels({Say("Round", "轮次"), Say("Level", "奖项"), Say("Prize", "奖品"),
                                        Say("Winners", "人数"), Say("Groups", "部门"), Say("State", "状态")});
    m_table->verticalHeader()->hide();
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                             QAbstractItemView::AnyKeyPressed);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto* edits = new QHBoxLayout;
    m_add = new QPushButton(Say("Add round", "添加一轮"), this);
    m_remove = new QPushButton(Say("Remove", "删除"), this);
    m_up = new QPushButton(Say("Move up", "上移"), this);
    m_down = new QPushButton(Say("Move down", "下移"), this);
    m_import = new QPushButton(Say("Import…", "导入…"), this);
    m_export = new QPushButton(Say("Export…", "导出…"), this);
    for (QPushButton* button : {m_add, m_remove, m_up, m_down, m_import, m_export}) {
        button->setAutoDefault(false);
        edits->addWidget(button);
    }
    edits->addStretch();
    layout->addLayout(edits);
    auto* buttons = new QDialogButtonBox(this);
    m_save = buttons->addButton(Say("Save", "保存"), QDialogButtonBox::AcceptRole);
    buttons->addButton(Say("Cancel", "取消"), QDialogButtonBox::RejectRole);
    layout->addWidget(buttons);

    connect(m_add, &QPushButton::clicked, this, &PlanDialog::addRound);
    connect(m_remove, &QPushButton::clicked, this, &PlanDialog::removeRound);
    connect(m_up, &QPushButton::clicked, this, [this] { moveRound(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveRound(1); });
    connect(m_import, &QPushButton::clicked, this, &PlanDialog::importPlan);
    connect(m_export, &QPushButton::clicked, this, &PlanDialog::exportPlan);
    connect(buttons, &QDialogButtonBox::accepted, this, &PlanDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setRounds(rounds);
}

void PlanDialog::fillRow(int row, const draw::PlanRound& round)
{
    const bool fixed = round.drawnBy || round.announcedBy;
    const QStringList cells = {QString(), Text(round.level), Text(round.prizeName),
                               round.count > 0 ? QString::number(round.count) : QString(),
                               Text(draw::GroupRuleShown(round.groupRule)), stateText(round)};
    for (int column = 0; column < Columns; ++column) {
        auto* item = new QTableWidgetItem(cells[column]);
        if (fixed || column == Number || column == State)
            item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        if (fixed)
            item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
        m_table->setItem(row, column, item);
    }
    m_table->item(row, State)->setData(Qt::UserRole, fixed);
}

void PlanDialog::setRounds(const std::vector<draw::PlanRound>& rounds)
{
    m_table->setRowCount(int(rounds.size()));
    for (std::size_t i = 0; i < rounds.size(); ++i) {
        draw::PlanRound round = rounds[i];
        // A file knows nothing of what was drawn: the same round in the same
        // place is still the drawn one.
        if (i < m_stored.size() && sameRound(round, m_stored[i])) {
            round.drawnBy = m_stored[i].drawnBy;
            round.announcedBy = m_stored[i].announcedBy;
        }
        fillRow(int(i), round);
    }
    renumber();
    m_table->resizeColumnsToContents();
    m_table->setColumnWidth(Level, std::max(m_table->columnWidth(Level), 120));
    m_table->setColumnWidth(Prize, std::max(m_table->columnWidth(Prize), 200));
    m_table->setColumnWidth(Groups, std::max(m_table->columnWidth(Groups), 160));
}

bool PlanDialog::locked(int row) const
{
    const QTableWidgetItem* state = m_table->item(row, State);
    return state && state->data(Qt::UserRole).toBool();
}

void PlanDialog::renumber()
{
    for (int row = 0; row < m_table->rowCount(); ++row)
        m_table->item(row, Number)->setText(QString::number(row + 1));
}

bool PlanDialog::rounds(std::vector<draw::PlanRound>& rounds, QString& problem) const
{
    rounds.clear();
    for (int row = 0; row < m_table->rowCount(); ++row) {
        const QString number = QString::number(row + 1);
        auto cell = [&](int column) { return m_table->item(row, column)->text().trimmed(); };
        bool counted = false;
        const long long count = cell(Count).toLongLong(&counted);
        if (!counted) {
            problem = Say("Round %1: the number of winners must be a whole number.", "第 %1 轮：人数必须是整数。")
                          .arg(number);
            return false;
        }
        draw::PlanRound round;
        std::string error;
        if (!draw::PlanRoundFromTyped(cell(Level).toStdString(), cell(Prize).toStdString(), count,
                                      cell(Groups).toStdString(), round, error)) {
            problem = Say("Round %1: %2", "第 %1 轮：%2").arg(number, Text(error));
            return false;
        }
        rounds.push_back(round);
    }
    return true;
}

void PlanDialog::addRound()
{
    // After the selected round, else at the end; never among the drawn ones.
    int row = m_table->currentRow() >= 0 ? m_table->currentRow() + 1 : m_table->rowCount();
    while (row < m_table->rowCount() && locked(row))
        ++row;
    m_table->insertRow(row);
    draw::PlanRound round;
    round.count = 1;
    fillRow(row, round);
    renumber();
    m_table->setCurrentCell(row, Level);
    m_table->editItem(m_table->item(row, Level));
}

void PlanDialog::removeRound()
{
    const int row = m_table->currentRow();
    if (row < 0)
        return;
    if (locked(row)) {
        refuse(Say("Round %1 has been drawn or announced; it stays in the plan.", "第 %1 轮已抽取或已公告，不能删除。")
                   .arg(row + 1));
        return;
    }
    m_table->removeRow(row);
    renumber();
}

void PlanDialog::moveRound(int step)
{
    const int row = m_table->currentRow(), other = row + step;
    if (row < 0 || other < 0 || other >= m_table->rowCount())
        return;
    if (locked(row) || locked(other)) {
        refuse(Say("A round that has been drawn or announced keeps its place.", "已抽取或已公告的轮次不能移动。"));
        return;
    }
    for (int column = Level; column < Columns; ++column) {
        QTableWidgetItem* a = m_table->takeItem(row, column);
        m_table->setItem(row, column, m_table->takeItem(other, column));
        m_table->setItem(other, column, a);
    }
    m_table->setCurrentCell(other, m_table->currentColumn());
}

void PlanDialog::importPlan()
{
    const QString path = ui::fileDialogs().openFile(this, Say("Import a prize plan", "导入奖项计划"), QDir::homePath(),
                                                    Say("Plans (*.csv *.xlsx);;All files (*)", "奖项计划 (*.csv *.xlsx);;所有文件 (*)"));
    if (path.isEmpty())
        return;
    std::vector<importer::PlanRow> rows;
    std::vector<importer::Problem> problems;
    importer::readPlanFile(path.toStdString(), rows, problems);
    std::vector<draw::PlanRound> read;
    for (const importer::PlanRow& row : rows) {
        draw::PlanRound round;
        std::string error;
        if (!draw::PlanRoundFromTyped(row.level, row.prize, row.count, row.group, round, error))
            problems.push_back({row.line, error});
        read.push_back(round);
    }
    if (!problems.empty()) {
        refuse(fileProblems(path.toStdString(), problems));
        return;
    }
    // Shown, not stored: the operator looks it over and saves.
    setRounds(read);
}

void PlanDialog::exportPlan()
{
    std::vector<draw::PlanRound> shown;
    QString problem;
    if (!rounds(shown, problem)) {
        refuse(problem);
        return;
    }
    const QString path = ui::fileDialogs().saveFile(this, Say("Export the prize plan", "导出奖项计划"),
                                                    QDir::home().filePath(Say("prize-plan.xlsx", "奖项计划.xlsx")),
                                                    QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"));
    if (path.isEmpty())
        return;
    std::string error;
    if (!exporter::ExportPlan(shown, path.toStdString(), error))
        refuse(Text(error));
}

void PlanDialog::save()
{
    std::vector<draw::PlanRound> shown;
    QString problem;
    if (!rounds(shown, problem)) {
        refuse(problem);
        return;
    }
    const QString refusal = m_saver(shown);
    if (!refusal.isEmpty()) {
        refuse(refusal);
        return;
    }
    accept();
}

void PlanDialog::refuse(const QString& why)
{
    ui::messageBox().show(why, Say("Prize plan", "奖项计划"), ui::Buttons::Ok, ui::Icon::Exclamation);
}
