#pragma once
// A drawing target for the surface tests: a top-down 32-bpp bitmap selected
// into its own memory DC.

#include <array>
#include <cstring>

#include "imaging/surface/c32bppdib.h"
#include "platform/gdi/gdi.h"

struct Canvas {
    Canvas(int w, int h, std::array<std::uint8_t, 4> fill = {0, 0, 0, 0}) : width(w), height(h)
    {
        gdi::BITMAPINFOHEADER header;
        header.biWidth = w;
        header.biHeight = -h;
        header.biBitCount = 32;
        void* p = nullptr;
        bitmap = gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, &p);
        bits = static_cast<std::uint8_t*>(p);
        for (int i = 0; i < w * h; ++i)
            std::memcpy(bits + i * 4, fill.data(), 4);
        dc = gdi::CreateCompatibleDC(nullptr);
        stock = gdi::SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        gdi::SelectObject(dc, stock);
        gdi::DeleteDC(dc);
        gdi::DeleteObject(bitmap);
    }
    std::array<int, 4> at(int x, int y) const
    {
        const std::uint8_t* p = bits + (y * width + x) * 4;
        return {p[0], p[1], p[2], p[3]};
    }

    int width, height;
    gdi::HBITMAP bitmap = nullptr;
    gdi::HBITMAP stock = nullptr;
    gdi::HDC dc = nullptr;
    std::uint8_t* bits = nullptr;
};

// Fills a surface with one B, G, R, A value.
inline void fillSurface(c32bppDIB& dib, std::array<std::uint8_t, 4> bgra)
{
    for (int i = 0; i < dib.Width() * dib.Height(); ++i)
        std::memcpy(dib.BitsPointer() + i * 4, bgra.data(), 4);
}
