// The button's image: position by alignment, opacity over the face, the
// disabled look, and files that do not load.
#include <QTemporaryDir>
#include <QtTest>

#include "tests/controls/paint_test_support.h"
#include "tests/imaging/png_builder.h"

using namespace painttest;

namespace {

// An opaque red RGBA PNG of w x h pixels.
QString writeRedPng(const QString& path, int w, int h)
{
    pngtest::Bytes rows;
    for (int y = 0; y < h; ++y) {
        rows.push_back(0);
        for (int x = 0; x < w; ++x)
            rows.insert(rows.end(), {255, 0, 0, 255});
    }
    const pngtest::Bytes file = pngtest::png(pngtest::ihdr(std::uint32_t(w), std::uint32_t(h), 8, 6), {}, rows);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(file.data()), qint64(file.size()));
    return path;
}

// A white 1-bit greyscale PNG of w x h pixels: large pictures in few bytes.
QString writeWhiteBitmapPng(const QString& path, int w, int h)
{
    pngtest::Bytes rows;
    for (int y = 0; y < h; ++y) {
        rows.push_back(0);
        rows.insert(rows.end(), std::size_t((w + 7) / 8), 0xFF);
    }
    const pngtest::Bytes file = pngtest::png(pngtest::ihdr(std::uint32_t(w), std::uint32_t(h), 1, 0), {}, rows);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(reinterpret_cast<const char*>(file.data()), qint64(file.size()));
    return path;
}

// (a x b) / 255 rounded, as the blend computes it.
int mul255(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

}  // namespace

class LumenButtonIconTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void placement_data();
    void placement();
    void opacityBlendsOverTheFace_data();
    void opacityBlendsOverTheFace();
    void nothingDrawnWithoutALoadedImage();

private:
    QTemporaryDir m_dir;
};

void LumenButtonIconTest::placement_data()
{
    QTest::addColumn<int>("alignment");
    QTest::addColumn<int>("look");
    QTest::addColumn<int>("buttonWidth");
    QTest::addColumn<int>("buttonHeight");
    QTest::addColumn<int>("imageSize");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    // Y = H/2 - h/2 with halves to even: 23/2 - 6/2 = 8.5 -> 8.
    QTest::newRow("left") << 1 << int(Normal) << 75 << 23 << 6 << 5 << 8;
    QTest::newRow("right") << 2 << int(Normal) << 75 << 23 << 6 << 75 - 6 - 5 << 8;
    QTest::newRow("left disabled keeps its colours") << 1 << int(Disabled) << 75 << 23 << 6 << 5 << 8;
    // Other alignments land at the size ScaleImage gives for a W x W box.
    QTest::newRow("other alignment") << 3 << int(Normal) << 75 << 23 << 6 << 6 << 6;
    // 48 x 48 on 100 x 30: drawn at (5, -9), overflowing.
    QTest::newRow("overflowing") << 1 << int(Normal) << 100 << 30 << 48 << 5 << -9;
}

void LumenButtonIconTest::placement()
{
    QFETCH(int, alignment);
    QFETCH(int, look);
    QFETCH(int, buttonWidth);
    QFETCH(int, buttonHeight);
    QFETCH(int, imageSize);
    QFETCH(int, x);
    QFETCH(int, y);
    auto button = makeButton(LumenButton::Classic, Look(look), buttonWidth, buttonHeight);
    button->setIconSource(writeRedPng(m_dir.filePath("icon.png"), imageSize, imageSize));
    button->setIconAlignment(alignment);
    button->setTransparencyICO(100);
    button->setIcon(true);
    const QImage image = paint(*button);
    const COLORREF red = RGB(255, 0, 0);
    for (int py = 0; py < buttonHeight; ++py) {
        for (int px = 0; px < buttonWidth; ++px) {
            const bool inside = px >= x && px < x + imageSize && py >= y && py < y + imageSize;
            if (inside)
                QCOMPARE(describe(colourAt(image, px, py)), describe(red));
            else if (colourAt(image, px, py) == red)
                QFAIL(qPrintable(QStringLiteral("red outside the image at %1,%2").arg(px).arg(py)));
        }
    }
}

void LumenButtonIconTest::opacityBlendsOverTheFace_data()
{
    QTest::addColumn<int>("opacity");
    QTest::addColumn<int>("alpha");  // the constant alpha it stands for
    QTest::newRow("100") << 100 << 255;
    QTest::newRow("50") << 50 << 128;
    QTest::newRow("30") << 30 << 76;
    QTest::newRow("0 hides it") << 0 << 0;
}

void LumenButtonIconTest::opacityBlendsOverTheFace()
{
    QFETCH(int, opacity);
    QFETCH(int, alpha);
    auto button = makeButton(LumenButton::Classic, Normal);
    button->setIconSource(writeRedPng(m_dir.filePath("icon.png"), 6, 6));
    button->setIconAlignment(1);
    const COLORREF face = colourAt(paint(*button), 6, 10);
    button->setTransparencyICO(std::int16_t(opacity));
    button->setIcon(true);
    const COLORREF drawn = colourAt(paint(*button), 6, 10);
    const COLORREF expected = RGB(mul255(255, alpha) + mul255(channel(face, 0), 255 - alpha),
                                  mul255(channel(face, 1), 255 - alpha), mul255(channel(face, 2), 255 - alpha));
    QCOMPARE(describe(drawn), describe(expected));
}

void LumenButtonIconTest::nothingDrawnWithoutALoadedImage()
{
    auto plain = makeButton(LumenButton::Classic, Normal);
    const QImage face = paint(*plain);
    // The icon is decoded on every paint: a picture beyond the icon's pixel
    // limit (1024 x 1024) is refused, however well it would load elsewhere.
    const QString sources[] = {m_dir.filePath("missing.png"), m_dir.path(),
                               writeWhiteBitmapPng(m_dir.filePath("huge.png"), 1025, 1024)};
    for (const QString& source : sources) {
        auto button = makeButton(LumenButton::Classic, Normal);
        button->setIconSource(source);
        button->setTransparencyICO(100);
        button->setIcon(true);
        QCOMPARE(paint(*button), face);
    }
    auto off = makeButton(LumenButton::Classic, Normal);
    off->setIconSource(writeRedPng(m_dir.filePath("icon.png"), 6, 6));
    off->setIcon(false);
    QCOMPARE(paint(*off), face);
}

QTEST_MAIN(LumenButtonIconTest)
#include "lumen_button_icon_test.moc"
