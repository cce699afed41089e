#include <limits>
#include <new>

#include "platform/gdi/gdi_handles.h"
#include "platform/gdi/gdi_internal.h"

namespace gdi {

Bitmap::Bitmap(int width, int height, bool bottomUp)
    : m_width(width),
      m_height(height),
      m_bottomUp(bottomUp),
      m_pixels(static_cast<std::uint8_t*>(std::calloc(std::size_t(width) * std::size_t(height), 4)))
{
    if (!m_pixels && width > 0 && height > 0)
        throw std::bad_alloc();
}

void putPixel(DeviceContext& dc, int x, int y, COLORREF colour)
{
    Bitmap* bmp = dc.bitmap;
    if (!bmp || !bmp->contains(x, y))
        return;
    std::uint8_t* p = bmp->pixel(x, y);
    p[0] = std::uint8_t(GetBValue(colour));
    p[1] = std::uint8_t(GetGValue(colour));
    p[2] = std::uint8_t(GetRValue(colour));
    p[3] = 0;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFOHEADER& header, std::uint32_t, void** bits)
{
    if (bits)
        *bits = nullptr;
    if (header.biBitCount != 32 || header.biWidth <= 0 || header.biHeight == 0 || header.biPlanes != 1)
        return nullptr;
    const long long height = header.biHeight < 0 ? -(long long)header.biHeight : header.biHeight;
    const long long bytes = (long long)header.biWidth * height * 4;
    if (bytes > std::numeric_limits<std::int32_t>::max())
        return nullptr;
    Bitmap* bmp = new (std::nothrow) Bitmap(0, 0, true);
    if (!bmp)
        return nullptr;
    try {
        *bmp = Bitmap(header.biWidth, int(height), header.biHeight > 0);
    } catch (const std::bad_alloc&) {
        delete bmp;
        return nullptr;
    }
    if (bits)
        *bits = bmp->bits();
    return bmp;
}

bool DeleteObject(HBITMAP bitmap)
{
    // GDI refuses to delete a bitmap that is still selected into a DC.
    if (!bitmap || bitmap->selectedInto || bitmap->stock)
        return false;
    delete bitmap;
    return true;
}

bool DeleteObject(HRGN region)
{
    if (!region)
        return false;
    delete region;
    return true;
}

bool GetObject(HBITMAP bitmap, BITMAP* out)
{
    if (!bitmap || !out)
        return false;
    out->bmType = 0;
    out->bmWidth = bitmap->width();
    out->bmHeight = bitmap->height();
    out->bmWidthBytes = bitmap->stride();
    out->bmPlanes = 1;
    out->bmBitsPixel = 32;
    out->bmBits = bitmap->stock ? nullptr : bitmap->bits();
    return true;
}

// nullptr when memory runs out, as GDI reports it.
static DeviceContext* newMemoryDC()
{
    try {
        auto dc = std::make_unique<DeviceContext>();
        dc->stockBitmap = std::make_unique<Bitmap>(1, 1, true);
        dc->stockBitmap->stock = true;
        dc->stockBitmap->selectedInto = dc.get();
        dc->bitmap = dc->stockBitmap.get();
        return dc.release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HDC GetDC(HWND)
{
    DeviceContext* dc = newMemoryDC();
    if (dc)
        dc->screen = true;
    return dc;
}

int ReleaseDC(HWND, HDC dc)
{
    if (!dc || !dc->screen)
        return 0;
    delete dc;
    return 1;
}

HDC CreateCompatibleDC(HDC)
{
    return newMemoryDC();
}

UniqueDC screenCompatibleDC()
{
    HDC screen = GetDC(nullptr);
    UniqueDC dc(CreateCompatibleDC(screen));
    ReleaseDC(nullptr, screen);
    return dc;
}

bool DeleteDC(HDC dc)
{
    if (!dc || dc->screen)
        return false;
    if (dc->bitmap && dc->bitmap != dc->stockBitmap.get())
        dc->bitmap->selectedInto = nullptr;
    delete dc;
    return true;
}

HBITMAP SelectObject(HDC dc, HBITMAP bitmap)
{
    if (!dc || !bitmap || dc->screen)
        return nullptr;
    if (bitmap->selectedInto && bitmap->selectedInto != dc)
        return nullptr;
    Bitmap* previous = dc->bitmap;
    if (previous && previous != dc->stockBitmap.get())
        previous->selectedInto = nullptr;
    bitmap->selectedInto = dc;
    dc->bitmap = bitmap;
    return previous;
}

COLORREF SetPixel(HDC dc, int x, int y, COLORREF colour)
{
    if (!dc || !dc->bitmap || !dc->bitmap->contains(x, y))
        return CLR_INVALID;
    putPixel(*dc, x, y, colour & 0x00FFFFFF);
    return colour & 0x00FFFFFF;
}

COLORREF GetPixel(HDC dc, int x, int y)
{
    if (!dc || !dc->bitmap || !dc->bitmap->contains(x, y))
        return CLR_INVALID;
    const std::uint8_t* p = dc->bitmap->pixel(x, y);
    return RGB(p[2], p[1], p[0]);
}

COLORREF SetDCPenColor(HDC dc, COLORREF colour)
{
    if (!dc)
        return CLR_INVALID;
    const COLORREF old = dc->penColour;
    dc->penColour = colour & 0x00FFFFFF;
    return old;
}

COLORREF SetTextColor(HDC dc, COLORREF colour)
{
    if (!dc)
        return CLR_INVALID;
    const COLORREF old = dc->textColour;
    dc->textColour = colour & 0x00FFFFFF;
    return old;
}

COLORREF SetBkColor(HDC dc, COLORREF colour)
{
    if (!dc)
        return CLR_INVALID;
    const COLORREF old = dc->backColour;
    dc->backColour = colour & 0x00FFFFFF;
    return old;
}

int SetBkMode(HDC dc, int mode)
{
    if (!dc || (mode != TRANSPARENT && mode != OPAQUE))
        return 0;
    const int old = dc->backMode;
    dc->backMode = mode;
    return old;
}

int SetStretchBltMode(HDC dc, int mode)
{
    if (!dc || mode < 1 || mode > 4)
        return 0;
    const int old = dc->stretchMode;
    dc->stretchMode = mode;
    return old;
}

}  // namespace gdi
