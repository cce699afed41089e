// Arithmetic of the button's drawing primitives, and the two gradient fills
// that need nothing but a device context.
#include "controls/lumenbutton/lumen_button_primitives.h"

#include <algorithm>
#include <cmath>
#include <limits>

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

void FillGradientRect(gdi::HDC dc, const std::int32_t (&rect)[4], std::int32_t direction, gdi::COLORREF colourA,
                      gdi::COLORREF colourB)
{
    gdi::TRIVERTEX vertices[2];
    const gdi::COLORREF colours[2] = {colourA, colourB};
    for (int i = 0; i < 2; ++i) {
        vertices[i].x = rect[i * 2];
        vertices[i].y = rect[i * 2 + 1];
        vertices[i].Red = ToSignedWord(gdi::GetRValue(colours[i]) * 256);
        vertices[i].Green = ToSignedWord(gdi::GetGValue(colours[i]) * 256);
        vertices[i].Blue = ToSignedWord(gdi::GetBValue(colours[i]) * 256);
        vertices[i].Alpha = 0;
    }
    const gdi::GRADIENT_RECT mesh{0, 1};
    gdi::GradientFill(dc, vertices, 2, &mesh, 1, std::uint32_t(direction));
}

void DrawGradientFourColour(gdi::HDC dc, std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height, gdi::COLORREF topLeft, gdi::COLORREF topRight,
                            gdi::COLORREF bottomLeft, gdi::COLORREF bottomRight)
{
    if (!dc || height <= 0 || width <= 0 || height > kMaxGradientExtent || width > kMaxGradientExtent)
        return;
    const auto leftColumn = LinearGradient(height, tripleOf(topLeft), tripleOf(bottomLeft));
    const auto rightColumn = LinearGradient(height, tripleOf(topRight), tripleOf(bottomRight));
    gdi::BITMAPINFOHEADER header;
    header.biWidth = width;
    header.biHeight = 1;
    header.biBitCount = 24;
    std::vector<std::uint8_t> rowBuffer((std::size_t(width) * 3 + 3) & ~std::size_t(3));
    for (std::int32_t y = 0; y < height; ++y) {
        const long long destY = (long long)top + y;
        if (destY > std::numeric_limits<int>::max())
            break;
        const auto row = LinearGradient(width, leftColumn[std::size_t(y)], rightColumn[std::size_t(y)]);
        for (std::int32_t x = 0; x < width; ++x) {
            rowBuffer[std::size_t(x) * 3] = row[std::size_t(x)].blue;
            rowBuffer[std::size_t(x) * 3 + 1] = row[std::size_t(x)].green;
            rowBuffer[std::size_t(x) * 3 + 2] = row[std::size_t(x)].red;
        }
        gdi::SetDIBitsToDevice(dc, left, int(destY), std::uint32_t(width), 1, 0, 0, 0, 1, rowBuffer.data(), header,
                               gdi::DIB_RGB_COLORS);
    }
}

}  // namespace lumen
