// The button's drawing primitives: gradients, outlines, lines, pixels, the
// focus dots and the caption with its effects.
#include "controls/lumenbutton/button_canvas.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "controls/lumenbutton/button_surface.h"
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
    m_font = font;
    m_font.pointSize = font.pointSize * m_scale;
    gdi::SelectFont(m_dc, m_font);
}

void ButtonCanvas::setDrawingColour(gdi::COLORREF colour)
{
    gdi::SetDCPenColor(m_dc, colour);
    gdi::SetTextColor(m_dc, colour);
}

namespace {

// One copy of the caption: where, relative to the anchor, and in what colour.
struct Copy {
    int dx;
    int dy;
    gdi::COLORREF colour;
};

void printAt(gdi::HDC dc, int x, int y, const QString& text, gdi::COLORREF colour)
{
    gdi::SetTextColor(dc, colour);
    gdi::TextOut(dc, x, y, text);
}

// The copies one after the other, each a TextOut of its own.
void printCopies(gdi::HDC dc, int x, int y, const QString& text, const std::vector<Copy>& copies)
{
    for (const Copy& copy : copies)
        printAt(dc, x + copy.dx, y + copy.dy, text, copy.colour);
}

// The same pixels from one rendering of the text: unsmoothed glyphs cover
// the same pixels wherever they are printed, so the covered pixels are found
// once and set again at every copy's place. Copies of one colour in a row
// are merged first, so that each pixel is set once. Large captions with a
// wide outline would otherwise be rendered a dozen times.
bool stampCopies(gdi::HDC dc, const gdi::LogFont& font, int x, int y, const QString& text, const gdi::SIZE& extent,
                 const std::vector<Copy>& copies)
{
    // Room around the text for glyphs that overhang their advance.
    const int margin = extent.cy;
    ButtonSurface glyphs;
    if (!glyphs.create(extent.cx + 2 * margin, extent.cy + 2 * margin))
        return false;
    glyphs.clear(0);
    gdi::SelectFont(glyphs.dc(), font);
    printAt(glyphs.dc(), margin, margin, text, gdi::RGB(255, 255, 255));
    const QImage mask = glyphs.toImage();
    const int w = mask.width(), h = mask.height();
    for (std::size_t first = 0; first < copies.size();) {
        std::size_t end = first;
        int reach = 0;
        while (end < copies.size() && copies[end].colour == copies[first].colour) {
            reach = std::max({reach, std::abs(copies[end].dx), std::abs(copies[end].dy)});
            ++end;
        }
        // The union of the group's copies, on the mask's grid widened by their reach.
        const int uw = w + 2 * reach, uh = h + 2 * reach;
        std::vector<std::uint8_t> covered(std::size_t(uw) * std::size_t(uh), 0);
        for (int gy = 0; gy < h; ++gy) {
            const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(gy));
            for (int gx = 0; gx < w; ++gx)
                if (line[gx] & 0xFFFFFF)
                    for (std::size_t i = first; i < end; ++i)
                        covered[std::size_t(gy + reach + copies[i].dy) * std::size_t(uw) +
                                std::size_t(gx + reach + copies[i].dx)] = 1;
        }
        for (int uy = 0; uy < uh; ++uy)
            for (int ux = 0; ux < uw; ++ux)
                if (covered[std::size_t(uy) * std::size_t(uw) + std::size_t(ux)])
                    gdi::SetPixel(dc, x + ux - reach - margin, y + uy - reach - margin, copies[first].colour);
        first = end;
    }
    return true;
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
    std::vector<Copy> copies;
    switch (style.effect) {
    case 1:  // Plain
        gdi::TextOut(m_dc, x, y, caption);
        return true;
    case 2:  // Embossed
        copies = {{-e, -e, effect}, {e, e, grey}};
        break;
    case 3:  // Engraved
        copies = {{e, e, effect}, {-e, 0, grey}};
        break;
    case 4:  // Outline: a ring as wide as one designed pixel, without gaps
        for (int k = 1; k <= e; ++k)
            copies.insert(copies.end(), {{k, 0, effect}, {-k, 0, effect}, {0, -k, effect}, {0, k, effect}});
        break;
    case 5: {  // Shadow
        std::uint8_t sx = 0, sy = 0;
        if (!lumen::toByte(style.shadowX, sx) || !lumen::toByte(style.shadowY, sy))
            return false;
        copies = {{scaled(sx), scaled(sy), effect}};
        break;
    }
    default:
        return true;
    }
    copies.push_back({0, 0, style.foreColour});
    // As designed, each copy is printed; enlarged, the pixels are stamped.
    if (m_scale == 1.0 || !stampCopies(m_dc, m_font, x, y, caption, text, copies))
        printCopies(m_dc, x, y, caption, copies);
    return true;
}
