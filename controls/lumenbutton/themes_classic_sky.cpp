// Themes 3 (Sky), 7 (Classic), 8 (Olive) and 9 (Metal).
#include "controls/lumenbutton/lumen_button_painter.h"

namespace {

using C = gdi::COLORREF;

// Colours of one of themes 7, 8, 9; lines[i] colours frame line L(i+1).
struct ClassicColours {
    C faceTop, faceBottom, border;
    C focus[8];
    C pressedTop, pressedBottom;
    C pressed[8];
    int pressedLines;  // Metal draws only the outer four
    C hover[8];
};

const ClassicColours kClassic[3] = {
    {rgb(252, 252, 251), rgb(240, 240, 234), rgb(0, 60, 116),
     {rgb(206, 231, 255), rgb(156, 187, 234), rgb(105, 130, 238), rgb(156, 187, 235), rgb(188, 212, 246),
      rgb(157, 188, 235), rgb(137, 173, 228), rgb(157, 187, 235)},
     rgb(229, 228, 221), rgb(226, 226, 218),
     {rgb(209, 204, 193), rgb(215, 212, 203), rgb(242, 241, 238), rgb(228, 227, 219), rgb(220, 216, 207),
      rgb(221, 219, 211), rgb(234, 233, 227), rgb(227, 226, 219)},
     8,
     {rgb(255, 240, 207), rgb(250, 195, 88), rgb(229, 151, 0), rgb(252, 202, 105), rgb(253, 216, 137),
      rgb(251, 200, 96), rgb(248, 179, 48), rgb(250, 199, 97)}},
    {rgb(254, 255, 242), rgb(243, 238, 219), rgb(55, 98, 6),
     {rgb(194, 209, 143), rgb(160, 199, 103), rgb(168, 167, 102), rgb(161, 198, 104), rgb(177, 203, 128),
      rgb(155, 196, 95), rgb(144, 193, 84), rgb(152, 195, 93)},
     rgb(238, 230, 210), rgb(236, 228, 206),
     {rgb(223, 205, 180), rgb(227, 212, 191), rgb(248, 244, 228), rgb(238, 229, 207), rgb(231, 217, 195),
      rgb(232, 220, 198), rgb(242, 236, 216), rgb(237, 228, 207)},
     8,
     {rgb(252, 197, 149), rgb(232, 170, 118), rgb(207, 114, 37), rgb(231, 166, 111), rgb(237, 190, 150),
      rgb(231, 166, 111), rgb(227, 145, 79), rgb(231, 171, 119)}},
    {rgb(255, 255, 255), rgb(198, 197, 215), rgb(0, 60, 116),
     {rgb(206, 231, 255), rgb(160, 190, 236), rgb(105, 130, 238), rgb(156, 187, 235), rgb(188, 212, 246),
      rgb(255, 255, 255), rgb(137, 173, 228), rgb(255, 255, 255)},
     rgb(172, 171, 189), rgb(255, 255, 255),
     {rgb(255, 255, 255), rgb(255, 255, 255), rgb(255, 255, 255), rgb(255, 255, 255), 0, 0, 0, 0},
     4,
     {rgb(255, 240, 207), rgb(250, 195, 88), rgb(229, 151, 0), rgb(252, 202, 105), rgb(253, 216, 137),
      rgb(251, 200, 96), rgb(248, 179, 48), rgb(250, 199, 97)}},
};

}  // namespace

void LumenButtonPainter::drawClassicFamily(std::int32_t theme)
{
    const double w = W(), h = H();
    if (m_look == Look::Disabled) {
        flatDisabled(rgb(245, 244, 234), rgb(201, 199, 186));
        return;
    }
    const ClassicColours& c = kClassic[theme - 7];
    vgrad(0, 0, w, h, c.faceTop, c.faceBottom);
    outline(0, 0, w - 1, h - 1, c.border);
    // The eight inner frame lines: L1 to L4 the outer ring, L5 to L8 the inner.
    const double frame[8][4] = {{2, 1, w - 3, 1},     {1, 2, 1, h - 3},     {2, h - 3, w - 3, h - 3},
                                {w - 3, 2, w - 3, h - 3}, {2, 2, w - 3, 2}, {2, 2, 2, h - 3},
                                {2, h - 4, w - 3, h - 4}, {w - 4, 2, w - 4, h - 3}};
    auto drawFrame = [&](const C* colours, int count) {
        for (int i = 0; i < count; ++i)
            line(frame[i][0], frame[i][1], frame[i][2], frame[i][3], colours[i]);
    };
    switch (m_look) {
    case Look::Hover:
        drawFrame(c.hover, 8);
        break;
    case Look::Focus:
        drawFrame(c.focus, 8);
        dots();
        break;
    case Look::Pressed:
        vgrad(0, 0, W(), H(), c.pressedTop, c.pressedBottom);
        outline(0, 0, W() - 1, H() - 1, c.border);
        drawFrame(c.pressed, c.pressedLines);
        dots();
        break;
    default:
        break;
    }
}

struct LumenButtonPainter::SkyBands {
    C upperA, upperB, lowerA, lowerB;
};

void LumenButtonPainter::skySequence(const SkyBands& bands)
{
    // White is also what the paint handler clears to from now on.
    m_canvas.setBackColour(rgb(255, 255, 255));
    const double w = W(), h = H();
    vgrad(3, 3, w - 4, h / 2 - 1, bands.upperA, bands.upperB);
    vgrad(3, h / 2 - 1, w - 4, h - 4, bands.lowerA, bands.lowerB);
    outline(0, 0, w - 1, h - 1, rgb(161, 189, 207));
    outline(1, 1, w - 2, h - 2, rgb(255, 255, 255));
    outline(2, 2, w - 3, h - 3, rgb(255, 255, 255));
    pixel(3, h - 5, rgb(255, 255, 255));
    pixel(3, 3, rgb(255, 255, 255));
    pixel(w - 5, h - 5, rgb(255, 255, 255));
    pixel(w - 5, 3, rgb(255, 255, 255));
}

void LumenButtonPainter::drawSky()
{
    static const SkyBands kNormal{rgb(246, 249, 251), rgb(168, 208, 229), rgb(146, 193, 217), rgb(213, 236, 247)};
    static const SkyBands kHover{rgb(245, 249, 252), rgb(122, 183, 222), rgb(78, 153, 200), rgb(162, 217, 252)};
    static const SkyBands kFocus{rgb(245, 249, 252), rgb(148, 197, 222), rgb(123, 179, 209), rgb(162, 217, 252)};
    static const SkyBands kPressed{rgb(239, 245, 251), rgb(97, 162, 214), rgb(78, 149, 205), rgb(162, 202, 235)};
    static const SkyBands kDisabled{rgb(246, 249, 251), rgb(168, 208, 229), rgb(163, 203, 223),
                                    rgb(213, 236, 247)};
    switch (m_look) {
    case Look::Disabled: skySequence(kDisabled); return;
    case Look::Normal: skySequence(kNormal); return;
    case Look::Hover: skySequence(kNormal); skySequence(kHover); return;
    case Look::Focus: skySequence(kNormal); skySequence(kFocus); dots(); return;
    case Look::Pressed: skySequence(kNormal); skySequence(kPressed); dots(); return;
    }
}
