// The button's drawing primitives: gradients, outlines, lines, pixels, the
// focus dots and the caption with its effects.
#include "controls/lumenbutton/button_canvas.h"

#include <algorithm>

#include "controls/lumenbutton/lumen_button_primitives.h"

ButtonCanvas::ButtonCanvas(gdi::HDC dc, int width, int height, std::int32_t roundedValue, double scale)
    : m_dc(dc), m_width(width), m_height(height), m_roundedValue(roundedValue), m_scale(scale)
{
}

int ButtonCanvas::scaled(double designPixels) const
{
    return lumen::roundHalfEven(designPixels * m_scale);
}

void ButtonCanvas::SetGradientRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    m_gradientRect[0] = left;
    m_gradientRect[1] = top;
    m_gradientRect[2] = right;
    m_gradientRect[3] = bottom;
}

void ButtonCanvas::FillGradientRect(std::int32_t direction, gdi::COLORREF colourA, gdi::COLORREF colourB)
{
    lumen::FillGradientRect(m_dc, m_gradientRect, direction, colourA, colourB);
}

void ButtonCanvas::DrawGradientFourColour(std::int32_t left, std::int32_t top, std::int32_t width,
                                          std::int32_t height, gdi::COLORREF topLeft, gdi::COLORREF topRight,
                                          gdi::COLORREF bottomLeft, gdi::COLORREF bottomRight)
{
    lumen::DrawGradientFourColour(m_dc, left, top, width, height, topLeft, topRight, bottomLeft, bottomRight);
}

void ButtonCanvas::DrawOutline(int x1, int y1, int x2, int y2, gdi::COLORREF colour)
{
    setDrawingColour(colour);
    gdi::RoundRect(m_dc, x1, y1, x2, y2, m_roundedValue, m_roundedValue);
}

void ButtonCanvas::DrawLine(int x1, int y1, int x2, int y2, gdi::COLORREF colour)
{
    const gdi::COLORREF previous = gdi::SetDCPenColor(m_dc, colour);
    gdi::MoveToEx(m_dc, x1, y1);
    gdi::LineTo(m_dc, x2, y2);
    gdi::SetDCPenColor(m_dc, previous);
}

void ButtonCanvas::DrawPixel(int x, int y, gdi::COLORREF colour)
{
    gdi::SetPixel(m_dc, x, y, colour);
}

void ButtonCanvas::DrawFocusDots()
{
    const int w = m_width;
    const int h = m_height;
    for (int x = 3; x <= w - 5; x += 2)
        DrawPixel(x, 2, 0);
    for (int y = 4; y <= h - 4; y += 2)
        DrawPixel(2, y, 0);
    for (int x = 3; x <= w - 5; x += 2)
        DrawPixel(x, h - 4, 0);
    for (int y = 4; y <= h - 4; y += 2)
        DrawPixel(w - 4, y, 0);
}

void ButtonCanvas::selectFont(const gdi::LogFont& font)
{
    gdi::LogFont scaledFont = font;
    scaledFont.pointSize = font.pointSize * m_scale;
    gdi::SelectFont(m_dc, scaledFont);
}

void ButtonCanvas::setDrawingColour(gdi::COLORREF colour)
{
    gdi::SetDCPenColor(m_dc, colour);
    gdi::SetTextColor(m_dc, colour);
}

namespace {

void printAt(gdi::HDC dc, int x, int y, const QString& text, gdi::COLORREF colour)
{
    gdi::SetTextColor(dc, colour);
    gdi::TextOut(dc, x, y, text);
}

}  // namespace

bool ButtonCanvas::DrawCaption(const QString& caption, const CaptionStyle& style)
{
    // Offsets outside a byte cannot be converted: the caption is then left out.
    std::uint8_t offX = 0, offY = 0;
    if (!m_dc || !lumen::toByte(style.offsetX, offX) || !lumen::toByte(style.offsetY, offY))
        return false;
    gdi::SIZE text;
    if (!gdi::GetTextExtentPoint32(m_dc, caption, &text))
        return false;
    const auto [x, y] =
        lumen::captionAnchor(style.alignment, scaled(offX), scaled(offY), text.cx, text.cy, m_width, m_height);
    gdi::SetBkMode(m_dc, gdi::TRANSPARENT);
    if (!style.enabled) {
        // Disabled captions ignore the effect and keep the drawing colour.
        gdi::TextOut(m_dc, x, y, caption);
        return true;
    }
    // The effect copies lie one designed pixel away, in device pixels.
    const int e = std::max(1, scaled(1));
    const gdi::COLORREF effect = style.effectColour;
    const gdi::COLORREF grey = gdi::RGB(128, 128, 128);
    switch (style.effect) {
    case 1:  // Plain
        gdi::TextOut(m_dc, x, y, caption);
        return true;
    case 2:  // Embossed
        printAt(m_dc, x - e, y - e, caption, effect);
        printAt(m_dc, x + e, y + e, caption, grey);
        break;
    case 3:  // Engraved
        printAt(m_dc, x + e, y + e, caption, effect);
        printAt(m_dc, x - e, y, caption, grey);
        break;
    case 4:  // Outline: a ring as wide as one designed pixel, without gaps
        for (int k = 1; k <= e; ++k) {
            printAt(m_dc, x + k, y, caption, effect);
            printAt(m_dc, x - k, y, caption, effect);
            printAt(m_dc, x, y - k, caption, effect);
            printAt(m_dc, x, y + k, caption, effect);
        }
        break;
    case 5: {  // Shadow
        std::uint8_t sx = 0, sy = 0;
        if (!lumen::toByte(style.shadowX, sx) || !lumen::toByte(style.shadowY, sy))
            return false;
        printAt(m_dc, x + scaled(sx), y + scaled(sy), caption, effect);
        break;
    }
    default:
        return true;
    }
    printAt(m_dc, x, y, caption, style.foreColour);
    return true;
}
