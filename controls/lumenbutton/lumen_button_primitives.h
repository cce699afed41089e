#pragma once
// Arithmetic of the button's drawing primitives, free of any surface so that
// it can be checked on its own, and the gradient fills on a device context.

#include <cstdint>
#include <vector>

#include "platform/gdi/gdi.h"

namespace lumen {

// runtime::roundHalfEven narrowed to 32 bits: values out of that range
// saturate (NaN gives 0).
std::int32_t roundHalfEven(double value);

// a / b in single precision; 0 when either is 0.
float SafeDivide(double a, double b);

// A colour in the byte order of a 24-bit DIB pixel.
struct ColourTriple {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
};
ColourTriple tripleOf(gdi::COLORREF colour);

// n+1 colours from start (index 0) to end (index n): each channel advances by
// a single-precision step and is rounded halves to even. A run of n pixels
// uses entries 0 to n-1, so it stops one step short of end. n below 0 gives
// an empty list.
std::vector<ColourTriple> LinearGradient(std::int32_t n, ColourTriple start, ColourTriple end);

// The converted value when it fits an unsigned byte (0 to 255).
bool toByte(std::int32_t value, std::uint8_t& out);

// Where a caption of textW x textH pixels is printed on a surface of
// surfaceW x surfaceH for CaptionAlignment 1 to 9 (other values: 0, 0).
struct CaptionPoint {
    std::int32_t x = 0;
    std::int32_t y = 0;
};
CaptionPoint captionAnchor(std::int32_t alignment, int offX, int offY, int textW, int textH, int surfaceW,
                           int surfaceH);

// The two-colour gradient of the rectangle (left, top, right, bottom):
// direction 0 horizontal, 1 vertical.
void FillGradientRect(gdi::HDC dc, const std::int32_t (&rect)[4], std::int32_t direction, gdi::COLORREF colourA,
                      gdi::COLORREF colourB);

// The four-corner gradient, one scan line at a time; nothing for a width or
// height of 0 or less or beyond 32768.
void DrawGradientFourColour(gdi::HDC dc, std::int32_t left, std::int32_t top, std::int32_t width,
                            std::int32_t height, gdi::COLORREF topLeft, gdi::COLORREF topRight,
                            gdi::COLORREF bottomLeft, gdi::COLORREF bottomRight);

}  // namespace lumen
