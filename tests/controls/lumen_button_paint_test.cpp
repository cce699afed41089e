// Pixels of the painted button: expected colours follow from the themes'
// drawing rules (gradient steps, corner gradients, positions), computed here.
#include <QtTest>

#include <cmath>
#include <memory>
#include <set>

#include "controls/lumenbutton/lumen_button.h"

using gdi::COLORREF;
using gdi::RGB;

Q_DECLARE_METATYPE(gdi::COLORREF)

namespace {

enum Look { Normal, Hover, Focus, Pressed, Disabled };
constexpr int kW = 75;
constexpr int kH = 23;

int channel(COLORREF c, int k)
{
    return int((c >> (8 * k)) & 0xFF);
}

// Step i of n of a two-vertex gradient: 16-bit channels, high byte kept.
COLORREF gradientStep(COLORREF a, COLORREF b, int i, int n)
{
    int out[3];
    for (int k = 0; k < 3; ++k) {
        const int a16 = channel(a, k) * 256, b16 = channel(b, k) * 256;
        out[k] = (a16 + (b16 - a16) * i / n) >> 8;
    }
    return RGB(out[0], out[1], out[2]);
}

// Entry i of a single-precision linear gradient of n steps.
COLORREF linearEntry(COLORREF a, COLORREF b, int n, int i)
{
    int out[3];
    for (int k = 0; k < 3; ++k) {
        const int from = channel(a, k), to = channel(b, k);
        const float step = (to - from == 0 || n == 0) ? 0.0f : float(double(to - from) / n);
        out[k] = int(std::nearbyint(double(from) + double(step) * i));
    }
    return RGB(out[0], out[1], out[2]);
}

// Pixel (dx, dy) of a w x h four-corner gradient.
COLORREF cornerGradient(COLORREF tl, COLORREF tr, COLORREF bl, COLORREF br, int w, int h, int dx, int dy)
{
    return linearEntry(linearEntry(tl, bl, h, dy), linearEntry(tr, br, h, dy), w, dx);
}

COLORREF colourAt(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

QString describe(COLORREF c)
{
    return QStringLiteral("(%1,%2,%3)").arg(channel(c, 0)).arg(channel(c, 1)).arg(channel(c, 2));
}

void applyLook(LumenButton& button, Look look)
{
    switch (look) {
    case Hover: button.setStateForTest(false, true, false); break;
    case Focus: button.setStateForTest(false, false, true); break;
    case Pressed: button.setStateForTest(true, false, false); break;
    case Disabled: button.setEnabled(false); break;
    default: break;
    }
}

std::unique_ptr<LumenButton> makeButton(int theme, Look look, int w = kW, int h = kH)
{
    auto button = std::make_unique<LumenButton>();
    button->resize(w, h);
    button->InitProperties();
    button->hoverTimer().stop();
    button->setCaption(QString());
    button->setTheme(theme);
    applyLook(*button, look);
    return button;
}

QImage paint(LumenButton& button)
{
    button.clearSurface();
    button.DrawButton();
    return button.surfaceImage();
}

using PixelSet = std::set<std::pair<int, int>>;

PixelSet pixelsOf(const QImage& image, COLORREF colour)
{
    PixelSet set;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (colourAt(image, x, y) == colour)
                set.insert({x, y});
    return set;
}

PixelSet shifted(const PixelSet& set, int dx, int dy)
{
    PixelSet out;
    for (const auto& [x, y] : set)
        if (x + dx >= 0 && x + dx < kW && y + dy >= 0 && y + dy < kH)
            out.insert({x + dx, y + dy});
    return out;
}

PixelSet minus(const PixelSet& a, const PixelSet& b)
{
    PixelSet out;
    for (const auto& p : a)
        if (!b.count(p))
            out.insert(p);
    return out;
}

PixelSet unite(const PixelSet& a, const PixelSet& b)
{
    PixelSet out = a;
    out.insert(b.begin(), b.end());
    return out;
}

constexpr COLORREF kFore = RGB(255, 0, 0);
constexpr COLORREF kEffect = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kDisabledCaption = RGB(0, 255, 0);

// A Classic button with a red two-letter caption in the given effect.
std::unique_ptr<LumenButton> captionButton(std::int32_t effect)
{
    auto button = makeButton(LumenButton::Classic, Normal);
    button->setCaption(QStringLiteral("Ab"));
    button->setForeColor(kFore);
    button->setCaptionEffectColor(kEffect);
    button->setCaptionDisableColor(kDisabledCaption);
    button->setCaptionEffect(effect);
    return button;
}

}  // namespace

class LumenButtonPaintTest : public QObject {
    Q_OBJECT
private slots:
    void themeFaceAndBorder_data();
    void themeFaceAndBorder();
    void coordinatesRoundHalvesToEven_data();
    void coordinatesRoundHalvesToEven();
    void midnightHasNoOutline();
    void amberPressedBlockHeights();
    void unknownThemeShowsOnlyHoverDots_data();
    void unknownThemeShowsOnlyHoverDots();
    void focusDotsFollowTheLook();
    void themeNinePressedDrawsFourLines();
    void disabledClassicUsesDisabledCaptionColour();
    void skyTurnsTheBackgroundWhite();
    void windowRegionFollowsRoundedValue();
    void fourCornerGradient256Rows();
    void fourCornerGradientEqualCorners();
    void captionEffects_data();
    void captionEffects();
    void captionOffsets();
    void captionOffsetsOutOfRangeHideTheCaption();
    void unknownEffectHidesEnabledCaptionOnly();
};

void LumenButtonPaintTest::themeFaceAndBorder_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("look");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<COLORREF>("expected");

    auto row = [](const char* name, int theme, Look look, int x, int y, COLORREF expected) {
        QTest::newRow(name) << theme << int(look) << x << y << expected;
    };
    // Face pixels: (37, 12) unless noted; H/2 = 11.5 rounds to 12, H/2-1 = 10.5 to 10,
    // H/2-H/6 = 7.67 and H/3 = 7.67 to 8, W/2 = 37.5 to 38, W/4 = 18.75 to 19.
    // Theme 1: the lower band starts at row 12; pressed moves it to rows 10..20.
    for (Look look : {Normal, Hover, Focus})
        row(qPrintable(QStringLiteral("frost face %1").arg(look)), 1, look, 37, 12, RGB(208, 220, 235));
    row("frost face pressed", 1, Pressed, 37, 12, gradientStep(RGB(227, 235, 243), RGB(253, 254, 254), 2, 11));
    row("frost face disabled", 1, Disabled, 37, 12, RGB(240, 240, 240));
    // Theme 2: band rows 12..14 (H-H/3 = 15.33 -> 15), row 13 is step 1 of 3.
    row("midnight face normal", 2, Normal, 37, 13, gradientStep(RGB(0, 0, 0), RGB(13, 29, 51), 1, 3));
    row("midnight face hover", 2, Hover, 37, 13, gradientStep(RGB(10, 39, 52), RGB(16, 64, 84), 1, 3));
    row("midnight face focus", 2, Focus, 37, 13, gradientStep(RGB(10, 39, 52), RGB(16, 64, 84), 1, 3));
    row("midnight face pressed", 2, Pressed, 37, 13, gradientStep(RGB(0, 0, 0), RGB(17, 39, 70), 1, 3));
    row("midnight face disabled", 2, Disabled, 37, 13, gradientStep(RGB(0, 0, 0), RGB(50, 50, 54), 1, 11));
    // Theme 3: lower band rows 10..18, row 12 is step 2 of 9.
    row("sky face normal", 3, Normal, 37, 12, gradientStep(RGB(146, 193, 217), RGB(213, 236, 247), 2, 9));
    row("sky face hover", 3, Hover, 37, 12, gradientStep(RGB(78, 153, 200), RGB(162, 217, 252), 2, 9));
    row("sky face focus", 3, Focus, 37, 12, gradientStep(RGB(123, 179, 209), RGB(162, 217, 252), 2, 9));
    row("sky face pressed", 3, Pressed, 37, 12, gradientStep(RGB(78, 149, 205), RGB(162, 202, 235), 2, 9));
    row("sky face disabled", 3, Disabled, 37, 12, gradientStep(RGB(163, 203, 223), RGB(213, 236, 247), 2, 9));
    // Theme 4: lower band rows 8..20 (step 4 of 13); the quadrants at (1, 8) are 38 x 15.
    row("amber face normal", 4, Normal, 37, 12, gradientStep(RGB(180, 187, 197), RGB(231, 240, 241), 4, 13));
    row("amber face focus", 4, Focus, 37, 12, gradientStep(RGB(180, 187, 197), RGB(255, 241, 199), 4, 13));
    row("amber face pressed", 4, Pressed, 37, 12,
        cornerGradient(RGB(253, 151, 62), RGB(255, 169, 78), RGB(254, 196, 114), RGB(255, 209, 137), 38, 15, 36, 4));
    row("amber face hover", 4, Hover, 37, 12,
        cornerGradient(RGB(255, 213, 69), RGB(255, 213, 94), RGB(255, 230, 148), RGB(255, 241, 199), 38, 15, 36, 4));
    row("amber face disabled", 4, Disabled, 37, 12, gradientStep(RGB(225, 225, 225), RGB(240, 240, 240), 4, 13));
    // Theme 5: (37, 12) lies in the lower-left quadrant at (1, 10), 38 x 10: q5 q6 q7 q8.
    row("silver face normal", 5, Normal, 37, 12,
        cornerGradient(RGB(178, 177, 180), RGB(228, 229, 228), RGB(195, 195, 198), RGB(236, 236, 236), 38, 10, 36, 2));
    row("silver face hover", 5, Hover, 37, 12,
        cornerGradient(RGB(128, 207, 250), RGB(220, 253, 254), RGB(161, 221, 254), RGB(224, 255, 252), 38, 10, 36, 2));
    row("silver face focus", 5, Focus, 37, 12,
        cornerGradient(RGB(126, 173, 207), RGB(234, 254, 254), RGB(161, 195, 222), RGB(237, 255, 255), 38, 10, 36, 2));
    row("silver face pressed", 5, Pressed, 37, 12,
        cornerGradient(RGB(85, 142, 186), RGB(217, 244, 253), RGB(129, 170, 205), RGB(225, 246, 254), 38, 10, 36, 2));
    row("silver face disabled", 5, Disabled, 37, 12, RGB(238, 238, 238));
    // Theme 6: lower band rows 10..22 (step 2 of 13); pressed: middle block at (19, 10), 38 x 10.
    row("glass face normal", 6, Normal, 37, 12, gradientStep(RGB(184, 191, 200), RGB(231, 234, 236), 2, 13));
    row("glass face hover", 6, Hover, 37, 12, gradientStep(RGB(138, 215, 255), RGB(220, 255, 255), 2, 13));
    row("glass face focus", 6, Focus, 37, 12, gradientStep(RGB(144, 197, 241), RGB(206, 244, 246), 2, 13));
    row("glass face pressed", 6, Pressed, 37, 12,
        cornerGradient(RGB(93, 181, 226), RGB(93, 181, 226), RGB(177, 233, 255), RGB(177, 233, 255), 38, 10, 18, 2));
    row("glass face disabled", 6, Disabled, 37, 12, RGB(238, 238, 238));
    // Themes 7 to 9: one face over the whole height, row 12 of 23.
    struct Family {
        int theme;
        const char* name;
        COLORREF top, bottom, pressedTop, pressedBottom, border;
    };
    const Family families[] = {
        {7, "classic", RGB(252, 252, 251), RGB(240, 240, 234), RGB(229, 228, 221), RGB(226, 226, 218), RGB(0, 60, 116)},
        {8, "olive", RGB(254, 255, 242), RGB(243, 238, 219), RGB(238, 230, 210), RGB(236, 228, 206), RGB(55, 98, 6)},
        {9, "metal", RGB(255, 255, 255), RGB(198, 197, 215), RGB(172, 171, 189), RGB(255, 255, 255), RGB(0, 60, 116)},
    };
    const char* lookNames[] = {"normal", "hover", "focus", "pressed", "disabled"};
    for (const Family& f : families) {
        for (Look look : {Normal, Hover, Focus}) {
            row(qPrintable(QStringLiteral("%1 face %2").arg(f.name, lookNames[look])), f.theme, look, 37, 12,
                gradientStep(f.top, f.bottom, 12, 23));
            row(qPrintable(QStringLiteral("%1 border %2").arg(f.name, lookNames[look])), f.theme, look, 37, 0,
                f.border);
        }
        row(qPrintable(QStringLiteral("%1 face pressed").arg(f.name)), f.theme, Pressed, 37, 12,
            gradientStep(f.pressedTop, f.pressedBottom, 12, 23));
        row(qPrintable(QStringLiteral("%1 border pressed").arg(f.name)), f.theme, Pressed, 37, 0, f.border);
        row(qPrintable(QStringLiteral("%1 face disabled").arg(f.name)), f.theme, Disabled, 37, 12,
            RGB(245, 244, 234));
        row(qPrintable(QStringLiteral("%1 border disabled").arg(f.name)), f.theme, Disabled, 37, 0,
            RGB(201, 199, 186));
    }
    // Borders of themes 1 to 6: the outline's top edge at (37, 0); Midnight
    // has none, so its first face row shows there.
    struct Border {
        int theme;
        const char* name;
        COLORREF colours[5];  // normal, hover, focus, pressed, disabled
    };
    const Border borders[] = {
        {1, "frost", {RGB(45, 80, 130), RGB(45, 80, 130), RGB(45, 86, 176), RGB(45, 80, 130), RGB(198, 197, 201)}},
        {2, "midnight",
         {RGB(196, 204, 204), RGB(196, 204, 204), RGB(196, 204, 204), RGB(182, 193, 195), RGB(182, 193, 195)}},
        {3, "sky",
         {RGB(161, 189, 207), RGB(161, 189, 207), RGB(161, 189, 207), RGB(161, 189, 207), RGB(161, 189, 207)}},
        {4, "amber",
         {RGB(174, 176, 180), RGB(216, 201, 149), RGB(216, 201, 149), RGB(197, 155, 96), RGB(198, 197, 201)}},
        {5, "silver", {RGB(99, 99, 99), RGB(32, 87, 170), RGB(32, 87, 170), RGB(32, 87, 170), RGB(178, 178, 178)}},
        {6, "glass", {RGB(75, 86, 93), RGB(31, 87, 168), RGB(31, 87, 168), RGB(31, 87, 168), RGB(178, 178, 178)}},
    };
    for (const Border& b : borders)
        for (Look look : {Normal, Hover, Focus, Pressed, Disabled})
            row(qPrintable(QStringLiteral("%1 border %2").arg(b.name, lookNames[look])), b.theme, look, 37, 0,
                b.colours[look]);
}

void LumenButtonPaintTest::themeFaceAndBorder()
{
    QFETCH(int, theme);
    QFETCH(int, look);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(COLORREF, expected);
    auto button = makeButton(theme, Look(look));
    const QImage image = paint(*button);
    QCOMPARE(describe(colourAt(image, x, y)), describe(expected));
}

void LumenButtonPaintTest::coordinatesRoundHalvesToEven_data()
{
    // Sizes whose halves end in .5 with an even integer part: rounding up
    // would move each of these edges by one pixel.
    QTest::addColumn<int>("theme");
    QTest::addColumn<int>("look");
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<COLORREF>("expected");
    // H = 21: H/2 = 10.5 -> 10, so the lower band starts on row 10 and the upper one ends on row 9.
    QTest::newRow("frost lower band start") << 1 << int(Normal) << 75 << 21 << 37 << 10 << RGB(208, 220, 235);
    QTest::newRow("frost upper band end") << 1 << int(Normal) << 75 << 21 << 37 << 9
                                          << gradientStep(RGB(253, 254, 254), RGB(227, 235, 243), 6, 7);
    // W = 73: W/2 = 36.5 -> 36, so the mirrored quadrant begins on column 36
    // (H/2-1 = 10.5 -> 10 rows); row 2 is its second row.
    QTest::newRow("silver mirrored quadrant")
        << 5 << int(Normal) << 73 << 23 << 36 << 2
        << cornerGradient(RGB(239, 239, 239), RGB(213, 213, 214), RGB(234, 234, 234), RGB(193, 194, 195), 36, 10, 0,
                          1);
    // W = 74: W/4 = 18.5 -> 18, where the middle block of the pressed look begins.
    QTest::newRow("glass middle block")
        << 6 << int(Pressed) << 74 << 23 << 18 << 2
        << cornerGradient(RGB(243, 255, 255), RGB(243, 255, 255), RGB(155, 226, 255), RGB(155, 226, 255), 37, 10, 0,
                          1);
}

void LumenButtonPaintTest::coordinatesRoundHalvesToEven()
{
    QFETCH(int, theme);
    QFETCH(int, look);
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(COLORREF, expected);
    auto button = makeButton(theme, Look(look), w, h);
    QCOMPARE(describe(colourAt(paint(*button), x, y)), describe(expected));
}

void LumenButtonPaintTest::midnightHasNoOutline()
{
    // Where any other theme draws its outline, Midnight shows its upper band.
    for (Look look : {Normal, Hover, Focus}) {
        auto button = makeButton(LumenButton::Midnight, look);
        const QImage image = paint(*button);
        for (int y = 0; y < 12; ++y) {
            const COLORREF expected = gradientStep(RGB(196, 204, 204), RGB(85, 100, 119), y, 12);
            QCOMPARE(describe(colourAt(image, 0, y)), describe(expected));
            QCOMPARE(describe(colourAt(image, kW - 2, y)), describe(expected));
        }
    }
}

void LumenButtonPaintTest::amberPressedBlockHeights()
{
    // H = 30: the upper blocks are 30/2 - 30/6 = 10 rows (1..10), the lower
    // ones start at row 10 and run 20 rows to the bottom edge; W/2 = 37.5 -> 38.
    auto button = makeButton(LumenButton::Amber, Pressed, kW, 30);
    const QImage image = paint(*button);
    const COLORREF upper[4] = {RGB(243, 175, 105), RGB(254, 192, 107), RGB(247, 161, 101), RGB(255, 181, 102)};
    const COLORREF lower[4] = {RGB(253, 151, 62), RGB(255, 169, 78), RGB(254, 196, 114), RGB(255, 209, 137)};
    auto at = [&](const COLORREF* q, int h, int dy) { return cornerGradient(q[0], q[1], q[2], q[3], 38, h, 19, dy); };
    QCOMPARE(describe(colourAt(image, 20, 9)), describe(at(upper, 10, 8)));
    QCOMPARE(describe(colourAt(image, 20, 10)), describe(at(lower, 20, 0)));
    QCOMPARE(describe(colourAt(image, 20, 29)), describe(at(lower, 20, 19)));
    // The outlines come last: outer at rows 0 and 28, inner at rows 1 and 27.
    QCOMPARE(describe(colourAt(image, 20, 28)), describe(RGB(197, 155, 96)));
    QCOMPARE(describe(colourAt(image, 20, 1)), describe(RGB(232, 183, 114)));
    QCOMPARE(describe(colourAt(image, 20, 27)), describe(RGB(232, 183, 114)));
}

void LumenButtonPaintTest::unknownThemeShowsOnlyHoverDots_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<bool>("hovering");
    QTest::addColumn<bool>("focused");
    QTest::newRow("0 hovering") << 0 << true << false;
    QTest::newRow("10 hovering") << 10 << true << false;
    QTest::newRow("0 focused") << 0 << false << true;
    QTest::newRow("10 idle") << 10 << false << false;
}

void LumenButtonPaintTest::unknownThemeShowsOnlyHoverDots()
{
    QFETCH(int, theme);
    QFETCH(bool, hovering);
    QFETCH(bool, focused);
    auto button = makeButton(theme, Normal);
    button->setCaption(QStringLiteral("Ab"));
    button->setStateForTest(false, hovering, focused);
    const QImage image = paint(*button);
    // The dots: rows 2 and H-4 at x = 3, 5, ..., W-5; columns 2 and W-4 at y = 4, 6, ..., H-4.
    PixelSet dots;
    if (hovering) {
        for (int x = 3; x <= kW - 5; x += 2) {
            dots.insert({x, 2});
            dots.insert({x, kH - 4});
        }
        for (int y = 4; y <= kH - 4; y += 2) {
            dots.insert({2, y});
            dots.insert({kW - 4, y});
        }
    }
    QCOMPARE(pixelsOf(image, RGB(0, 0, 0)), dots);
    QCOMPARE(int(pixelsOf(image, button->backColor()).size()), kW * kH - int(dots.size()));
}

void LumenButtonPaintTest::focusDotsFollowTheLook()
{
    struct Case {
        bool pressed, hovering, focused, dotted, dots;
    };
    const Case cases[] = {
        {false, false, true, true, true},   // focus look
        {false, false, true, false, false}, // focus look without FocusDottedRect
        {false, true, true, true, false},   // hover wins over focus: no dots
        {true, false, true, true, true},    // pressed and focused
        {true, true, false, true, false},   // pressed without focus
        {false, false, false, true, false}, // normal
    };
    for (const Case& c : cases) {
        auto button = makeButton(LumenButton::Classic, Normal);
        button->setFocusDottedRect(c.dotted);
        button->setStateForTest(c.pressed, c.hovering, c.focused);
        const QImage image = paint(*button);
        const bool black = colourAt(image, 3, 2) == RGB(0, 0, 0) && colourAt(image, kW - 4, 4) == RGB(0, 0, 0);
        QCOMPARE(black, c.dots);
        QVERIFY(colourAt(image, 4, 2) != RGB(0, 0, 0));
        if (c.hovering && !c.pressed)  // the hover look's L5 colour under the first dot
            QCOMPARE(describe(colourAt(image, 3, 2)), describe(RGB(253, 216, 137)));
    }
}

void LumenButtonPaintTest::themeNinePressedDrawsFourLines()
{
    // (10, 2) lies on L5, which Metal leaves out when pressed.
    auto classic = makeButton(LumenButton::Classic, Pressed);
    QCOMPARE(describe(colourAt(paint(*classic), 10, 2)), describe(RGB(220, 216, 207)));
    auto metal = makeButton(LumenButton::Metal, Pressed);
    const QImage image = paint(*metal);
    QCOMPARE(describe(colourAt(image, 10, 2)), describe(gradientStep(RGB(172, 171, 189), RGB(255, 255, 255), 2, 23)));
    QCOMPARE(describe(colourAt(image, 10, 1)), describe(RGB(255, 255, 255)));  // L1
    QCOMPARE(describe(colourAt(image, 1, 10)), describe(RGB(255, 255, 255)));  // L2
    QCOMPARE(describe(colourAt(image, 10, kH - 3)), describe(RGB(255, 255, 255)));  // L3
}

void LumenButtonPaintTest::disabledClassicUsesDisabledCaptionColour()
{
    auto button = captionButton(LumenButton::Shadow);
    button->setEnabled(false);
    const QImage image = paint(*button);
    QVERIFY(!pixelsOf(image, kDisabledCaption).empty());
    QVERIFY(pixelsOf(image, kEffect).empty());
    QVERIFY(pixelsOf(image, kFore).empty());
    QCOMPARE(describe(colourAt(image, 37, 20)), describe(RGB(245, 244, 234)));
}

void LumenButtonPaintTest::skyTurnsTheBackgroundWhite()
{
    auto button = makeButton(LumenButton::Sky, Normal);
    paint(*button);
    QCOMPARE(describe(button->backColor()), describe(RGB(255, 255, 255)));
    // Column W-1 lies outside every outline and shows the cleared background.
    QCOMPARE(describe(colourAt(paint(*button), kW - 1, 12)), describe(RGB(255, 255, 255)));
}

void LumenButtonPaintTest::windowRegionFollowsRoundedValue()
{
    auto button = makeButton(LumenButton::Classic, Normal);
    button->setRoundedValue(0);
    paint(*button);
    QCOMPARE(button->RoundedValue(), 1);
    QVERIFY(button->mask().contains(QPoint(0, 0)));
    QVERIFY(button->mask().contains(QPoint(kW - 1, kH - 1)));
    QVERIFY(!button->mask().contains(QPoint(kW, 0)));
    button->setRoundedValue(5);
    paint(*button);
    QVERIFY(!button->mask().contains(QPoint(0, 0)));
    QVERIFY(!button->mask().contains(QPoint(kW - 1, kH - 1)));
    QVERIFY(button->mask().contains(QPoint(kW / 2, 0)));
}

void LumenButtonPaintTest::fourCornerGradient256Rows()
{
    gdi::HDC dc = gdi::CreateCompatibleDC(nullptr);
    gdi::BITMAPINFOHEADER header;
    header.biWidth = 4;
    header.biHeight = 258;
    header.biBitCount = 32;
    gdi::HBITMAP bitmap = gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, nullptr);
    gdi::HBITMAP old = gdi::SelectObject(dc, bitmap);
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
    gdi::SelectObject(dc, old);
    gdi::DeleteDC(dc);
    gdi::DeleteObject(bitmap);
}

void LumenButtonPaintTest::fourCornerGradientEqualCorners()
{
    gdi::HDC dc = gdi::CreateCompatibleDC(nullptr);
    gdi::BITMAPINFOHEADER header;
    header.biWidth = 12;
    header.biHeight = 9;
    header.biBitCount = 32;
    gdi::HBITMAP bitmap = gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, nullptr);
    gdi::HBITMAP old = gdi::SelectObject(dc, bitmap);
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
    gdi::SelectObject(dc, old);
    gdi::DeleteDC(dc);
    gdi::DeleteObject(bitmap);
}

void LumenButtonPaintTest::captionEffects_data()
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

void LumenButtonPaintTest::captionEffects()
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

void LumenButtonPaintTest::captionOffsets()
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

void LumenButtonPaintTest::captionOffsetsOutOfRangeHideTheCaption()
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

void LumenButtonPaintTest::unknownEffectHidesEnabledCaptionOnly()
{
    for (const std::int32_t effect : {0, 6}) {
        auto button = captionButton(effect);
        QVERIFY(pixelsOf(paint(*button), kFore).empty());
        button->setEnabled(false);
        QVERIFY(!pixelsOf(paint(*button), kDisabledCaption).empty());
    }
}

QTEST_MAIN(LumenButtonPaintTest)
#include "lumen_button_paint_test.moc"
