#pragma once
// A small raster layer over 32-bit buffers that behaves like the parts of the
// Windows GDI the program draws with: DIB sections, memory device contexts,
// blits, alpha blending, gradient fills, outlines, lines, pixels, regions and
// text. Rectangles follow GDI's conventions: right and bottom edges are
// excluded, and a line's last point is not drawn.
//
// Handles are plain pointers; 0 (nullptr) means "no object", as in GDI.
// Nothing here throws; failures are reported by return values.

#include <cstdint>

#include <QFont>
#include <QString>

namespace gdi {

using COLORREF = std::uint32_t;  // 0x00BBGGRR: red in the low byte

constexpr COLORREF RGB(int r, int g, int b)
{
    return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}
constexpr int GetRValue(COLORREF c) { return int(c & 0xFF); }
constexpr int GetGValue(COLORREF c) { return int((c >> 8) & 0xFF); }
constexpr int GetBValue(COLORREF c) { return int((c >> 16) & 0xFF); }

class Bitmap;
class DeviceContext;
class Region;
class Window;  // no window is reachable from this layer; only "none" (the screen) is passed
using HBITMAP = Bitmap*;
using HDC = DeviceContext*;
using HRGN = Region*;
using HWND = Window*;

struct BITMAPINFOHEADER {
    std::uint32_t biSize = 40;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;  // > 0: bottom-up rows, < 0: top-down rows
    std::uint16_t biPlanes = 1;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
constexpr std::uint32_t BI_RGB = 0;
constexpr std::uint32_t BI_BITFIELDS = 3;
constexpr std::uint32_t DIB_RGB_COLORS = 0;

// What GetObject reports about a bitmap.
struct BITMAP {
    std::int32_t bmType = 0;
    std::int32_t bmWidth = 0;
    std::int32_t bmHeight = 0;
    std::int32_t bmWidthBytes = 0;
    std::uint16_t bmPlanes = 1;
    std::uint16_t bmBitsPixel = 0;
    void* bmBits = nullptr;
};

// ---- Objects (gdi_core.cpp) ----

// A 32-bpp DIB section (B, G, R, A bytes per pixel, rows without gaps),
// zero-filled. A positive biHeight gives bottom-up rows, a negative one
// top-down rows. Only 32 bits per pixel are supported. Returns nullptr (and
// *bits = nullptr) when the header is unusable or memory runs out.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFOHEADER& header, std::uint32_t usage, void** bits);
bool DeleteObject(HBITMAP bitmap);
bool DeleteObject(HRGN region);
bool GetObject(HBITMAP bitmap, BITMAP* out);

// The screen: GetDC(nullptr) hands out a device context of the desktop;
// give it back with ReleaseDC. Drawing on it is accepted and discarded.
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// A memory device context. It starts with a 1 x 1 stock bitmap selected,
// a black pen and text colour, a white background, opaque background mode,
// a null brush and stretch mode BLACKONWHITE.
HDC CreateCompatibleDC(HDC dc);
bool DeleteDC(HDC dc);
// Selects a bitmap into a memory DC; returns the bitmap it replaced, or
// nullptr on failure (a bitmap can be selected into one DC at a time).
HBITMAP SelectObject(HDC dc, HBITMAP bitmap);

// Pixel access to the selected bitmap in DC coordinates (y grows downwards
// whatever the row order in memory). SetPixel returns the colour set, or
// CLR_INVALID outside the bitmap; it writes alpha 0 as GDI does.
constexpr COLORREF CLR_INVALID = 0xFFFFFFFF;
COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour);
COLORREF GetPixel(HDC dc, int x, int y);

// Drawing state of a DC.
COLORREF SetDCPenColor(HDC dc, COLORREF colour);   // returns the old colour
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
constexpr int TRANSPARENT = 1;
constexpr int OPAQUE = 2;
int SetBkMode(HDC dc, int mode);
constexpr int BLACKONWHITE = 1;
constexpr int COLORONCOLOR = 3;
constexpr int HALFTONE = 4;
int SetStretchBltMode(HDC dc, int mode);

// ---- Blits (gdi_blit.cpp) ----

constexpr std::uint32_t SRCCOPY = 0x00CC0020;
// Stretches with nearest-pixel sampling, or with area averaging when the
// destination's stretch mode is HALFTONE.
bool StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, int cx1, int cy1,
                std::uint32_t rop);

struct BLENDFUNCTION {
    std::uint8_t BlendOp = 0;  // AC_SRC_OVER
    std::uint8_t BlendFlags = 0;
    std::uint8_t SourceConstantAlpha = 255;
    std::uint8_t AlphaFormat = 0;  // AC_SRC_ALPHA: source is premultiplied per pixel
};
constexpr std::uint8_t AC_SRC_OVER = 0;
constexpr std::uint8_t AC_SRC_ALPHA = 1;
bool AlphaBlend(HDC dst, int x, int y, int cx, int cy, HDC src, int x1, int y1, int cx1, int cy1,
                BLENDFUNCTION blend);

// ---- Fills, outlines, lines (gdi_draw.cpp) ----

struct TRIVERTEX {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int16_t Red = 0;  // 16-bit channels stored signed, as GDI declares them
    std::int16_t Green = 0;
    std::int16_t Blue = 0;
    std::int16_t Alpha = 0;
};
struct GRADIENT_RECT {
    std::uint32_t UpperLeft = 0;
    std::uint32_t LowerRight = 0;
};
constexpr std::uint32_t GRADIENT_FILL_RECT_H = 0;
constexpr std::uint32_t GRADIENT_FILL_RECT_V = 1;
bool GradientFill(HDC dc, const TRIVERTEX* vertices, std::uint32_t vertexCount, const GRADIENT_RECT* mesh,
                  std::uint32_t meshCount, std::uint32_t mode);

// Writes cLines scan lines of a DIB (24 or 32 bits per pixel) to the DC.
// Returns the number of lines written. bits must hold cLines rows of the
// DIB's width, each padded to a multiple of 4 bytes; scan lines are counted
// from the bottom for a positive biHeight, from the top for a negative one.
int SetDIBitsToDevice(HDC dc, int xDest, int yDest, std::uint32_t w, std::uint32_t h, int xSrc, int ySrc,
                      std::uint32_t startScan, std::uint32_t cLines, const void* bits,
                      const BITMAPINFOHEADER& header, std::uint32_t colourUse);

// Outline of a rounded rectangle in the pen colour, one pixel wide; the
// brush is null, so the inside is left untouched.
bool RoundRect(HDC dc, int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
bool MoveToEx(HDC dc, int x, int y);
bool LineTo(HDC dc, int x, int y);  // excludes the end point

// ---- Regions (gdi_region.cpp) ----

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight);
bool PtInRegion(HRGN region, int x, int y);
// Windows take regions as their shape through platform/ui/window_region.h.

// ---- Text (gdi_text.cpp) ----

// A logical font: face name, point size at 96 pixels per inch, weight
// (400 normal, 700 bold), character set and style flags.
struct LogFont {
    QString faceName;
    double pointSize = 9.0;
    int weight = 400;
    int charSet = 1;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
};
QFont toQFont(const LogFont& font);
void SelectFont(HDC dc, const LogFont& font);
struct SIZE {
    int cx = 0;
    int cy = 0;
};
bool GetTextExtentPoint32(HDC dc, const QString& text, SIZE* size);
// Draws text with its top-left at (x, y) in the text colour; with the
// background mode TRANSPARENT the background is left untouched. Glyphs are
// not smoothed: each pixel is either the text colour or left as it was.
// Text and extents need a running QGuiApplication; without one they fail.
bool TextOut(HDC dc, int x, int y, const QString& text);

}  // namespace gdi
