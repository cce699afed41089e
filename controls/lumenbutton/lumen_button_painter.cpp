// The theme renderer: look selection and the common drawing notation.
#include "controls/lumenbutton/lumen_button_painter.h"

#include "controls/lumenbutton/lumen_button_primitives.h"

using lumen::roundHalfEven;

LumenButtonPainter::LumenButtonPainter(ButtonCanvas& canvas, const FaceState& state)
    : m_canvas(canvas), m_state(state), m_look(lookOf(state))
{
}

Look LumenButtonPainter::lookOf(const FaceState& state)
{
    if (!state.enabled)
        return Look::Disabled;
    if (state.hovering && !state.pressed)
        return Look::Hover;
    if (state.focused && !state.pressed)
        return Look::Focus;
    if (state.pressed)
        return Look::Pressed;
    return Look::Normal;
}

bool LumenButtonPainter::drawTheme(std::int32_t theme)
{
    switch (theme) {
    case 1: drawFrost(); return true;
    case 2: drawMidnight(); return true;
    case 3: drawSky(); return true;
    case 4: drawAmber(); return true;
    case 5: drawSilver(); return true;
    case 6: drawGlass(); return true;
    case 7:
    case 8:
    case 9: drawClassicFamily(theme); return true;
    default: return false;
    }
}

// The surface's size in device pixels.
double LumenButtonPainter::W() const
{
    return m_canvas.width();
}

double LumenButtonPainter::H() const
{
    return m_canvas.height();
}

void LumenButtonPainter::vgrad(double x1, double y1, double x2, double y2, gdi::COLORREF a, gdi::COLORREF b)
{
    m_canvas.SetGradientRect(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2));
    m_canvas.FillGradientRect(1, a, b);
}

void LumenButtonPainter::hgrad(double x1, double y1, double x2, double y2, gdi::COLORREF a, gdi::COLORREF b)
{
    m_canvas.SetGradientRect(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2));
    m_canvas.FillGradientRect(0, a, b);
}

void LumenButtonPainter::quad(double left, double top, double width, double height, gdi::COLORREF tl,
                              gdi::COLORREF tr, gdi::COLORREF bl, gdi::COLORREF br)
{
    m_canvas.DrawGradientFourColour(roundHalfEven(left), roundHalfEven(top), roundHalfEven(width),
                                    roundHalfEven(height), tl, tr, bl, br);
}

void LumenButtonPainter::outline(double x1, double y1, double x2, double y2, gdi::COLORREF colour)
{
    m_canvas.DrawOutline(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2), colour);
}

void LumenButtonPainter::line(double x1, double y1, double x2, double y2, gdi::COLORREF colour)
{
    m_canvas.DrawLine(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2), colour);
}

void LumenButtonPainter::pixel(double x, double y, gdi::COLORREF colour)
{
    m_canvas.DrawPixel(roundHalfEven(x), roundHalfEven(y), colour);
}

void LumenButtonPainter::dots()
{
    const bool wanted = m_state.focusDottedRect &&
                        (m_look == Look::Focus || (m_look == Look::Pressed && m_state.focused));
    if (wanted)
        m_canvas.DrawFocusDots();
}

void LumenButtonPainter::flatDisabled(gdi::COLORREF face, gdi::COLORREF border)
{
    const double w = W(), h = H();
    vgrad(0, 0, w, h, face, face);
    outline(0, 0, w - 1, h - 1, border);
}

void LumenButtonPainter::flatDisabled(gdi::COLORREF face, gdi::COLORREF border, gdi::COLORREF rim, double rimInset)
{
    flatDisabled(face, border);
    outline(1, 1, W() - rimInset, H() - rimInset, rim);
}
