// Pixels of the painted faces: expected colours follow from the themes'
// drawing rules (gradient steps, corner gradients, positions), computed here.
#include <QtTest>

#include "tests/controls/paint_test_support.h"

using namespace painttest;

class LumenButtonThemeTest : public QObject {
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
    void skyTurnsTheBackgroundWhite();
    void windowRegionFollowsRoundedValue();
    void repaintKeepsUncoveredPixelsPaintClears();
};

void LumenButtonThemeTest::themeFaceAndBorder_data()
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

void LumenButtonThemeTest::themeFaceAndBorder()
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

void LumenButtonThemeTest::coordinatesRoundHalvesToEven_data()
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

void LumenButtonThemeTest::coordinatesRoundHalvesToEven()
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

void LumenButtonThemeTest::midnightHasNoOutline()
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

void LumenButtonThemeTest::amberPressedBlockHeights()
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

void LumenButtonThemeTest::unknownThemeShowsOnlyHoverDots_data()
{
    QTest::addColumn<int>("theme");
    QTest::addColumn<bool>("hovering");
    QTest::addColumn<bool>("focused");
    QTest::newRow("0 hovering") << 0 << true << false;
    QTest::newRow("10 hovering") << 10 << true << false;
    QTest::newRow("0 focused") << 0 << false << true;
    QTest::newRow("10 idle") << 10 << false << false;
}

void LumenButtonThemeTest::unknownThemeShowsOnlyHoverDots()
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

void LumenButtonThemeTest::focusDotsFollowTheLook()
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

void LumenButtonThemeTest::themeNinePressedDrawsFourLines()
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

void LumenButtonThemeTest::skyTurnsTheBackgroundWhite()
{
    auto button = makeButton(LumenButton::Sky, Normal);
    paint(*button);
    QCOMPARE(describe(button->backColor()), describe(RGB(255, 255, 255)));
    // Column W-1 lies outside every outline and shows the cleared background.
    QCOMPARE(describe(colourAt(paint(*button), kW - 1, 12)), describe(RGB(255, 255, 255)));
}

void LumenButtonThemeTest::windowRegionFollowsRoundedValue()
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

void LumenButtonThemeTest::repaintKeepsUncoveredPixelsPaintClears()
{
    // Theme 0 covers nothing: a direct repaint leaves the previous face on
    // the surface, while a paint message clears to the background first.
    auto button = makeButton(LumenButton::Classic, Normal);
    paint(*button);
    const COLORREF face = colourAt(button->surfaceImage(), 37, 12);
    QVERIFY(face != button->backColor());
    button->setTheme(0);
    QCOMPARE(describe(colourAt(button->surfaceImage(), 37, 12)), describe(face));
    button->grab();  // shows the surface that the repaint has just drawn
    button->grab();  // a paint message of its own
    QCOMPARE(describe(colourAt(button->surfaceImage(), 37, 12)), describe(button->backColor()));
}

QTEST_MAIN(LumenButtonThemeTest)
#include "lumen_button_theme_test.moc"
