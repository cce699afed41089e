// The button painted at device resolution: faces, frames and regions for
// the real pixel size, the caption grown with the scale, the icon from its
// sharpest file. Also run with a screen pixel ratio of 2 (second ctest entry).

#include <QTemporaryDir>
#include <QtTest>

#include "tests/controls/paint_test_support.h"

using namespace painttest;

namespace {

// A button of the designed size kW x kH shown at the scale: its widget is the
// scaled size and it paints for the device pixels behind that.
std::unique_ptr<LumenButton> scaledButton(int theme, Look look, double scale, QWidget* parent = nullptr)
{
    auto button = makeButton(theme, look, int(kW * scale + 0.5), int(kH * scale + 0.5));
    if (parent)
        button->setParent(parent);
    button->setDisplayScale(scale);
    return button;
}

QRect boundsOf(const QImage& image, COLORREF colour)
{
    QRect bounds;
    for (const auto& [x, y] : pixelsOf(image, colour))
        bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// A picture whose every pixel differs from its right and lower neighbours,
// so that any enlarging of it shows.
QImage checkerboard(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            image.setPixel(x, y, (x + y) % 2 ? qRgb(0, 0, 255) : qRgb(0, 255, 0));
    return image;
}

}  // namespace

class LumenButtonScaleTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    // At scale 2 the face is the one designed for a button of twice the
    // pixels (corners rounded twice as wide), not the small one enlarged.
    void faceIsDrawnForTheDevicePixels_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<int>("look");
        for (int theme = 1; theme <= 9; ++theme)
            for (Look look : {Normal, Focus, Pressed, Disabled})
                QTest::addRow("theme %d look %d", theme, int(look)) << theme << int(look);
    }
    void faceIsDrawnForTheDevicePixels()
    {
        QFETCH(int, theme);
        QFETCH(int, look);
        auto scaled = scaledButton(theme, Look(look), 2);
        auto large = makeButton(theme, Look(look), 2 * kW, 2 * kH);
        large->setRoundedValue(2 * scaled->RoundedValue());
        QCOMPARE(paint(*scaled), paint(*large));
        if (scaled->devicePixelRatioF() == 1.0)
            QCOMPARE(scaled->mask(), large->mask());
    }

    void edgesAreOneDevicePixelWide_data()
    {
        QTest::addColumn<int>("theme");
        QTest::addColumn<quint32>("border");
        QTest::newRow("Classic") << int(LumenButton::Classic) << quint32(RGB(0, 60, 116));
        QTest::newRow("Silver") << int(LumenButton::Silver) << quint32(RGB(99, 99, 99));
        QTest::newRow("Glass") << int(LumenButton::Glass) << quint32(RGB(75, 86, 93));
    }
    void edgesAreOneDevicePixelWide()
    {
        QFETCH(int, theme);
        QFETCH(quint32, border);
        auto button = scaledButton(theme, Normal, 2);
        const QImage image = paint(*button);
        const int w = image.width(), h = image.height();
        QCOMPARE(w, int(std::nearbyint(2 * kW * button->devicePixelRatioF())));
        // The outline runs from (0, 0) to (W-1, H-1), right and bottom excluded.
        const int midX = w / 2, midY = h / 2;
        const int right = w - 2, bottom = h - 2;
        QCOMPARE(describe(colourAt(image, 0, midY)), describe(border));
        QCOMPARE(describe(colourAt(image, right, midY)), describe(border));
        QCOMPARE(describe(colourAt(image, midX, 0)), describe(border));
        QCOMPARE(describe(colourAt(image, midX, bottom)), describe(border));
        QVERIFY(colourAt(image, 1, midY) != border);
        QVERIFY(colourAt(image, right - 1, midY) != border);
        QVERIFY(colourAt(image, midX, 1) != border);
        QVERIFY(colourAt(image, midX, bottom - 1) != border);
    }

    void captionGrowsWithTheScale_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("1.5") << 1.5;
        QTest::newRow("2") << 2.0;
        QTest::newRow("3") << 3.0;
    }
    void captionGrowsWithTheScale()
    {
        QFETCH(double, scale);
        auto small = captionButton(LumenButton::Plain);
        const QRect one = boundsOf(paint(*small), kFore);
        QVERIFY(!one.isEmpty());
        auto big = captionButton(LumenButton::Plain);
        big->resize(int(kW * scale + 0.5), int(kH * scale + 0.5));
        big->setDisplayScale(scale);
        const QImage image = paint(*big);
        const QRect grown = boundsOf(image, kFore);
        // Glyphs of a font scaled by s are s times as tall, give or take the hinting.
        QVERIFY2(std::abs(grown.height() - one.height() * scale) <= 2 + scale,
                 qPrintable(QStringLiteral("%1 vs %2").arg(grown.height()).arg(one.height())));
        QVERIFY(std::abs(grown.width() - one.width() * scale) <= 2 + 2 * scale);
        // Still centred.
        QVERIFY(std::abs(grown.center().x() - image.width() / 2) <= 2 * scale);
    }

    // The outline ring is as wide as one designed pixel, without gaps.
    void outlineEffectGrowsWithoutGaps()
    {
        auto button = captionButton(LumenButton::Outline);
        button->resize(2 * kW, 2 * kH);
        button->setDisplayScale(2);
        const QImage image = paint(*button);
        const PixelSet fore = pixelsOf(image, kFore);
        const PixelSet effect = pixelsOf(image, kEffect);
        for (const auto& [dx, dy] : {std::pair{1, 0}, {2, 0}, {-1, 0}, {-2, 0}, {0, 1}, {0, 2}, {0, -1}, {0, -2}})
            QVERIFY(minus(shifted(fore, dx, dy), unite(fore, effect)).empty());
    }

    void iconComesFromTheSharpestFile_data()
    {
        QTest::addColumn<double>("scale");
        QTest::addColumn<bool>("variant");
        QTest::newRow("scale 1 with a variant") << 1.0 << true;
        QTest::newRow("scale 2 with a variant") << 2.0 << true;
        QTest::newRow("scale 1.5 with a variant") << 1.5 << true;
        QTest::newRow("scale 2 without a variant") << 2.0 << false;
    }
    void iconComesFromTheSharpestFile()
    {
        QFETCH(double, scale);
        QFETCH(bool, variant);
        const QString folder = m_dir.filePath(QStringLiteral("%1-%2").arg(scale).arg(variant));
        QDir().mkpath(folder);
        QImage designed(10, 10, QImage::Format_ARGB32);
        designed.fill(Qt::red);
        QVERIFY(designed.save(folder + "/icon.png"));
        if (variant)
            QVERIFY(checkerboard(20).save(folder + "/icon@2x.png"));
        auto button = scaledButton(LumenButton::Classic, Normal, scale);
        button->setIconSource(folder + "/icon.png");
        button->setIcon(true);
        const QImage image = paint(*button);
        const double d = button->deviceScale();
        const int size = int(std::nearbyint(10 * d));
        // Left aligned, five designed pixels in, vertically centred.
        const int x0 = int(std::nearbyint(5 * d));
        const int y0 = int(std::nearbyint(image.height() / 2.0 - size / 2.0));
        const QImage drawn = image.copy(x0, y0, size, size).convertToFormat(QImage::Format_RGB32);
        // The face lies right beside it.
        QCOMPARE(colourAt(image, x0 + size, y0 + 1), colourAt(image, x0 + size + 3, y0 + 1));
        QVERIFY(colourAt(image, x0 + size - 1, y0 + 1) != colourAt(image, x0 + size, y0 + 1));
        if (variant && d == 2.0) {
            // The variant's own pixels: nothing enlarged.
            QCOMPARE(drawn, checkerboard(20).convertToFormat(QImage::Format_RGB32));
        } else if (!variant || d == 1.0) {
            QImage red(size, size, QImage::Format_RGB32);
            red.fill(Qt::red);
            QCOMPARE(drawn, red);
        }
    }

    void scaleOneAgainPaintsAsDesigned()
    {
        auto button = makeButton(LumenButton::Glass, Focus);
        button->setCaption(QStringLiteral("Ab"));
        const QImage designed = paint(*button);
        button->resize(2 * kW, 2 * kH);
        button->setDisplayScale(2);
        QVERIFY(paint(*button) != designed);
        button->resize(kW, kH);
        button->setDisplayScale(1);
        if (button->devicePixelRatioF() == 1.0)
            QCOMPARE(paint(*button), designed);
    }

    // Under a screen pixel ratio the surface has the device pixels.
    void screenRatioEnlargesTheSurface()
    {
        auto button = makeButton(LumenButton::Silver, Normal);
        button->setRoundedValue(12);
        const double ratio = button->devicePixelRatioF();
        if (ratio == 1.0)
            QSKIP("needs a screen pixel ratio other than 1 (run with QT_SCALE_FACTOR=2)");
        QCOMPARE(button->deviceScale(), ratio);
        const QImage image = paint(*button);
        QCOMPARE(image.size(), QSize(int(kW * ratio + 0.5), int(kH * ratio + 0.5)));
        // The logical corner pixel lies wholly outside the doubled rounding.
        QVERIFY(!button->mask().isEmpty());
        QVERIFY(!button->mask().contains(QPoint(0, 0)));
        QVERIFY(button->mask().contains(QPoint(kW / 2, 0)));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_MAIN(LumenButtonScaleTest)
#include "lumen_button_scale_test.moc"
