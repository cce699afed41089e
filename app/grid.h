#pragma once
// A grid of text cells with a title row (row 0) and a row-title column
// (column 0), shown in a table view. Cells live in one flat array, so a list
// of a million rows costs no widget per cell; redrawing can be switched off
// while rows are appended.

#include <string>
#include <vector>

#include <QColor>
#include <QFont>
#include <QTableView>

class GridModel;

// Rows kept outside a grid that it shows below its title row, read only.
class GridRows {
public:
    virtual ~GridRows() = default;
    virtual int count() const = 0;
    // The text of a cell; `row` counts from 0 (the grid's row 1), `column`
    // from 1.
    virtual QString text(int row, int column) const = 0;
};

// What the page set-up holds for printing the grid.
struct GridPageSetup {
    double leftMargin = 1.0;    // centimetres
    double topMargin = 1.0;
    double rightMargin = 1.0;
    double bottomMargin = 1.0;
    double headerMargin = 1.0;  // from the top edge to the title
    QString title;
    int titleFontSize = 12;
    bool titleBold = false;
    bool printGridLines = true;
    bool printTitleRow = true;
    int lastRow = 0;
    int lastColumn = 0;
    bool centreHorizontally = false;
    int rangeMode = 0;
};

class Grid : public QTableView {
    Q_OBJECT
public:
    explicit Grid(QWidget* parent = nullptr);
    ~Grid() override;

    int Rows() const;
    // Keeps rows 0 .. count - 1 and their texts; new rows are empty.
    void setRows(int count);
    int Cols() const;
    void setCols(int count);
    QString TextMatrix(int row, int column) const;
    void setTextMatrix(int row, int column, const QString& text);
    // Shows `rows` below the title row instead of the grid's own rows, so a
    // long list is not copied into the grid; nullptr shows none. The caller
    // keeps them alive and calls again after they change. setRows() drops
    // them; their cells cannot be written.
    void showRows(const GridRows* rows);
    // Widths in the grid's own unit (pixels of the design); 0 collapses.
    void setColWidth(int column, int width);
    int ColWidth(int column) const;

    void setAutoRedraw(bool on);
    void Refresh();

    // Appearance options, colours and fonts, in the order the window sets them.
    void setAppearanceSwitches(bool first, bool second, bool third);
    void setAppearanceNumbers(int first, int second, int third);
    void setFontName(const QString& name);
    void setFontSize(double points);
    // Back colour of the cells, of the title row and column, of the empty
    // area, then the grid lines and the selection.
    void setColours(const QColor& cells, const QColor& fixed, const QColor& background, const QColor& gridLines,
                    const QColor& selection);
    void setDefaultRowHeight(int pixels);
    void setReadOnly(bool on);

    // Shows columns, rows and text this many times their designed size; the
    // designed values are what the grid keeps and reports.
    void setDisplayScale(double scale);

    GridPageSetup& PageSetup() { return m_pageSetup; }
    const GridPageSetup& PageSetup() const { return m_pageSetup; }

private:
    void applyRowHeight();
    void applyColumnWidth(int column);
    void applyFontSize();
    int scaled(int designPixels) const;

    GridModel* m_model;
    bool m_autoRedraw = true;
    int m_rowHeight = 20;
    double m_scale = 1.0;
    int m_fontPixels = 0;          // designed pixel size of the font; 0 until one is set
    std::vector<int> m_colWidths;  // designed widths of the columns set so far
    QColor m_fixedColour = QColor(244, 244, 244);
    GridPageSetup m_pageSetup;
};
