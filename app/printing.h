#pragma once
// Printing the winners of the last draw under the prize level's title.

#include <functional>

#include <QString>
#include <QStringList>

class Grid;
class QPainter;
class QPrinter;
class QWidget;

namespace printing {

// What goes on paper: the title, and the winners in draw order by name and,
// so that namesakes differ, by number, with the page set-up of the grid.
struct WinnerPrintout {
    QString title;
    QString recordLine;  // the draw's number, time and newest digest, under the title
    QString heading;     // of the names
    QStringList rows;    // the names (the visible column)
    QString numberHeading;  // of the numbers; empty when the grid has none
    QStringList numbers;    // beside the names
};

// Sets the grid's page set-up for the winners list of `level`.
void SetUpWinnersPage(Grid& grid, const QString& level);
// The rows the page set-up selects: the visible column's names and, from
// the winners table's hidden column, their numbers.
WinnerPrintout CollectPrintout(const Grid& grid);
// Draws the printout onto the printer's pages; false when the printer
// cannot be started (nothing is drawn).
bool RenderPrintout(QPrinter& printer, const Grid& grid, const WinnerPrintout& printout);

// Sets up the page and shows the preview, from which the operator prints or
// saves a PDF. Errors, and a printer that cannot be started, are shown with
// their description; the program goes on. `recordLine` names the draw in
// the record (empty: none).
void PrintWinners(Grid& grid, const QString& level, QWidget* parent, const QString& recordLine = QString());

// Replaces the preview (tests): receives the printer, set up, what is to be
// printed, and a callback that renders the pages onto the printer; returns
// an error description or "".
using PreviewHandler = std::function<QString(QPrinter& printer, const WinnerPrintout& printout,
                                             const std::function<void(QPrinter&)>& render)>;
void setPreviewHandler(PreviewHandler handler);

}  // namespace printing
