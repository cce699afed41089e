// The button's drawing primitives: gradients, outlines, lines, pixels, the
// focus dots and the caption with its effects.
#include "controls/lumenbutton/lumen_button_primitives.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "controls/lumenbutton/lumen_button.h"
#include "platform/runtime/numeric.h"

namespace lumen {

namespace {

// Larger gradients than this are refused rather than sized in memory.
constexpr std::int32_t kMaxGradientExtent = 1 << 15;

// A byte times 256 in a signed 16-bit field, as the gradient vertex declares
// its channels: values above 32767 wrap to negative.
std::int16_t ToSignedWord(int value)
{
    return std::int16_t(value > 32767 ? value - 65536 : value);
}

}  // namespace

std::int32_t roundHalfEven(double value)
{
    return std::int32_t(std::clamp<std::int64_t>(runtime::roundHalfEven(value), std::numeric_limits<std::int32_t>::min(),
                                                 std::numeric_limits<std::int32_t>::max()));
}

float SafeDivide(double a, double b)
{
    if (a == 0.0 || b == 0.0)
        return 0.0f;
    return float(a / b);
}

ColourTriple tripleOf(gdi::COLORREF colour)
{
    // Red in the low byte, then green, then blue.
    return {std::uint8_t((colour & 0xFF0000) / 65536), std::uint8_t((colour & 0xFF00) / 256),
            std::uint8_t(colour & 0xFF)};
}

std::vector<ColourTriple> LinearGradient(std::int32_t n, ColourTriple start, ColourTriple end)
{
    std::vector<ColourTriple> entries;
    if (n < 0)
        return entries;
    const float stepB = SafeDivide(int(end.blue) - int(start.blue), n);
    const float stepG = SafeDivide(int(end.green) - int(start.green), n);
    const float stepR = SafeDivide(int(end.red) - int(start.red), n);
    // The step is single precision; the product with the index is taken in
    // double, as a single times a whole number widens to double.
    auto channel = [](std::uint8_t from, float step, std::int32_t i) {
        const std::int32_t v = roundHalfEven(double(from) + double(step) * double(i));
        return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
    };
    entries.reserve(std::size_t(n) + 1);
    for (std::int32_t i = 0; i <= n; ++i)
        entries.push_back({channel(start.blue, stepB, i), channel(start.green, stepG, i),
                           channel(start.red, stepR, i)});
    return entries;
}

bool toByte(std::int32_t value, std::uint8_t& out)
{
    if (value < 0 || value > 255)
        return false;
    out = std::uint8_t(value);
    return true;
}

CaptionPoint captionAnchor(std::int32_t alignment, int offX, int offY, int textW, int textH, int surfaceW,
                           int surfaceH)
{
    const double left = offX + 1.0;
    const double centre = surfaceW / 2.0 - textW / 2.0 - 1.0 + offX;
    const double right = double(surfaceW) - textW - 3.0 + offX;
    const double top = offY;
    const double middle = surfaceH / 2.0 - textH / 2.0 - 1.0 + offY;
    const double bottom = double(surfaceH) - textH - 1.0 + offY;
    double x = 0.0, y = 0.0;
    switch (alignment) {
    case 1: x = left; y = top; break;
    case 2: x = left; y = middle; break;
    case 3: x = left; y = bottom; break;
    case 4: x = centre; y = top; break;
    case 5: x = centre; y = middle; break;
    case 6: x = centre; y = bottom; break;
    case 7: x = right; y = top; break;
    case 8: x = right; y = middle; break;
    case 9: x = right; y = bottom; break;
    default: break;
    }
    return {roundHalfEven(x), roundHalfEven(y)};
}

}  // namespace lumen

using lumen::ColourTriple;

void LumenButton::SetGradientRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
{
    m_gradientRect[0] = left;
    m_gradientRect[1] = top;
    m_gradientRect[2] = right;
    m_gradientRect[3] = bottom;
}

void LumenButton::FillGradientRect(gdi::HDC dc, std::int32_t direction, gdi::COLORREF colourA,
                                   gdi::COLORREF colourB)
{
    gdi::TRIVERTEX vertices[2];
    const gdi::COLORREF colours[2] = {colourA, colourB};
    for (int i = 0; i < 2; ++i) {
        vertices[i].x = m_gradientRect[i * 2];
        vertices[i].y = m_gradientRect[i * 2 + 1];
        vertices[i].Red = lumen::ToSignedWord(gdi::GetRValue(colours[i]) * 256);
        vertices[i].Green = lumen::ToSignedWord(gdi::GetGValue(colours[i]) * 256);
        vertices[i].Blue = lumen::ToSignedWord(gdi::GetBValue(colours[i]) * 256);
        vertices[i].Alpha = 0;
    }
    const gdi::GRADIENT_RECT mesh{0, 1};
    gdi::GradientFill(dc, vertices, 2, &mesh, 1, std::uint32_t(direction));
}

std::int32_t LumenButton::DrawGradientFourColour(gdi::HDC ObjectHDC, std::int32_t& Left, std::int32_t& Top,
                                                 std::int32_t& Width, std::int32_t& Height,
                                                 gdi::COLORREF TopLeftColour, gdi::COLORREF TopRightColour,
                                                 gdi::COLORREF BottomLeftColour, gdi::COLORREF BottomRightColour)
{
    using lumen::kMaxGradientExtent;
    if (!ObjectHDC || Height <= 0 || Width <= 0 || Height > kMaxGradientExtent || Width > kMaxGradientExtent)
        return 0;
    const auto leftColumn = lumen::LinearGradient(Height, lumen::tripleOf(TopLeftColour),
                                                  lumen::tripleOf(BottomLeftColour));
    const auto rightColumn = lumen::LinearGradient(Height, lumen::tripleOf(TopRightColour),
                                                   lumen::tripleOf(BottomRightColour));
    gdi::BITMAPINFOHEADER header;
    header.biWidth = Width;
    header.biHeight = 1;
    header.biBitCount = 24;
    std::vector<std::uint8_t> rowBuffer((std::size_t(Width) * 3 + 3) & ~std::size_t(3));
    for (std::int32_t y = 0; y < Height; ++y) {
        const long long destY = (long long)Top + y;
        if (destY > std::numeric_limits<int>::max())
            break;
        const auto row = lumen::LinearGradient(Width, leftColumn[std::size_t(y)], rightColumn[std::size_t(y)]);
        for (std::int32_t x = 0; x < Width; ++x) {
            rowBuffer[std::size_t(x) * 3] = row[std::size_t(x)].blue;
            rowBuffer[std::size_t(x) * 3 + 1] = row[std::size_t(x)].green;
            rowBuffer[std::size_t(x) * 3 + 2] = row[std::size_t(x)].red;
        }
        gdi::SetDIBitsToDevice(ObjectHDC, Left, int(destY), std::uint32_t(Width), 1, 0, 0, 0, 1, rowBuffer.data(),
                               header, gdi::DIB_RGB_COLORS);
    }
    return 0;
}

void LumenButton::DrawOutline(int x1, int y1, int x2, int y2, gdi::COLORREF colour)
{
    // The outline sets the surface's drawing colour for good, pen and text alike.
    gdi::SetDCPenColor(m_dc, colour);
    gdi::SetTextColor(m_dc, colour);
    gdi::RoundRect(m_dc, x1, y1, x2, y2, m_roundedValue, m_roundedValue);
}

void LumenButton::DrawLine(int x1, int y1, int x2, int y2, gdi::COLORREF colour)
{
    // A line carries its own colour and leaves the drawing colour as it was.
    const gdi::COLORREF previous = gdi::SetDCPenColor(m_dc, colour);
    gdi::MoveToEx(m_dc, x1, y1);
    gdi::LineTo(m_dc, x2, y2);
    gdi::SetDCPenColor(m_dc, previous);
}

void LumenButton::DrawPixel(int x, int y, gdi::COLORREF colour)
{
    gdi::SetPixel(m_dc, x, y, colour);
}

void LumenButton::DrawFocusDots()
{
    const int w = width();
    const int h = height();
    for (int x = 3; x <= w - 5; x += 2)
        DrawPixel(x, 2, 0);
    for (int y = 4; y <= h - 4; y += 2)
        DrawPixel(2, y, 0);
    for (int x = 3; x <= w - 5; x += 2)
        DrawPixel(x, h - 4, 0);
    for (int y = 4; y <= h - 4; y += 2)
        DrawPixel(w - 4, y, 0);
}

namespace {

void printAt(gdi::HDC dc, int x, int y, const QString& text, gdi::COLORREF colour)
{
    gdi::SetTextColor(dc, colour);
    gdi::TextOut(dc, x, y, text);
}

}  // namespace

bool LumenButton::DrawCaption(const QString& caption, std::int32_t alignment)
{
    // Offsets outside a byte cannot be converted: the caption is then left out.
    std::uint8_t offX = 0, offY = 0;
    if (!m_dc || !lumen::toByte(m_captionOffsetX, offX) || !lumen::toByte(m_captionOffsetY, offY))
        return false;
    gdi::SIZE text;
    if (!gdi::GetTextExtentPoint32(m_dc, caption, &text))
        return false;
    const auto [x, y] = lumen::captionAnchor(alignment, offX, offY, text.cx, text.cy, width(), height());
    gdi::SetBkMode(m_dc, gdi::TRANSPARENT);
    if (!m_enabled) {
        // Disabled captions ignore the effect and keep the drawing colour.
        gdi::TextOut(m_dc, x, y, caption);
        return true;
    }
    const gdi::COLORREF effect = m_captionEffectColor;
    const gdi::COLORREF grey = gdi::RGB(128, 128, 128);
    switch (m_captionEffect) {
    case Plain:
        gdi::TextOut(m_dc, x, y, caption);
        return true;
    case Embossed:
        printAt(m_dc, x - 1, y - 1, caption, effect);
        printAt(m_dc, x + 1, y + 1, caption, grey);
        break;
    case Engraved:
        printAt(m_dc, x + 1, y + 1, caption, effect);
        printAt(m_dc, x - 1, y, caption, grey);
        break;
    case Outline:
        printAt(m_dc, x + 1, y, caption, effect);
        printAt(m_dc, x - 1, y, caption, effect);
        printAt(m_dc, x, y - 1, caption, effect);
        printAt(m_dc, x, y + 1, caption, effect);
        break;
    case Shadow: {
        std::uint8_t sx = 0, sy = 0;
        if (!lumen::toByte(m_shadowOffsetX, sx) || !lumen::toByte(m_shadowOffsetY, sy))
            return false;
        printAt(m_dc, x + sx, y + sy, caption, effect);
        break;
    }
    default:
        return true;
    }
    printAt(m_dc, x, y, caption, m_foreColor);
    return true;
}
