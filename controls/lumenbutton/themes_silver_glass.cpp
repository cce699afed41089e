// Themes 5 (Silver) and 6 (Glass).
#include "controls/lumenbutton/lumen_button_painter.h"

namespace {
using C = gdi::COLORREF;
}  // namespace

// ---- Silver ----

struct LumenButtonPainter::SilverColours {
    C q[8];  // q1 to q8: the quadrants, mirrored about the vertical centre line
    C s[4];  // s1 to s4: the side strips
    C e1, e2, border;
};

void LumenButtonPainter::silverLayout(const SilverColours& c)
{
    const double w = W(), h = H();
    const double half = h / 2 - 1;
    quad(1, 1, w / 2, half, c.q[0], c.q[1], c.q[2], c.q[3]);
    quad(1, half, w / 2, half, c.q[4], c.q[5], c.q[6], c.q[7]);
    quad(w / 2, 1, w / 2, half, c.q[1], c.q[0], c.q[3], c.q[2]);
    quad(w / 2, half, w / 2, half, c.q[5], c.q[4], c.q[7], c.q[6]);
    vgrad(0, 0, 2, half, c.s[0], c.s[1]);
    vgrad(0, half, 2, h, c.s[2], c.s[3]);
    vgrad(w - 3, 0, w, half, c.s[0], c.s[1]);
    vgrad(w - 3, half, w, h, c.s[2], c.s[3]);
    hgrad(0, h - 3, w / 2, h, c.e1, c.e2);
    hgrad(w / 2, h - 3, w, h, c.e2, c.e1);
    hgrad(0, 1, w / 2, 2, c.e1, c.e2);
    hgrad(w / 2, 1, w, 2, c.e2, c.e1);
    outline(0, 0, w - 1, h - 1, c.border);
}

void LumenButtonPainter::drawSilver()
{
    static const SilverColours kNormal{
        {rgb(213, 213, 214), rgb(239, 239, 239), rgb(193, 194, 195), rgb(234, 234, 234), rgb(178, 177, 180),
         rgb(228, 229, 228), rgb(195, 195, 198), rgb(236, 236, 236)},
        {rgb(251, 251, 251), rgb(226, 226, 226), rgb(219, 220, 220), rgb(221, 242, 248)},
        rgb(200, 200, 202), rgb(255, 255, 255), rgb(99, 99, 99)};
    static const SilverColours kHover{
        {rgb(183, 226, 249), rgb(220, 244, 248), rgb(153, 216, 250), rgb(228, 253, 254), rgb(128, 207, 250),
         rgb(220, 253, 254), rgb(161, 221, 254), rgb(224, 255, 252)},
        {rgb(254, 254, 254), rgb(196, 231, 250), rgb(170, 217, 246), rgb(170, 228, 252)},
        rgb(181, 232, 253), rgb(231, 255, 251), rgb(32, 87, 170)};
    static const SilverColours kFocus{
        {rgb(168, 198, 223), rgb(227, 244, 248), rgb(152, 189, 217), rgb(236, 253, 254), rgb(126, 173, 207),
         rgb(234, 254, 254), rgb(161, 195, 222), rgb(237, 255, 255)},
        {rgb(254, 254, 254), rgb(195, 217, 234), rgb(169, 201, 227), rgb(168, 206, 227)},
        rgb(180, 213, 230), rgb(249, 252, 253), rgb(32, 87, 170)};
    static const SilverColours kPressed{
        {rgb(142, 179, 209), rgb(218, 239, 248), rgb(120, 165, 200), rgb(224, 245, 253), rgb(85, 142, 186),
         rgb(217, 244, 253), rgb(129, 170, 205), rgb(225, 246, 254)},
        {rgb(245, 248, 251), rgb(179, 205, 226), rgb(138, 181, 212), rgb(143, 188, 213)},
        rgb(158, 197, 219), rgb(249, 252, 253), rgb(32, 87, 170)};
    if (m_look == Look::Disabled) {
        flatDisabled(rgb(238, 238, 238), rgb(178, 178, 178), rgb(255, 255, 255), 2);
        return;
    }
    silverLayout(kNormal);
    switch (m_look) {
    case Look::Hover: silverLayout(kHover); break;
    case Look::Focus: silverLayout(kFocus); dots(); break;
    case Look::Pressed: silverLayout(kPressed); dots(); break;
    default: break;
    }
}

// ---- Glass ----

struct LumenButtonPainter::GlassColours {
    C faceA, faceB, faceC, faceD;
    C leftA, leftB, leftC, leftD;
    C rightA, rightB, rightC, rightD;
    C bottomLine;
};

void LumenButtonPainter::glassNormal()
{
    const double w = W(), h = H();
    const double half = h / 2 - 1;
    vgrad(0, 0, w, half, rgb(250, 250, 250), rgb(224, 225, 225));
    vgrad(0, half, w, h, rgb(184, 191, 200), rgb(231, 234, 236));
    vgrad(0, 0, 2, half, rgb(247, 249, 250), rgb(236, 238, 240));
    vgrad(0, half, 2, h, rgb(220, 226, 232), rgb(237, 240, 242));
    vgrad(w - 3, 0, w, half, rgb(247, 249, 250), rgb(236, 238, 240));
    vgrad(w - 3, half, w, h, rgb(220, 226, 232), rgb(237, 240, 242));
    outline(0, 0, w - 1, h - 1, rgb(75, 86, 93));
}

void LumenButtonPainter::glassLit(const GlassColours& c)
{
    const double w = W(), h = H();
    const double half = h / 2 - 1;
    vgrad(0, 0, w, half, c.faceA, c.faceB);
    vgrad(0, half, w - 1, h, c.faceC, c.faceD);
    vgrad(0, 0, 2, half, c.leftA, c.leftB);
    vgrad(0, half, 2, h, c.leftC, c.leftD);
    vgrad(w - 3, 0, w, half, c.rightA, c.rightB);
    vgrad(w - 3, half, w, h, c.rightC, c.rightD);
    line(0, h - 3, w, h - 3, c.bottomLine);
    outline(0, 0, w - 1, h - 1, rgb(31, 87, 168));
}

void LumenButtonPainter::glassPressed()
{
    const double w = W(), h = H();
    const double half = h / 2 - 1;
    const C edgeTop = rgb(222, 245, 255), midTop = rgb(243, 255, 255);
    const C edgeMid = rgb(138, 204, 237), midMid = rgb(155, 226, 255);
    const C edgeLow = rgb(79, 161, 210), midLow = rgb(93, 181, 226);
    const C edgeEnd = rgb(160, 214, 245), midEnd = rgb(177, 233, 255);
    quad(1, 1, w / 4, half, edgeTop, midTop, edgeMid, midMid);
    quad(w / 4, 1, w / 2, half, midTop, midTop, midMid, midMid);
    quad(w - w / 4 - 1, 1, w / 4, half, midTop, edgeTop, midMid, edgeMid);
    quad(1, half, w / 4, h / 2 - 2, edgeLow, midLow, edgeEnd, midEnd);
    quad(w / 4, half, w / 2, h / 2 - 2, midLow, midLow, midEnd, midEnd);
    quad(w - w / 4 - 1, half, w / 4, h / 2 - 2, midLow, edgeLow, midEnd, edgeEnd);
    for (const double x : {0.0, w - 3}) {
        vgrad(x, 0, x == 0.0 ? 2 : w, half, rgb(199, 223, 242), rgb(127, 190, 226));
        vgrad(x, half, x == 0.0 ? 2 : w, h, rgb(67, 148, 200), rgb(138, 193, 227));
    }
    line(0, 1, w, 1, rgb(145, 192, 223));
    line(0, h - 3, w, h - 3, rgb(145, 192, 223));
    outline(0, 0, w - 1, h - 1, rgb(31, 87, 168));
    dots();
}

void LumenButtonPainter::drawGlass()
{
    static const GlassColours kFocus{rgb(254, 255, 255), rgb(207, 231, 245), rgb(144, 197, 241), rgb(206, 244, 246),
                                     rgb(239, 247, 252), rgb(226, 240, 248), rgb(206, 230, 246), rgb(221, 242, 248),
                                     rgb(247, 249, 250), rgb(236, 238, 240), rgb(220, 226, 232), rgb(237, 240, 242),
                                     rgb(185, 253, 247)};
    static const GlassColours kHover{rgb(252, 255, 255), rgb(207, 247, 255), rgb(138, 215, 255), rgb(220, 255, 255),
                                     rgb(255, 255, 255), rgb(239, 255, 255), rgb(216, 251, 255), rgb(235, 255, 255),
                                     rgb(255, 255, 255), rgb(239, 255, 255), rgb(216, 251, 255), rgb(235, 255, 255),
                                     rgb(191, 255, 255)};
    if (m_look == Look::Disabled) {
        flatDisabled(rgb(238, 238, 238), rgb(178, 178, 178), rgb(250, 250, 250), 2);
        return;
    }
    glassNormal();
    switch (m_look) {
    case Look::Hover: glassLit(kHover); break;
    case Look::Focus: glassLit(kFocus); dots(); break;
    case Look::Pressed: glassPressed(); break;
    default: break;
    }
}
