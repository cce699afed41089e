#pragma once
// Where the audience view puts things, in the screen's device pixels, for
// any size from 1024 x 768 to 3840 x 2160 and any shape from 4:3 to 16:9:
// a header (event title, level and prize, round, remaining count), a body
// (the rolling names or the winners) and a footer (the draw's anchor line
// and its QR code). Sizes follow the screen's height, limited by its width
// where a wide line would not fit.

#include <vector>

#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

namespace audiencelayout {

// The face of the audience view at a size in pixels: a heavy sans face
// where one is installed, with the Chinese faces the system has behind it.
QFont Font(double pixels, bool bold = true);

struct Frame {
    double unit = 0;   // a hundredth of the height of the 16:9 area that fits
    QRectF title;      // the event title, centred on the top line
    QRectF level;      // the level and the prize, large, on the second line
    QRectF round;      // "第 3 轮 / 6", left on the second line
    QRectF remaining;  // the remaining count, right on the second line
    QRectF body;       // the rolling names, or the winners
    QRectF anchor;     // the anchor's line of text
    QRectF qr;         // a square for the anchor's QR code, bottom right
};
Frame FrameFor(QSizeF size);

// The largest and smallest name sizes the winners grid uses: one winner's
// name large, and no name smaller than can be read from the back of a hall
// (below that, the winners are shown a page at a time).
double LargestName(QSizeF size);
double SmallestName(QSizeF size);
// The number's size beside a name of this size.
double NumberPixels(double namePixels);

// The winners of a draw laid out in a grid that fills the body: the same
// cells on every page, each winner on exactly one page.
struct WinnerGrid {
    double namePixels = 0;
    double numberPixels = 0;
    int columns = 0;
    int rows = 0;
    int perPage = 0;
    int pages = 0;
    int count = 0;
    // The cells of page `page` (0-based) in winner order; the last row of a
    // page that is not full is centred.
    std::vector<QRectF> cells(const QRectF& body, int page) const;
    // The first winner shown on `page`.
    int firstOnPage(int page) const { return page * perPage; }
    QSizeF cellSize;
};

// Lays out texts (names and numbers as they will be shown) in `body` of a
// screen of `screen` size: the largest name size at which all fit on one
// page, or pages at the smallest readable size when they cannot.
WinnerGrid LayWinners(const QRectF& body, QSizeF screen, const std::vector<QString>& names,
                      const std::vector<QString>& numbers);

// The size at which a line of text fits a width: `pixels`, or less when the
// text is wider than `width`, down to `smallest`.
double FitPixels(const QString& text, double pixels, double width, double smallest, bool bold = true);

}  // namespace audiencelayout
