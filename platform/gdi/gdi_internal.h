#pragma once
// The objects behind the handles of gdi.h, shared by the files of this layer.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/gdi/gdi.h"

namespace gdi {

class Bitmap {
public:
    Bitmap(int width, int height, bool bottomUp);
    int width() const { return m_width; }
    int height() const { return m_height; }
    bool bottomUp() const { return m_bottomUp; }
    std::uint8_t* bits() { return m_pixels.get(); }
    const std::uint8_t* bits() const { return m_pixels.get(); }
    int stride() const { return m_width * 4; }
    // Address of the pixel at (x, y), y counted from the top; no bounds check.
    std::uint8_t* pixel(int x, int y)
    {
        const int row = m_bottomUp ? m_height - 1 - y : y;
        return m_pixels.get() + (std::size_t(row) * std::size_t(m_width) + std::size_t(x)) * 4;
    }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    DeviceContext* selectedInto = nullptr;
    bool stock = false;

private:
    int m_width;
    int m_height;
    bool m_bottomUp;
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    // Zeroed by calloc: a large bitmap then comes as fresh zero pages from
    // the system instead of being cleared byte by byte.
    std::unique_ptr<std::uint8_t, Free> m_pixels;
};

class DeviceContext {
public:
    Bitmap* bitmap = nullptr;  // selected bitmap; the stock bitmap when none was selected
    bool screen = false;
    COLORREF penColour = 0;
    COLORREF textColour = 0;
    COLORREF backColour = RGB(255, 255, 255);
    int backMode = OPAQUE;
    int stretchMode = BLACKONWHITE;
    LogFont font;
    int penX = 0;
    int penY = 0;
    std::unique_ptr<Bitmap> stockBitmap;
};

class Region {
public:
    // Inclusive-exclusive spans per row: row y covers [spans[y].first, spans[y].second).
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::pair<int, int>> spans;
};

// Writes one pixel of the DC's bitmap when it lies inside; alpha is set to 0
// as GDI's raster operations do.
void putPixel(DeviceContext& dc, int x, int y, COLORREF colour);

}  // namespace gdi
