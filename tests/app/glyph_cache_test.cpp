// The rolling display's glyphs: drawn where the painter would draw the
// same text, and kept within their byte limit however many there are.

#include <QPainter>
#include <QtTest>

#include "app/audience_layout.h"
#include "app/glyph_cache.h"

namespace {

// The box of the pixels that are not the background.
QRect ink(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) > 64)
                box |= QRect(x, y, 1, 1);
    return box;
}

}  // namespace

class GlyphCacheTest : public QObject {
    Q_OBJECT
private slots:
    void drawsWhereThePainterWould_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("bold");
        QTest::newRow("Chinese, thickened") << QStringLiteral("钟*强") << true;
        QTest::newRow("digits and Chinese") << QStringLiteral("138****5678 欧阳") << false;
    }
    void drawsWhereThePainterWould()
    {
        QFETCH(QString, text);
        QFETCH(bool, bold);
        const QFont font = audiencelayout::Font(150, bold);
        QImage ours(1600, 300, QImage::Format_RGB32), theirs = ours;
        ours.fill(Qt::black);
        theirs.fill(Qt::black);
        GlyphCache cache;
        QPainter painter(&ours);
        cache.draw(painter, QPointF(40, 60), text, font, Qt::white);
        painter.end();
        painter.begin(&theirs);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QPointF(40, 60 + QFontMetricsF(font).ascent()), text);
        painter.end();
        // Thickening grows strokes by a few pixels; nothing else moves.
        const QRect a = ink(ours), b = ink(theirs);
        QVERIFY(!a.isEmpty());
        const int slack = 150 / 45 + 2;
        QVERIFY2(std::abs(a.left() - b.left()) <= slack && std::abs(a.right() - b.right()) <= slack &&
                     std::abs(a.top() - b.top()) <= slack && std::abs(a.bottom() - b.bottom()) <= slack,
                 qPrintable(QStringLiteral("%1,%2 %3x%4 against %5,%6 %7x%8")
                                .arg(a.x()).arg(a.y()).arg(a.width()).arg(a.height())
                                .arg(b.x()).arg(b.y()).arg(b.width()).arg(b.height())));
    }

    void keepsWithinItsLimit()
    {
        const std::size_t limit = 400 * 1024;
        GlyphCache cache(limit);
        QImage image(2000, 300, QImage::Format_RGB32);
        QPainter painter(&image);
        const QFont font = audiencelayout::Font(200, true);
        const QString many = QStringLiteral("赵钱孙李周吴郑王冯陈褚卫蒋沈韩杨朱秦尤许何吕施张孔曹严华金魏陶姜");
        for (const QChar c : many)
            cache.draw(painter, QPointF(0, 0), QString(c), font, Qt::white);
        QVERIFY(cache.bytesHeld() > 0);
        QVERIFY2(cache.bytesHeld() <= limit, qPrintable(QString::number(cache.bytesHeld())));
    }
};

QTEST_MAIN(GlyphCacheTest)
#include "glyph_cache_test.moc"
