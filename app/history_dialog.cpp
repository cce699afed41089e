#include "app/history_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/draw_view.h"

using drawview::Say;
using drawview::Text;

namespace {

constexpr int kDigestShown = 16;

}  // namespace

HistoryDialog::HistoryDialog(const std::vector<draw::DrawRecord>& draws, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Say("Recorded draws", "抽奖记录"));
    resize(900, 420);
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(0, 9, this);
    m_table->setHorizontalHeaderLabels({Say("Draw", "编号"), Say("Time", "时间"), Say("Level", "等级"),
                                        Say("Prize", "奖品"), Say("Winners", "中奖人数"), Say("Eligible", "候选人数"),
                                        Say("Voids", "作废"), Say("Digest", "摘要"), Say("Note", "备注")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(this);
    m_print = buttons->addButton(Say("Print…", "打印…"), QDialogButtonBox::ActionRole);
    m_export = buttons->addButton(Say("Export…", "导出…"), QDialogButtonBox::ActionRole);
    m_evidence = buttons->addButton(Say("Evidence…", "证据包…"), QDialogButtonBox::ActionRole);
    m_correct = buttons->addButton(Say("Correct…", "更正…"), QDialogButtonBox::ActionRole);
    m_close = buttons->addButton(Say("Close", "关闭"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto forSelected = [this](void (HistoryDialog::*signal)(long long)) {
        return [this, signal] {
            if (selectedDraw() > 0)
                emit(this->*signal)(selectedDraw());
        };
    };
    connect(m_print, &QPushButton::clicked, this, forSelected(&HistoryDialog::printRequested));
    connect(m_export, &QPushButton::clicked, this, forSelected(&HistoryDialog::exportRequested));
    connect(m_evidence, &QPushButton::clicked, this, forSelected(&HistoryDialog::evidenceRequested));
    connect(m_correct, &QPushButton::clicked, this, forSelected(&HistoryDialog::correctRequested));
    connect(m_table, &QTableWidget::cellDoubleClicked, this, forSelected(&HistoryDialog::printRequested));
    layout->addWidget(buttons);
    setDraws(draws);
}

void HistoryDialog::setDraws(const std::vector<draw::DrawRecord>& draws)
{
    const long long selected = selectedDraw();
    m_table->setRowCount(int(draws.size()));
    // Newest first: the draw just held is the one most often printed again.
    int row = 0, selectRow = 0;
    for (auto draw = draws.rbegin(); draw != draws.rend(); ++draw, ++row) {
        const draw::ShownPrize shown = draw::ShownLevel(*draw);
        const QStringList cells = {QString::number(draw->id),
                                   Text(draw::LocalTimeText(draw->time)),
                                   Text(shown.level),
                                   Text(shown.prizeName),
                                   QString::number(draw->winners.size()),
                                   QString::number(draw->eligibleCount),
                                   QString::number(draw->voids.size()),
                                   Text(draw->digest.substr(0, kDigestShown)),
                                   Text(shown.note)};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(draw->id));
            m_table->setItem(row, column, item);
        }
        if (draw->id == selected)
            selectRow = row;
    }
    // The note takes what is left; sized to its content it would leave a gap after a refill.
    for (int column = 0; column + 1 < m_table->columnCount(); ++column)
        m_table->resizeColumnToContents(column);
    if (!draws.empty())
        m_table->selectRow(selectRow);
}

long long HistoryDialog::selectedDraw() const
{
    const QList<QTableWidgetItem*> selected = m_table->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(Qt::UserRole).toLongLong();
}
