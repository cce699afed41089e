#include "app/grid.h"

#include <algorithm>
#include <cmath>

#include <QAbstractTableModel>
#include <QHeaderView>

#include "platform/gdi/gdi.h"

class GridModel : public QAbstractTableModel {
public:
    int rows = 1;
    int cols = 2;
    std::vector<std::string> cells = std::vector<std::string>(2);  // row-major, rows * cols
    bool frozen = false;
    QColor fixedColour = QColor(244, 244, 244);
    QFont fixedFont;

    const GridRows* shown = nullptr;  // rows 1 on, when set

    int total() const { return shown ? 1 + shown->count() : rows; }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : total(); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : cols; }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        if (role == Qt::DisplayRole)
            return text(index.row(), index.column());
        if (role == Qt::BackgroundRole && (index.row() == 0 || index.column() == 0))
            return fixedColour;
        if (role == Qt::TextAlignmentRole && index.row() == 0)
            return int(Qt::AlignCenter);
        return {};
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
    }

    QString text(int row, int column) const
    {
        if (shown && row > 0)
            return column > 0 ? shown->text(row - 1, column) : QString();
        return QString::fromStdString(cell(row, column));
    }
    const std::string& cell(int row, int column) const { return cells[std::size_t(row) * std::size_t(cols) + std::size_t(column)]; }
    std::string& cell(int row, int column) { return cells[std::size_t(row) * std::size_t(cols) + std::size_t(column)]; }

    void resize(int newRows, int newCols)
    {
        if (newCols != cols) {
            std::vector<std::string> moved(std::size_t(newRows) * std::size_t(newCols));
            for (int r = 0; r < std::min(rows, newRows); ++r)
                for (int c = 0; c < std::min(cols, newCols); ++c)
                    moved[std::size_t(r) * std::size_t(newCols) + std::size_t(c)] = std::move(cell(r, c));
            cells.swap(moved);
        } else {
            cells.resize(std::size_t(newRows) * std::size_t(newCols));
        }
        rows = newRows;
        cols = newCols;
    }
    void reset()
    {
        beginResetModel();
        endResetModel();
    }
};

Grid::Grid(QWidget* parent) : QTableView(parent), m_model(new GridModel)
{
    m_model->setParent(this);
    setModel(m_model);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setMinimumSectionSize(0);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setWordWrap(false);
    applyRowHeight();
}

Grid::~Grid() = default;

int Grid::Rows() const
{
    return m_model->total();
}

void Grid::setRows(int count)
{
    if (count < 0)
        count = 0;
    m_model->shown = nullptr;
    m_model->resize(count, m_model->cols);
    if (m_autoRedraw)
        m_model->reset();
    else
        m_model->frozen = true;
}

int Grid::Cols() const
{
    return m_model->cols;
}

void Grid::setCols(int count)
{
    if (count < 1)
        count = 1;
    m_model->resize(m_model->rows, count);
    m_model->reset();
}

QString Grid::TextMatrix(int row, int column) const
{
    if (row < 0 || column < 0 || row >= m_model->total() || column >= m_model->cols)
        return {};
    return m_model->text(row, column);
}

void Grid::setTextMatrix(int row, int column, const QString& text)
{
    if (row < 0 || column < 0 || row >= m_model->total() || column >= m_model->cols || (m_model->shown && row > 0))
        return;
    m_model->cell(row, column) = text.toStdString();
    if (m_autoRedraw) {
        const QModelIndex index = m_model->index(row, column);
        emit m_model->dataChanged(index, index);
    }
}

void Grid::showRows(const GridRows* rows)
{
    m_model->resize(1, m_model->cols);
    m_model->shown = rows;
    if (m_autoRedraw)
        m_model->reset();
    else
        m_model->frozen = true;
}

void Grid::setColWidth(int column, int width)
{
    if (column < 0 || column >= m_model->cols)
        return;
    if (std::size_t(column) >= m_colWidths.size())
        m_colWidths.resize(std::size_t(column) + 1, -1);
    m_colWidths[std::size_t(column)] = std::max(0, width);
    applyColumnWidth(column);
}

void Grid::applyColumnWidth(int column)
{
    const int width = m_colWidths[std::size_t(column)];
    if (width <= 0) {
        setColumnHidden(column, true);
    } else {
        setColumnHidden(column, false);
        setColumnWidth(column, scaled(width));
    }
}

int Grid::ColWidth(int column) const
{
    if (isColumnHidden(column))
        return 0;
    if (column >= 0 && std::size_t(column) < m_colWidths.size() && m_colWidths[std::size_t(column)] >= 0)
        return m_colWidths[std::size_t(column)];
    return columnWidth(column);
}

int Grid::scaled(int designPixels) const
{
    return std::max(1, int(std::lround(designPixels * m_scale)));
}

void Grid::setDisplayScale(double scale)
{
    if (!(scale > 0) || scale == m_scale)
        return;
    m_scale = scale;
    for (int column = 0; column < int(m_colWidths.size()); ++column)
        if (m_colWidths[std::size_t(column)] >= 0 && column < m_model->cols)
            applyColumnWidth(column);
    applyFontSize();
    applyRowHeight();
}

void Grid::setAutoRedraw(bool on)
{
    m_autoRedraw = on;
    setUpdatesEnabled(on);
    if (on && m_model->frozen) {
        m_model->frozen = false;
        m_model->reset();
        applyRowHeight();
    }
}

void Grid::Refresh()
{
    if (m_model->frozen) {
        m_model->frozen = false;
        m_model->reset();
        applyRowHeight();
    }
    viewport()->update();
}

void Grid::setAppearanceSwitches(bool first, bool second, bool third)
{
    // Grid lines, alternating row shading, and the title row's own look.
    setShowGrid(first);
    setAlternatingRowColors(second);
    m_model->fixedFont.setBold(third);
}

void Grid::setAppearanceNumbers(int first, int second, int third)
{
    // Border style, frame width and scroll bar policy.
    setFrameShape(first == 0 ? QFrame::NoFrame : QFrame::Box);
    setLineWidth(second);
    const Qt::ScrollBarPolicy policy = third == 0 ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
    setHorizontalScrollBarPolicy(policy);
    setVerticalScrollBarPolicy(policy);
}

void Grid::setFontName(const QString& name)
{
    QFont f = font();
    f.setFamily(name);
    setFont(f);
}

void Grid::setFontSize(double points)
{
    m_fontPixels = std::max(1, int(points * 96.0 / 72.0 + 0.5));
    applyFontSize();
}

void Grid::applyFontSize()
{
    if (m_fontPixels <= 0)
        return;
    QFont f = font();
    f.setPixelSize(scaled(m_fontPixels));
    setFont(f);
}

void Grid::setColours(const QColor& cells, const QColor& fixed, const QColor& background, const QColor& gridLines,
                      const QColor& selection)
{
    m_model->fixedColour = fixed;
    QPalette p = palette();
    p.setColor(QPalette::Base, cells);
    p.setColor(QPalette::AlternateBase, cells.darker(104));
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Highlight, selection);
    p.setColor(QPalette::HighlightedText, Qt::black);
    setPalette(p);
    setStyleSheet(QStringLiteral("QTableView { gridline-color: %1; background: %2; }")
                      .arg(gridLines.name(), background.name()));
}

void Grid::setDefaultRowHeight(int pixels)
{
    m_rowHeight = pixels;
    applyRowHeight();
}

void Grid::applyRowHeight()
{
    verticalHeader()->setDefaultSectionSize(scaled(m_rowHeight));
}

void Grid::setReadOnly(bool on)
{
    setEditTriggers(on ? QAbstractItemView::NoEditTriggers : QAbstractItemView::DoubleClicked);
}
