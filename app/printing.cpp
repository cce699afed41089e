#include "app/printing.h"

#include <QDialog>
#include <QDir>
#include <QDialogButtonBox>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/conn.h"
#include "app/grid.h"
#include "app/draw_view.h"
#include "platform/ui/file_dialog.h"
#include "platform/ui/message_box.h"

namespace printing {
namespace {

PreviewHandler g_previewHandler;

constexpr double kCmToPoints = 72.0 / 2.54;

double pointsToPixels(double points, double dpi)
{
    return points * dpi / 72.0;
}

// The preview with its two ways out: a printer, or a PDF file.
QString showPreview(QPrinter& printer, const std::function<void(QPrinter&)>& render, QWidget* parent)
{
    QDialog dialog(parent);
    dialog.setWindowTitle(drawview::Say("Print preview", "打印预览"));
    dialog.resize(720, 760);
    auto* layout = new QVBoxLayout(&dialog);
    auto* preview = new QPrintPreviewWidget(&printer, &dialog);
    QObject::connect(preview, &QPrintPreviewWidget::paintRequested, &dialog, [&](QPrinter* p) { render(*p); });
    layout->addWidget(preview);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* printButton = buttons->addButton(drawview::Say("Print…", "打印…"), QDialogButtonBox::AcceptRole);
    QPushButton* pdfButton = buttons->addButton(drawview::Say("Save as PDF…", "保存为 PDF…"), QDialogButtonBox::ActionRole);
    buttons->addButton(drawview::Say("Close", "关闭"), QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);

    QString error;
    QObject::connect(printButton, &QPushButton::clicked, &dialog, [&] {
        QPrintDialog printDialog(&printer, &dialog);
        if (printDialog.exec() != QDialog::Accepted)
            return;
        render(printer);
        if (printer.printerState() == QPrinter::Error)
            error = drawview::Say("Printing failed: the printer reported an error.", "打印失败：打印机报告了错误。");
        dialog.accept();
    });
    QObject::connect(pdfButton, &QPushButton::clicked, &dialog, [&] {
        const QString file = ui::fileDialogs().saveFile(&dialog, drawview::Say("Save as PDF", "保存为 PDF"),
                                                        QDir::home().filePath(drawview::Say("winners.pdf", "中奖名单.pdf")),
                                                        QStringLiteral("PDF (*.pdf)"));
        if (file.isEmpty())
            return;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        render(printer);
        printer.setOutputFileName(QString());
        if (printer.printerState() == QPrinter::Error)
            error = drawview::Say("Cannot write the file %1", "无法写入文件 %1").arg(file);
        dialog.accept();
    });
    preview->updatePreview();
    dialog.exec();
    return error;
}

// The line naming the draw in the record, under the title, in a small font;
// returns the height it took (nothing when there is no such line).
double drawRecordLine(QPainter& painter, const QString& line, const QRectF& box)
{
    if (line.isEmpty())
        return 0;
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(int(box.height() * 10 / 16));
    painter.setFont(font);
    painter.drawText(box, Qt::AlignCenter, line);
    return box.height() * 22 / 16;
}

// The winners' table on the page: a column of names and, when there are
// numbers, one of numbers beside it, centred when the set-up says so.
struct PrintedTable {
    PrintedTable(const GridPageSetup& setup, double pageWidth, double dpi, bool withNumbers)
        : gridLines(setup.printGridLines), numbers(withNumbers)
    {
        rowHeight = pointsToPixels(26, dpi);
        inset = pointsToPixels(6, dpi);
        nameWidth = std::min(pageWidth, pointsToPixels(withNumbers ? 200 : 260, dpi));
        numberWidth = withNumbers ? std::min(pageWidth - nameWidth, pointsToPixels(170, dpi)) : 0;
        left = setup.centreHorizontally ? (pageWidth - nameWidth - numberWidth) / 2 : 0;
    }

    void drawRow(QPainter& painter, double y, const QString& name, const QString& number, bool heading) const
    {
        const QRectF nameCell(left, y, nameWidth, rowHeight);
        const QRectF numberCell(left + nameWidth, y, numberWidth, rowHeight);
        for (const QRectF& cell : {nameCell, numberCell}) {
            if (cell.width() <= 0)
                continue;
            if (heading)
                painter.fillRect(cell, QColor(231, 235, 247));
            if (gridLines)
                painter.drawRect(cell);
        }
        const int align = heading ? Qt::AlignCenter : Qt::AlignVCenter | Qt::AlignLeft;
        painter.drawText(heading ? nameCell : nameCell.adjusted(inset, 0, 0, 0), align, name);
        if (numbers)
            painter.drawText(heading ? numberCell : numberCell.adjusted(inset, 0, 0, 0), align, number);
    }

    bool gridLines;
    bool numbers;
    double rowHeight = 0, inset = 0, nameWidth = 0, numberWidth = 0, left = 0;
};

}  // namespace

void setPreviewHandler(PreviewHandler handler)
{
    g_previewHandler = std::move(handler);
}

void SetUpWinnersPage(Grid& grid, const QString& level)
{
    GridPageSetup& setup = grid.PageSetup();
    setup.leftMargin = 1.2;
    setup.topMargin = 1.0;
    setup.rightMargin = 2.5;
    setup.bottomMargin = 1.0;
    setup.headerMargin = 1.2;
    setup.title = level + QStringLiteral(" 中奖名单");
    setup.titleFontSize = 22;
    setup.titleBold = true;
    setup.printGridLines = true;
    setup.printTitleRow = true;
    setup.lastRow = grid.Rows() - 1;
    setup.lastColumn = grid.Cols() - 1;
    setup.centreHorizontally = true;
    setup.rangeMode = 2;
}

WinnerPrintout CollectPrintout(const Grid& grid)
{
    const GridPageSetup& setup = grid.PageSetup();
    WinnerPrintout printout;
    printout.title = setup.title;
    // The visible column holds the names; the hidden one beside it the
    // numbers, which the page needs so that namesakes can be told apart.
    int names = 0;
    for (int c = 1; c <= setup.lastColumn && c < grid.Cols() && names == 0; ++c)
        if (grid.ColWidth(c) > 0)
            names = c;
    if (names == 0)
        return printout;
    const int numbers = names + 1 <= setup.lastColumn && names + 1 < grid.Cols() ? names + 1 : 0;
    if (setup.printTitleRow) {
        // Above names with their numbers beside them the window's heading (号码) would mislead.
        printout.heading = numbers ? QStringLiteral("姓名") : grid.TextMatrix(0, names);
        printout.numberHeading = numbers ? QStringLiteral("号码") : QString();
    }
    for (int r = 1; r <= setup.lastRow && r < grid.Rows(); ++r) {
        printout.rows << grid.TextMatrix(r, names);
        if (numbers)
            printout.numbers << grid.TextMatrix(r, numbers);
    }
    return printout;
}

bool RenderPrintout(QPrinter& printer, const Grid& grid, const WinnerPrintout& printout)
{
    const GridPageSetup& setup = grid.PageSetup();
    printer.setPageMargins(QMarginsF(setup.leftMargin * kCmToPoints, setup.topMargin * kCmToPoints,
                                     setup.rightMargin * kCmToPoints, setup.bottomMargin * kCmToPoints),
                           QPageLayout::Point);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
    const double dpi = printer.resolution();

    QFont titleFont(QStringLiteral("宋体"));
    titleFont.setPixelSize(int(pointsToPixels(setup.titleFontSize, dpi)));
    titleFont.setBold(setup.titleBold);
    QFont cellFont(QStringLiteral("Tahoma"));
    cellFont.setPixelSize(int(pointsToPixels(14, dpi)));
    const PrintedTable table(setup, page.width(), dpi, !printout.numbers.isEmpty());
    const double rowHeight = table.rowHeight;
    const double titleTop = std::max(0.0, (setup.headerMargin - setup.topMargin) * dpi / 2.54);

    double y = 0;
    auto newPage = [&](bool first) {
        if (!first)
            printer.newPage();
        painter.setFont(titleFont);
        const double titleHeight = pointsToPixels(setup.titleFontSize * 1.8, dpi);
        painter.drawText(QRectF(0, titleTop, page.width(), titleHeight), Qt::AlignCenter, printout.title);
        y = titleTop + titleHeight + pointsToPixels(8, dpi);
        y += drawRecordLine(painter, printout.recordLine, QRectF(0, y, page.width(), pointsToPixels(16, dpi)));
        painter.setFont(cellFont);
        if (!printout.heading.isEmpty()) {
            table.drawRow(painter, y, printout.heading, printout.numberHeading, true);
            y += rowHeight;
        }
    };
    newPage(true);
    for (qsizetype i = 0; i < printout.rows.size(); ++i) {
        if (y + rowHeight > page.height())
            newPage(false);
        table.drawRow(painter, y, printout.rows[i], printout.numbers.value(i), false);
        y += rowHeight;
    }
    painter.end();
    return true;
}

void PrintWinners(Grid& grid, const QString& level, QWidget* parent, const QString& recordLine)
{
    SetUpWinnersPage(grid, level);
    WinnerPrintout printout = CollectPrintout(grid);
    printout.recordLine = recordLine;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(printout.title);
    bool started = true;
    auto render = [&](QPrinter& target) {
        if (!RenderPrintout(target, grid, printout))
            started = false;
    };
    QString error = g_previewHandler ? g_previewHandler(printer, printout, render) : showPreview(printer, render, parent);
    if (error.isEmpty() && !started)
        error = drawview::Say("The printer could not be started: nothing was printed.", "无法启动打印机：没有打印任何内容。");
    if (!error.isEmpty())
        ui::messageBox().show(error, conn::AppTitle(), ui::Buttons::Ok, ui::Icon::None);
}

}  // namespace printing
