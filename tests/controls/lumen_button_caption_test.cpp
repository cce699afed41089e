// The four-corner gradient and the caption with its anchors, offsets and
// effects, as pixels of the button's surface.
#include <QtTest>

#include "tests/support/test_canvas.h"
#include "tests/controls/paint_test_support.h"

using namespace painttest;

class LumenButtonCaptionTest : public QObject {
    Q_OBJECT
private slots:
    void disabledClassicUsesDisabledCaptionColour();
    void fourCornerGradient256Rows();
    void fourCornerGradientEqualCorners();
    void captionEffects_data();
    void captionEffects();
    void captionOffsets();
    void captionOffsetsOutOfRangeHideTheCaption();
    void unknownEffectHidesEnabledCaptionOnly();
};

void LumenButtonCaptionTest::disabledClassicUsesDisabledCaptionColour()
{
    auto button = captionButton(LumenButton::Shadow);
    button->setEnabled(false);
    const QImage image = paint(*button);
    QVERIFY(!pixelsOf(image, kDisabledCaption).empty());
    QVERIFY(pixelsOf(image, kEffect).empty());
    QVERIFY(pixelsOf(image, kFore).empty());
    QCOMPARE(describe(colourAt(image, 37, 20)), describe(RGB(245, 244, 234)));
}

void LumenButtonCaptionTest::fourCornerGradient256Rows()
{
    TestCanvas canvas(4, 258, {0, 0, 0, 0}, true);
    const gdi::HDC dc = canvas.dc;
    LumenButton button;
    std::int32_t left = 1, top = 1, width = 2, height = 256;
    button.DrawGradientFourColour(dc, left, top, width, height, 0, 0, RGB(255, 255, 255), RGB(255, 255, 255));
    QCOMPARE(left, 1);
    QCOMPARE(height, 256);
    for (int i = 0; i < 256; ++i) {
        const int grey = int(std::nearbyint(255.0 * i / 256.0));
        QCOMPARE(describe(gdi::GetPixel(dc, 1, 1 + i)), describe(RGB(grey, grey, grey)));
        QCOMPARE(describe(gdi::GetPixel(dc, 2, 1 + i)), describe(RGB(grey, grey, grey)));
    }
    QCOMPARE(describe(gdi::GetPixel(dc, 1, 256)), describe(RGB(254, 254, 254)));
    QCOMPARE(describe(gdi::GetPixel(dc, 1, 257)), describe(RGB(0, 0, 0)));  // untouched
    QCOMPARE(describe(gdi::GetPixel(dc, 3, 5)), describe(RGB(0, 0, 0)));
}

void LumenButtonCaptionTest::fourCornerGradientEqualCorners()
{
    TestCanvas canvas(12, 9, {0, 0, 0, 0}, true);
    const gdi::HDC dc = canvas.dc;
    LumenButton button;
    const COLORREF c = RGB(93, 181, 226);
    std::int32_t left = 2, top = 3, width = 7, height = 5;
    button.DrawGradientFourColour(dc, left, top, width, height, c, c, c, c);
    std::int32_t zero = 0;
    button.DrawGradientFourColour(dc, left, top, width, zero, 0, 0, 0, 0);  // draws nothing
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 12; ++x) {
            const bool inside = x >= 2 && x < 9 && y >= 3 && y < 8;
            QCOMPARE(describe(gdi::GetPixel(dc, x, y)), describe(inside ? c : RGB(0, 0, 0)));
        }
}

void LumenButtonCaptionTest::captionEffects_data()
{
    QTest::addColumn<int>("effect");
    QTest::addColumn<int>("shadowX");
    QTest::addColumn<int>("shadowY");
    QTest::newRow("plain") << 1 << 2 << 2;
    QTest::newRow("embossed") << 2 << 2 << 2;
    QTest::newRow("engraved") << 3 << 2 << 2;
    QTest::newRow("outline") << 4 << 2 << 2;
    QTest::newRow("shadow 2,2") << 5 << 2 << 2;
    QTest::newRow("shadow 5,0") << 5 << 5 << 0;
}

void LumenButtonCaptionTest::captionEffects()
{
    QFETCH(int, effect);
    QFETCH(int, shadowX);
    QFETCH(int, shadowY);
    // The glyph pixels G of the plain caption, then each effect's copies around them.
    auto plain = captionButton(LumenButton::Plain);
    const PixelSet glyphs = pixelsOf(paint(*plain), kFore);
    QVERIFY(glyphs.size() > 10);

    auto button = captionButton(effect);
    button->setShadowOffsetX(std::int16_t(shadowX));
    button->setShadowOffsetY(std::int16_t(shadowY));
    const QImage image = paint(*button);
    PixelSet effectPixels, greyPixels;
    switch (effect) {
    case LumenButton::Embossed:
        greyPixels = minus(shifted(glyphs, 1, 1), glyphs);
        effectPixels = minus(shifted(glyphs, -1, -1), unite(glyphs, shifted(glyphs, 1, 1)));
        break;
    case LumenButton::Engraved:
        greyPixels = minus(shifted(glyphs, -1, 0), glyphs);
        effectPixels = minus(shifted(glyphs, 1, 1), unite(glyphs, shifted(glyphs, -1, 0)));
        break;
    case LumenButton::Outline:
        effectPixels = minus(unite(unite(shifted(glyphs, 1, 0), shifted(glyphs, -1, 0)),
                                   unite(shifted(glyphs, 0, -1), shifted(glyphs, 0, 1))),
                             glyphs);
        break;
    case LumenButton::Shadow:
        effectPixels = minus(shifted(glyphs, shadowX, shadowY), glyphs);
        break;
    default:
        break;
    }
    QCOMPARE(pixelsOf(image, kFore), glyphs);
    QCOMPARE(pixelsOf(image, kEffect), effectPixels);
    QCOMPARE(pixelsOf(image, kGrey), greyPixels);
}

void LumenButtonCaptionTest::captionOffsets()
{
    auto plain = captionButton(LumenButton::Plain);
    const PixelSet glyphs = pixelsOf(paint(*plain), kFore);
    auto button = captionButton(LumenButton::Plain);
    // Even offsets move the caption by exactly that much: the centred anchor
    // may end in .5, and adding an even number keeps its rounding direction.
    button->setCaptionOffsetX(4);
    button->setCaptionOffsetY(2);
    QCOMPARE(pixelsOf(paint(*button), kFore), shifted(glyphs, 4, 2));
    // A new alignment clears the offsets: TopLeft puts the text at (1, 0).
    button->setCaptionAlignment(LumenButton::TopLeft);
    QCOMPARE(button->CaptionOffsetX(), std::int16_t(0));
    const PixelSet topLeft = pixelsOf(paint(*button), kFore);
    QVERIFY(!topLeft.empty());
    QVERIFY(topLeft.begin()->first >= 1);
    QVERIFY(topLeft.begin()->first < glyphs.begin()->first);
}

void LumenButtonCaptionTest::captionOffsetsOutOfRangeHideTheCaption()
{
    struct Case {
        std::int16_t captionX, captionY, shadowX;
        std::int32_t effect;
    };
    const Case cases[] = {{-1, 0, 2, LumenButton::Plain},
                          {256, 0, 2, LumenButton::Plain},
                          {0, -5, 2, LumenButton::Outline},
                          {0, 0, 300, LumenButton::Shadow},
                          {0, 0, -1, LumenButton::Shadow}};
    for (const Case& c : cases) {
        auto button = captionButton(c.effect);
        button->setCaptionOffsetX(c.captionX);
        button->setCaptionOffsetY(c.captionY);
        button->setShadowOffsetX(c.shadowX);
        const QImage image = paint(*button);
        QVERIFY(pixelsOf(image, kFore).empty());
        QVERIFY(pixelsOf(image, kEffect).empty());
    }
    // Shadow offsets do not matter to the other effects.
    auto button = captionButton(LumenButton::Outline);
    button->setShadowOffsetX(-1);
    QVERIFY(!pixelsOf(paint(*button), kFore).empty());
}

void LumenButtonCaptionTest::unknownEffectHidesEnabledCaptionOnly()
{
    for (const std::int32_t effect : {0, 6}) {
        auto button = captionButton(effect);
        QVERIFY(pixelsOf(paint(*button), kFore).empty());
        button->setEnabled(false);
        QVERIFY(!pixelsOf(paint(*button), kDisabledCaption).empty());
    }
}

QTEST_MAIN(LumenButtonCaptionTest)
#include "lumen_button_caption_test.moc"
