// The theme renderer: window region, font, look selection, the face of the
// chosen theme, then the image and the caption.
#include "controls/lumenbutton/lumen_button_painter.h"

#include "controls/lumenbutton/lumen_button_primitives.h"
#include "platform/ui/window_region.h"

using lumen::roundHalfEven;

LumenButtonPainter::LumenButtonPainter(LumenButton& button) : m_button(button), m_look(lookOf(button)) {}

Look LumenButtonPainter::lookOf(const LumenButton& button)
{
    if (!button.m_enabled)
        return Look::Disabled;
    if (button.m_hovering && !button.m_pressed)
        return Look::Hover;
    if (button.m_focused && !button.m_pressed)
        return Look::Focus;
    if (button.m_pressed)
        return Look::Pressed;
    return Look::Normal;
}

bool LumenButtonPainter::drawTheme(std::int32_t theme)
{
    switch (theme) {
    case LumenButton::Frost: drawFrost(); return true;
    case LumenButton::Midnight: drawMidnight(); return true;
    case LumenButton::Sky: drawSky(); return true;
    case LumenButton::Amber: drawAmber(); return true;
    case LumenButton::Silver: drawSilver(); return true;
    case LumenButton::Glass: drawGlass(); return true;
    case LumenButton::Classic:
    case LumenButton::Olive:
    case LumenButton::Metal: drawClassicFamily(theme); return true;
    default: return false;
    }
}

// The size is read afresh for every step, as a step may run after a resize.
double LumenButtonPainter::W() const
{
    return m_button.width();
}

double LumenButtonPainter::H() const
{
    return m_button.height();
}

void LumenButtonPainter::vgrad(double x1, double y1, double x2, double y2, gdi::COLORREF a, gdi::COLORREF b)
{
    m_button.SetGradientRect(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2));
    m_button.FillGradientRect(m_button.m_dc, 1, a, b);
}

void LumenButtonPainter::hgrad(double x1, double y1, double x2, double y2, gdi::COLORREF a, gdi::COLORREF b)
{
    m_button.SetGradientRect(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2));
    m_button.FillGradientRect(m_button.m_dc, 0, a, b);
}

void LumenButtonPainter::quad(double left, double top, double width, double height, gdi::COLORREF tl,
                              gdi::COLORREF tr, gdi::COLORREF bl, gdi::COLORREF br)
{
    std::int32_t l = roundHalfEven(left), t = roundHalfEven(top);
    std::int32_t w = roundHalfEven(width), h = roundHalfEven(height);
    m_button.DrawGradientFourColour(m_button.m_dc, l, t, w, h, tl, tr, bl, br);
}

void LumenButtonPainter::outline(double x1, double y1, double x2, double y2, gdi::COLORREF colour)
{
    m_button.DrawOutline(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2), colour);
}

void LumenButtonPainter::line(double x1, double y1, double x2, double y2, gdi::COLORREF colour)
{
    m_button.DrawLine(roundHalfEven(x1), roundHalfEven(y1), roundHalfEven(x2), roundHalfEven(y2), colour);
}

void LumenButtonPainter::pixel(double x, double y, gdi::COLORREF colour)
{
    m_button.DrawPixel(roundHalfEven(x), roundHalfEven(y), colour);
}

void LumenButtonPainter::dots()
{
    const bool wanted = m_button.m_focusDottedRect &&
                        (m_look == Look::Focus || (m_look == Look::Pressed && m_button.m_focused));
    if (wanted)
        m_button.DrawFocusDots();
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

void LumenButton::DrawButton()
{
    ensureSurface();
    if (!m_dc)
        return;
    if (m_roundedValue < 1)
        m_roundedValue = 1;
    const int w = width();
    const int h = height();
    // The window owns the region from here on.
    gdi::SetWindowRgn(this, gdi::CreateRoundRectRgn(0, 0, w, h, m_roundedValue - 1, m_roundedValue - 1), true);
    if (m_font)
        gdi::SelectFont(m_dc, *m_font);
    LumenButtonPainter painter(*this);
    if (!painter.drawTheme(m_theme)) {
        // An unknown theme shows nothing but the hover dots.
        if (m_hovering && m_focusDottedRect)
            DrawFocusDots();
        return;
    }
    DrawIcon();
    const gdi::COLORREF captionColour = m_enabled ? m_foreColor : m_captionDisableColor;
    gdi::SetDCPenColor(m_dc, captionColour);
    gdi::SetTextColor(m_dc, captionColour);
    DrawCaption(m_caption, m_captionAlignment);
}
