#include "app/history_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/draw_view.h"

namespace {

constexpr int kDigestShown = 16;

}  // namespace

HistoryDialog::HistoryDialog(const std::vector<draw::DrawRecord>& draws, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(drawview::Say("Recorded draws", "抽奖记录"));
    resize(760, 420);
    auto* layout = new QVBoxLayout(this);
    m_table = new QTableWidget(int(draws.size()), 7, this);
    m_table->setHorizontalHeaderLabels({drawview::Say("Draw", "编号"), drawview::Say("Time", "时间"), drawview::Say("Level", "等级"),
                                        drawview::Say("Winners", "中奖人数"), drawview::Say("Eligible", "候选人数"), drawview::Say("Voids", "作废"),
                                        drawview::Say("Digest", "摘要")});
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    // Newest first: the draw just held is the one most often printed again.
    int row = 0;
    for (auto draw = draws.rbegin(); draw != draws.rend(); ++draw, ++row) {
        const QStringList cells = {QString::number(draw->id),
                                   drawview::Text(draw::LocalTimeText(draw->time)),
                                   drawview::Text(draw->level),
                                   QString::number(draw->winners.size()),
                                   QString::number(draw->eligibleCount),
                                   QString::number(draw->voids.size()),
                                   drawview::Text(draw->digest.substr(0, kDigestShown))};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = new QTableWidgetItem(cells[column]);
            item->setData(Qt::UserRole, QVariant::fromValue<qlonglong>(draw->id));
            m_table->setItem(row, column, item);
        }
    }
    m_table->resizeColumnsToContents();
    m_table->horizontalHeader()->setStretchLastSection(true);
    if (!draws.empty())
        m_table->selectRow(0);
    layout->addWidget(m_table);

    auto* buttons = new QDialogButtonBox(this);
    m_print = buttons->addButton(drawview::Say("Print…", "打印…"), QDialogButtonBox::ActionRole);
    m_export = buttons->addButton(drawview::Say("Export…", "导出…"), QDialogButtonBox::ActionRole);
    m_close = buttons->addButton(drawview::Say("Close", "关闭"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_print, &QPushButton::clicked, this, [this] {
        if (selectedDraw() > 0)
            emit printRequested(selectedDraw());
    });
    connect(m_export, &QPushButton::clicked, this, [this] {
        if (selectedDraw() > 0)
            emit exportRequested(selectedDraw());
    });
    connect(m_table, &QTableWidget::cellDoubleClicked, this, [this] {
        if (selectedDraw() > 0)
            emit printRequested(selectedDraw());
    });
    layout->addWidget(buttons);
}

long long HistoryDialog::selectedDraw() const
{
    const QList<QTableWidgetItem*> selected = m_table->selectedItems();
    return selected.isEmpty() ? 0 : selected.first()->data(Qt::UserRole).toLongLong();
}
