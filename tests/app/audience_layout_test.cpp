// The audience view's layout on the screens a hall may have: any number of
// winners from 1 to 200 fits, every one shown once, none overlapping, none
// too small to read from the back, and the header, body and footer apart.

#include <set>

#include <QFontMetricsF>
#include <QtTest>

#include "app/audience_layout.h"

namespace {

// Names of two to four characters, some alike, and eleven-digit numbers,
// as the view shows them masked and in full.
std::vector<QString> namesFor(int count, bool masked)
{
    const QStringList full = {"钟丽强", "胡秀泽", "欧阳娜娜", "李四", "张三丰", "司马光明"};
    const QStringList hidden = {"钟*强", "胡*泽", "欧**娜", "李*", "张*丰", "司**明"};
    std::vector<QString> names;
    for (int i = 0; i < count; ++i)
        names.push_back((masked ? hidden : full)[i % full.size()]);
    return names;
}

std::vector<QString> numbersFor(int count, bool masked)
{
    std::vector<QString> numbers;
    for (int i = 0; i < count; ++i) {
        const QString number = QString::number(13800000000LL + i * 7919);
        numbers.push_back(masked ? number.left(3) + "****" + number.right(4) : number);
    }
    return numbers;
}

}  // namespace

class AudienceLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void winnersFitAnyScreen_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("masked");
        for (const QSize size : {QSize(1024, 768), QSize(1600, 1200), QSize(1920, 1080), QSize(3840, 2160)})
            for (const int count : {1, 3, 20, 100, 200})
                QTest::addRow("%dx%d, %d winners", size.width(), size.height(), count)
                    << size << count << (count % 2 == 1);
    }

    void winnersFitAnyScreen()
    {
        QFETCH(QSize, screen);
        QFETCH(int, count);
        QFETCH(bool, masked);
        const audiencelayout::Frame frame = audiencelayout::FrameFor(screen);
        const std::vector<QString> names = namesFor(count, masked);
        const std::vector<QString> numbers = numbersFor(count, masked);
        const audiencelayout::WinnerGrid grid = audiencelayout::LayWinners(frame.body, screen, names, numbers);

        // Readable from the back of a hall: a name at least a thirtieth of the screen's height.
        QVERIFY2(grid.namePixels >= screen.height() / 30.0, qPrintable(QString::number(grid.namePixels)));
        QVERIFY(grid.numberPixels >= screen.height() / 60.0);
        const QFontMetricsF nameMetrics(audiencelayout::Font(grid.namePixels, true));
        const QFontMetricsF numberMetrics(audiencelayout::Font(grid.numberPixels, false));
        QVERIFY(nameMetrics.height() + numberMetrics.height() <= grid.cellSize.height());

        std::set<int> shown;
        for (int page = 0; page < grid.pages; ++page) {
            const std::vector<QRectF> cells = grid.cells(frame.body, page);
            QVERIFY(!cells.empty());
            for (std::size_t i = 0; i < cells.size(); ++i) {
                const int winner = grid.firstOnPage(page) + int(i);
                QVERIFY2(shown.insert(winner).second, "a winner on two pages");
                // Within half a pixel: cells that fill the body end on its edge.
                QVERIFY2(frame.body.adjusted(-0.5, -0.5, 0.5, 0.5).contains(cells[i]), "a cell outside the body");
                // The texts as shown fit their cell.
                QVERIFY(nameMetrics.horizontalAdvance(names[std::size_t(winner)]) <= cells[i].width());
                QVERIFY(numberMetrics.horizontalAdvance(numbers[std::size_t(winner)]) <= cells[i].width());
                for (std::size_t j = 0; j < i; ++j)
                    QVERIFY2(!cells[i].adjusted(0.01, 0.01, -0.01, -0.01).intersects(cells[j]), "cells overlap");
            }
        }
        QCOMPARE(int(shown.size()), count);
        QCOMPARE(*shown.rbegin(), count - 1);
        // Pages only when they cannot all be read at once; a few are shown large.
        if (count <= 20 && screen.height() >= 1080)
            QCOMPARE(grid.pages, 1);
        if (count == 1)
            QVERIFY(grid.namePixels >= screen.height() / 10.0);
    }

    void regionsStayApart_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::newRow("4:3, 1024x768") << QSize(1024, 768);
        QTest::newRow("16:9, 1920x1080") << QSize(1920, 1080);
        QTest::newRow("16:10, 2560x1600") << QSize(2560, 1600);
        QTest::newRow("16:9, 3840x2160") << QSize(3840, 2160);
    }

    void regionsStayApart()
    {
        QFETCH(QSize, screen);
        const audiencelayout::Frame f = audiencelayout::FrameFor(screen);
        const QRectF all(QPointF(0, 0), QSizeF(screen));
        const QList<QRectF> regions = {f.title, f.level, f.round, f.remaining, f.body, f.anchor, f.qr};
        for (int i = 0; i < regions.size(); ++i) {
            QVERIFY(all.contains(regions[i]));
            QVERIFY(regions[i].width() > 0 && regions[i].height() > 0);
            for (int j = 0; j < i; ++j)
                QVERIFY2(!regions[i].intersects(regions[j]), qPrintable(QStringLiteral("%1 and %2").arg(i).arg(j)));
        }
        // The body takes most of the screen; the code is square.
        QVERIFY(f.body.height() > screen.height() * 0.4);
        QCOMPARE(f.qr.width(), f.qr.height());
    }
};

QTEST_MAIN(AudienceLayoutTest)
#include "audience_layout_test.moc"
