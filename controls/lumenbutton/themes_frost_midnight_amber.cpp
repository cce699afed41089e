// Themes 1 (Frost), 2 (Midnight) and 4 (Amber).
#include "controls/lumenbutton/lumen_button_painter.h"

namespace {
using C = gdi::COLORREF;
}  // namespace

// ---- Frost ----

// What the hover and focus looks draw over the normal face.
struct LumenButtonPainter::FrostRim {
    C outerTop, outerBottom, innerTop, innerBottom;
    C topLine, secondLine, lowLine, bottomLine, border;
};

void LumenButtonPainter::frostNormal()
{
    const double w = W(), h = H();
    vgrad(0, 3, w, h / 2, rgb(253, 254, 254), rgb(227, 235, 243));
    vgrad(0, h / 2, w, h - 3, rgb(208, 220, 235), rgb(166, 184, 207));
    line(1, 1, w, 1, rgb(213, 222, 236));
    line(1, 2, w, 2, rgb(249, 253, 255));
    line(1, 3, w, 3, rgb(243, 248, 255));
    vgrad(1, 1, 2, h - 2, rgb(223, 232, 245), rgb(152, 173, 209));
    vgrad(w - 3, 1, w - 2, h - 2, rgb(223, 232, 245), rgb(152, 173, 209));
    vgrad(2, 2, 3, h - 2, rgb(249, 252, 255), rgb(205, 215, 228));
    vgrad(w - 4, 2, w - 3, h - 2, rgb(249, 252, 255), rgb(205, 215, 228));
    line(1, h - 3, w, h - 3, rgb(144, 168, 205));
    outline(0, 0, w - 1, h - 1, rgb(45, 80, 130));
}

void LumenButtonPainter::frostRim(const FrostRim& rim)
{
    const double w = W(), h = H();
    vgrad(0, 3, w, h / 2, rgb(253, 254, 254), rgb(227, 235, 243));
    vgrad(0, h / 2, w, h - 3, rgb(208, 220, 235), rgb(166, 184, 207));
    vgrad(1, 2, 2, h - 2, rim.outerTop, rim.outerBottom);
    vgrad(w - 3, 2, w - 2, h - 2, rim.outerTop, rim.outerBottom);
    vgrad(2, 1, 3, h - 1, rim.innerTop, rim.innerBottom);
    vgrad(w - 4, 1, w - 3, h - 1, rim.innerTop, rim.innerBottom);
    line(1, 1, w, 1, rim.topLine);
    line(3, 2, w - 4, 2, rim.secondLine);
    line(2, h - 4, w - 3, h - 4, rim.lowLine);
    line(1, h - 3, w, h - 3, rim.bottomLine);
    outline(0, 0, w - 1, h - 1, rim.border);
}

void LumenButtonPainter::frostPressed()
{
    const double w = W(), h = H();
    vgrad(0, 3, w, h / 2 - 1, rgb(166, 184, 207), rgb(208, 220, 235));
    vgrad(0, h / 2 - 1, w, h - 2, rgb(227, 235, 243), rgb(253, 254, 254));
    line(1, 1, w, 1, rgb(213, 222, 236));
    line(1, 2, w, 2, rgb(119, 146, 186));
    line(1, 1, 1, h, rgb(119, 146, 186));
    line(w - 3, 1, w - 3, h, rgb(119, 146, 186));
    line(1, h - 3, w, h - 3, rgb(217, 233, 255));
    outline(0, 0, w - 1, h - 1, rgb(45, 80, 130));
}

void LumenButtonPainter::drawFrost()
{
    static const FrostRim kHover{rgb(245, 232, 161), rgb(218, 121, 38),  rgb(245, 232, 161),
                                 rgb(230, 170, 69),  rgb(245, 232, 161), rgb(239, 207, 134),
                                 rgb(241, 184, 96),  rgb(218, 121, 38),  rgb(45, 80, 130)};
    static const FrostRim kFocus{rgb(113, 161, 217), rgb(85, 138, 202),  rgb(163, 185, 224),
                                 rgb(128, 161, 210), rgb(139, 192, 234), rgb(163, 185, 224),
                                 rgb(94, 129, 188),  rgb(63, 109, 177),  rgb(45, 86, 176)};
    if (m_look == Look::Disabled) {
        flatDisabled(rgb(240, 240, 240), rgb(198, 197, 201), rgb(255, 255, 255), 3);
        return;
    }
    frostNormal();
    switch (m_look) {
    case Look::Hover: frostRim(kHover); break;
    case Look::Focus: frostRim(kFocus); dots(); break;
    case Look::Pressed: frostPressed(); dots(); break;
    default: break;
    }
}

// ---- Midnight ----

struct LumenButtonPainter::MidnightColours {
    C upperA, upperB, bandA, bandB, dark, glow;
};

void LumenButtonPainter::midnightLayout(const MidnightColours& c)
{
    const double w = W(), h = H();
    vgrad(0, 0, w, h / 2, c.upperA, c.upperB);
    vgrad(0, h / 2, w, h - h / 3, c.bandA, c.bandB);
    // The bottom third: four glow blocks, darker at the two outer corners.
    const double top = h - h / 3;
    const double lefts[4] = {0, w / 4, w - w / 2 - 1, w - w / 4 - 1};
    const C bottomLeft[4] = {c.dark, c.glow, c.glow, c.glow};
    const C bottomRight[4] = {c.glow, c.glow, c.glow, c.dark};
    for (int i = 0; i < 4; ++i)
        quad(lefts[i], top, w / 4, h / 3, c.bandB, c.bandB, bottomLeft[i], bottomRight[i]);
}

void LumenButtonPainter::drawMidnight()
{
    static const MidnightColours kNormal{rgb(196, 204, 204), rgb(85, 100, 119), rgb(0, 0, 0),
                                         rgb(13, 29, 51),    rgb(9, 20, 35),    rgb(25, 79, 111)};
    static const MidnightColours kHover{rgb(196, 204, 204), rgb(85, 100, 119), rgb(10, 39, 52),
                                        rgb(16, 64, 84),    rgb(10, 39, 52),   rgb(84, 172, 188)};
    static const MidnightColours kFocus{rgb(196, 204, 204), rgb(85, 100, 119), rgb(10, 39, 52),
                                        rgb(16, 64, 84),    rgb(10, 39, 52),   rgb(52, 128, 160)};
    static const MidnightColours kPressed{rgb(182, 193, 195), rgb(85, 100, 119), rgb(0, 0, 0),
                                          rgb(17, 39, 70),    rgb(9, 20, 35),    rgb(44, 141, 196)};
    if (m_look == Look::Disabled) {
        const double w = W(), h = H();
        vgrad(0, 0, w, h / 2, rgb(182, 193, 195), rgb(85, 100, 119));
        vgrad(0, h / 2, w, h, rgb(0, 0, 0), rgb(50, 50, 54));
        return;
    }
    // No outline in any look: the window region alone rounds the corners.
    midnightLayout(kNormal);
    switch (m_look) {
    case Look::Hover: midnightLayout(kHover); break;
    case Look::Focus: midnightLayout(kFocus); dots(); break;
    case Look::Pressed: midnightLayout(kPressed); dots(); break;
    default: break;
    }
}

// ---- Amber ----

void LumenButtonPainter::amberNormal()
{
    const double w = W(), h = H();
    vgrad(1, 1, w - 2, h / 2 - h / 6, rgb(207, 211, 218), rgb(193, 198, 207));
    vgrad(1, h / 2 - h / 6, w - 1, h - 2, rgb(180, 187, 197), rgb(231, 240, 241));
    outline(0, 0, w - 1, h - 1, rgb(174, 176, 180));
    outline(1, 1, w - 2, h - 2, rgb(232, 234, 237));
}

void LumenButtonPainter::amberFocus()
{
    const double w = W(), h = H();
    vgrad(1, 1, w - 2, h / 2 - h / 6, rgb(207, 211, 218), rgb(193, 198, 207));
    vgrad(1, h / 2 - h / 6, w - 1, h - 2, rgb(180, 187, 197), rgb(255, 241, 199));
    outline(0, 0, w - 1, h - 1, rgb(216, 201, 149));
    dots();
}

void LumenButtonPainter::amberPressed()
{
    const double w = W(), h = H();
    const double split = h / 2 - h / 6;
    quad(1, 1, w / 2, split, rgb(243, 175, 105), rgb(254, 192, 107), rgb(247, 161, 101), rgb(255, 181, 102));
    quad(w / 2, 1, w / 2 - 1, split, rgb(254, 192, 107), rgb(243, 175, 105), rgb(255, 181, 102),
         rgb(247, 161, 101));
    quad(1, split, w / 2, h - split, rgb(253, 151, 62), rgb(255, 169, 78), rgb(254, 196, 114),
         rgb(255, 209, 137));
    quad(w / 2, split, w / 2 - 1, h - split, rgb(255, 169, 78), rgb(253, 151, 62), rgb(255, 209, 137),
         rgb(254, 196, 114));
    outline(0, 0, w - 1, h - 1, rgb(197, 155, 96));
    outline(1, 1, w - 2, h - 2, rgb(232, 183, 114));
    dots();
}

void LumenButtonPainter::amberHover()
{
    const double w = W(), h = H();
    quad(1, 1, w / 2, h / 3, rgb(255, 253, 228), rgb(254, 253, 232), rgb(255, 231, 145), rgb(255, 233, 169));
    quad(w / 2, 1, w / 2 - 1, h / 3, rgb(255, 253, 228), rgb(255, 253, 228), rgb(255, 233, 169),
         rgb(255, 231, 145));
    quad(1, h / 3, w / 2, h - h / 3, rgb(255, 213, 69), rgb(255, 213, 94), rgb(255, 230, 148),
         rgb(255, 241, 199));
    quad(w / 2, h / 3, w / 2 - 1, h - h / 3, rgb(255, 213, 94), rgb(255, 213, 69), rgb(255, 241, 199),
         rgb(255, 230, 148));
    outline(0, 0, w - 1, h - 1, rgb(216, 201, 149));
}

void LumenButtonPainter::drawAmber()
{
    if (m_look == Look::Disabled) {
        const double w = W(), h = H();
        vgrad(1, 1, w - 2, h / 2 - h / 6, rgb(240, 240, 240), rgb(230, 230, 230));
        vgrad(1, h / 2 - h / 6, w - 1, h - 2, rgb(225, 225, 225), rgb(240, 240, 240));
        outline(0, 0, w - 1, h - 1, rgb(198, 197, 201));
        return;
    }
    amberNormal();
    switch (m_look) {
    case Look::Hover: amberHover(); break;
    case Look::Focus: amberFocus(); break;
    case Look::Pressed: amberPressed(); break;
    default: break;
    }
}
