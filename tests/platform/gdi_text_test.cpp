// Text output and extents of the raster layer.
#include <QtTest>

#include "platform/gdi/gdi.h"
#include "tests/support/test_canvas.h"

using namespace gdi;

namespace {

constexpr COLORREF kMarker = RGB(1, 2, 3);

// A bottom-up canvas filled with kMarker, with counts of the pixels in a colour.
struct Canvas : TestCanvas {
    Canvas(int width, int height) : TestCanvas(width, height, {3, 2, 1, 0}, true) {}
    QRect inkOf(COLORREF c) const
    {
        QRect ink;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (colour(x, y) == c)
                    ink |= QRect(x, y, 1, 1);
        return ink;
    }
    int count(COLORREF c) const
    {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                n += colour(x, y) == c;
        return n;
    }
};

LogFont sansFont()
{
    LogFont font;
    font.faceName = QStringLiteral("DejaVu Sans");
    font.pointSize = 9.0;
    return font;
}

}  // namespace

class GdiTextTest : public QObject {
    Q_OBJECT
private slots:
    void pointSizeIsTakenAt96Dpi_data();
    void pointSizeIsTakenAt96Dpi();
    void transparentTextTouchesOnlyGlyphs();
    void opaqueTextFillsItsExtent();
    void textMovesWithItsOrigin();
    void textOffTheBitmapIsClipped();
};

void GdiTextTest::pointSizeIsTakenAt96Dpi_data()
{
    QTest::addColumn<double>("points");
    QTest::addColumn<int>("pixels");
    QTest::newRow("9pt") << 9.0 << 12;
    QTest::newRow("10.5pt") << 10.5 << 14;
    QTest::newRow("12pt") << 12.0 << 16;
    QTest::newRow("tiny") << 0.1 << 1;
}

void GdiTextTest::pointSizeIsTakenAt96Dpi()
{
    QFETCH(double, points);
    QFETCH(int, pixels);
    LogFont font;
    font.pointSize = points;
    QCOMPARE(toQFont(font).pixelSize(), pixels);
}

void GdiTextTest::transparentTextTouchesOnlyGlyphs()
{
    Canvas canvas(60, 30);
    SelectFont(canvas.dc, sansFont());
    SetTextColor(canvas.dc, RGB(200, 0, 0));
    SetBkMode(canvas.dc, TRANSPARENT);
    SIZE extent;
    QVERIFY(GetTextExtentPoint32(canvas.dc, QStringLiteral("Ab"), &extent));
    QVERIFY(extent.cx > 0 && extent.cy > 0);
    QVERIFY(TextOut(canvas.dc, 5, 4, QStringLiteral("Ab")));
    const QRect ink = canvas.inkOf(RGB(200, 0, 0));
    QVERIFY(!ink.isEmpty());
    // Unsmoothed glyphs: every pixel is either the text colour or untouched.
    QCOMPARE(canvas.count(RGB(200, 0, 0)) + canvas.count(kMarker), canvas.width * canvas.height);
    QVERIFY(QRect(5, 4, extent.cx, extent.cy).contains(ink));
}

void GdiTextTest::opaqueTextFillsItsExtent()
{
    Canvas canvas(60, 30);
    SelectFont(canvas.dc, sansFont());
    SetTextColor(canvas.dc, RGB(0, 0, 0));
    SetBkColor(canvas.dc, RGB(0, 255, 0));
    SetBkMode(canvas.dc, OPAQUE);
    SIZE extent;
    GetTextExtentPoint32(canvas.dc, QStringLiteral("Ab"), &extent);
    TextOut(canvas.dc, 2, 3, QStringLiteral("Ab"));
    const int glyphs = canvas.count(RGB(0, 0, 0));
    QVERIFY(glyphs > 0);
    QCOMPARE(canvas.count(RGB(0, 255, 0)) + glyphs, extent.cx * extent.cy);
    QCOMPARE(canvas.inkOf(RGB(0, 255, 0)) | canvas.inkOf(RGB(0, 0, 0)), QRect(2, 3, extent.cx, extent.cy));
}

void GdiTextTest::textMovesWithItsOrigin()
{
    Canvas first(60, 30), second(60, 30);
    for (Canvas* c : {&first, &second}) {
        SelectFont(c->dc, sansFont());
        SetBkMode(c->dc, TRANSPARENT);
        SetTextColor(c->dc, RGB(9, 9, 9));
    }
    TextOut(first.dc, 3, 2, QStringLiteral("Hg"));
    TextOut(second.dc, 10, 7, QStringLiteral("Hg"));
    QCOMPARE(second.inkOf(RGB(9, 9, 9)), first.inkOf(RGB(9, 9, 9)).translated(7, 5));
    QCOMPARE(second.count(RGB(9, 9, 9)), first.count(RGB(9, 9, 9)));
}

void GdiTextTest::textOffTheBitmapIsClipped()
{
    Canvas canvas(8, 8);
    SelectFont(canvas.dc, sansFont());
    SetBkMode(canvas.dc, OPAQUE);
    SetBkColor(canvas.dc, RGB(0, 255, 0));
    QVERIFY(TextOut(canvas.dc, -20, -20, QStringLiteral("Wide text")));
    QVERIFY(TextOut(canvas.dc, 6, 6, QStringLiteral("Wide text")));
    QCOMPARE(canvas.count(kMarker) < 64, true);
    QVERIFY(TextOut(canvas.dc, 100000, 100000, QString()));
}

QTEST_MAIN(GdiTextTest)
#include "gdi_text_test.moc"
