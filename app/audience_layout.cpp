#include "app/audience_layout.h"

#include <algorithm>
#include <cmath>

#include <QFontMetricsF>
#include <QSet>
#include <QStringList>

namespace audiencelayout {

namespace {

// Texts are measured once at this size and scaled: at the sizes the view
// uses, glyphs are not hinted, so widths grow in proportion.
constexpr double kMeasurePixels = 100;
// A number is set smaller than the name above it.
constexpr double kNumberShare = 0.6;
// Room around a cell's texts, in name heights.
constexpr double kCellPadX = 0.8;
constexpr double kCellPadY = 0.5;

// The metrics of the measuring size, made once: resolving the font and its
// fallbacks costs far more than measuring a name, and a stop of a thousand
// winners measures each of them. Never freed: the program's end must not
// meet a font after the application that held its engine.
const QFontMetricsF& measuring(bool bold)
{
    static const QFontMetricsF* const boldMetrics = new QFontMetricsF(Font(kMeasurePixels, true));
    static const QFontMetricsF* const plainMetrics = new QFontMetricsF(Font(kMeasurePixels, false));
    return bold ? *boldMetrics : *plainMetrics;
}

double measureWidth(const QString& text, bool bold)
{
    return measuring(bold).horizontalAdvance(text) / kMeasurePixels;
}

double lineShare()
{
    static const double share = measuring(true).height() / kMeasurePixels;
    return share;
}

// The cell a winner's texts need, per pixel of name size.
QSizeF cellPerPixel(const std::vector<QString>& names, const std::vector<QString>& numbers)
{
    double widest = 1.0;  // at least one character's width
    // Masked names repeat (张*, 王*): each text is measured once.
    QSet<QString> seen;
    for (const QString& name : names)
        if (!seen.contains(name)) {
            seen.insert(name);
            widest = std::max(widest, measureWidth(name, true));
        }
    seen.clear();
    for (const QString& number : numbers)
        if (!seen.contains(number)) {
            seen.insert(number);
            widest = std::max(widest, measureWidth(number, false) * kNumberShare);
        }
    return {widest + kCellPadX, lineShare() * (1 + kNumberShare) + kCellPadY};
}

// The largest name size at which `count` cells fit, and the grid for it.
WinnerGrid bestGrid(const QRectF& body, QSizeF perPixel, int count, double largest)
{
    WinnerGrid best;
    for (int columns = 1; columns <= count; ++columns) {
        const int rows = (count + columns - 1) / columns;
        const double pixels = std::min({largest, body.width() / (columns * perPixel.width()),
                                        body.height() / (rows * perPixel.height())});
        if (pixels > best.namePixels) {
            best.namePixels = pixels;
            best.columns = columns;
            best.rows = rows;
        }
        if (rows == 1)
            break;
    }
    return best;
}

}  // namespace

QFont Font(double pixels, bool bold)
{
    QFont font;
    // Latin letters and digits from the first face; Chinese from the first
    // that has them. A Song face comes last: it is thin from afar.
    static const QStringList families = {
        QStringLiteral("DejaVu Sans"),       QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Microsoft YaHei"),  QStringLiteral("SimHei"),
        QStringLiteral("AR PL UMing CN")};
    font.setFamilies(families);
    font.setPixelSize(std::max(1, int(std::lround(pixels))));
    font.setBold(bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

Frame FrameFor(QSizeF size)
{
    const double w = size.width(), h = size.height();
    Frame f;
    f.unit = std::min(h, w * 9 / 16) / 100;
    const double u = f.unit, margin = 3 * u;
    f.title = QRectF(margin, margin, w - 2 * margin, 6 * u);
    const double lineTop = f.title.bottom() + u, lineHeight = 13 * u;
    const double side = 0.22 * w;
    f.round = QRectF(margin, lineTop, side - margin, lineHeight);
    f.remaining = QRectF(w - side, lineTop, side - margin, lineHeight);
    f.level = QRectF(side, lineTop, w - 2 * side, lineHeight);
    const double qr = 20 * u;
    f.qr = QRectF(w - margin - qr, h - margin - qr, qr, qr);
    f.anchor = QRectF(margin, h - margin - 4 * u, w - 2 * margin - qr - 2 * u, 4 * u);
    const double bodyTop = f.level.bottom() + 2 * u;
    f.body = QRectF(margin, bodyTop, w - 2 * margin, f.qr.top() - u - bodyTop);
    return f;
}

double LargestName(QSizeF size)
{
    return 16 * FrameFor(size).unit;
}

double SmallestName(QSizeF size)
{
    return size.height() / 26;
}

double NumberPixels(double namePixels)
{
    return namePixels * kNumberShare;
}

std::vector<QRectF> WinnerGrid::cells(const QRectF& body, int page) const
{
    std::vector<QRectF> result;
    const int first = firstOnPage(page);
    const int shown = std::clamp(count - first, 0, perPage);
    const QSizeF block(columns * cellSize.width(), rows * cellSize.height());
    // Rows actually used on this page, so that a short page is centred too.
    const int usedRows = (shown + columns - 1) / columns;
    const QPointF origin(body.center().x() - block.width() / 2,
                         body.center().y() - usedRows * cellSize.height() / 2);
    for (int i = 0; i < shown; ++i) {
        const int row = i / columns, column = i % columns;
        const int inRow = std::min(columns, shown - row * columns);
        const double rowStart = origin.x() + (columns - inRow) * cellSize.width() / 2;
        result.emplace_back(QPointF(rowStart + column * cellSize.width(), origin.y() + row * cellSize.height()),
                            cellSize);
    }
    return result;
}

WinnerGrid LayWinners(const QRectF& body, QSizeF screen, const std::vector<QString>& names,
                      const std::vector<QString>& numbers)
{
    const int count = int(std::max(names.size(), numbers.size()));
    const QSizeF perPixel = cellPerPixel(names, numbers);
    const double smallest = SmallestName(screen);
    WinnerGrid grid;
    if (count > 0) {
        grid = bestGrid(body, perPixel, count, LargestName(screen));
        grid.pages = 1;
        if (grid.namePixels < smallest) {
            // Pages at the smallest readable size, then as many on each as
            // spreads them evenly, which may allow a little more size.
            const int columns = std::max(1, int(body.width() / (perPixel.width() * smallest)));
            const int rows = std::max(1, int(body.height() / (perPixel.height() * smallest)));
            grid.pages = (count + columns * rows - 1) / (columns * rows);
            const int perPage = (count + grid.pages - 1) / grid.pages;
            grid = bestGrid(body, perPixel, perPage, LargestName(screen));
            grid.pages = (count + perPage - 1) / perPage;
        }
    }
    grid.count = count;
    grid.perPage = grid.columns * grid.rows;
    if (grid.pages > 1)
        grid.pages = (count + grid.perPage - 1) / grid.perPage;
    grid.numberPixels = NumberPixels(grid.namePixels);
    grid.cellSize = QSizeF(perPixel.width() * grid.namePixels, perPixel.height() * grid.namePixels);
    return grid;
}

double FitPixels(const QString& text, double pixels, double width, double smallest, bool bold)
{
    const double needed = measureWidth(text, bold) * pixels;
    if (needed <= width || needed <= 0)
        return pixels;
    return std::max(smallest, pixels * width / needed);
}

}  // namespace audiencelayout
