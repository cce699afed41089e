#pragma once
// A 32-bpp bitmap selected into its own memory DC, for tests that draw
// through the raster layer and then read pixels back.

#include <array>
#include <cstdint>

#include "platform/gdi/gdi.h"

struct TestCanvas {
    using Bgra = std::array<int, 4>;  // Blue, Green, Red, Alpha

    TestCanvas(int w, int h, Bgra fill = {0, 0, 0, 0}, bool bottomUpRows = false)
        : width(w), height(h), bottomUp(bottomUpRows)
    {
        gdi::BITMAPINFOHEADER header;
        header.biWidth = w;
        header.biHeight = bottomUp ? h : -h;
        header.biBitCount = 32;
        void* p = nullptr;
        bitmap = gdi::CreateDIBSection(nullptr, header, gdi::DIB_RGB_COLORS, &p);
        bits = static_cast<std::uint8_t*>(p);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                set(x, y, fill);
        dc = gdi::CreateCompatibleDC(nullptr);
        stock = gdi::SelectObject(dc, bitmap);
    }
    ~TestCanvas()
    {
        gdi::SelectObject(dc, stock);
        gdi::DeleteDC(dc);
        gdi::DeleteObject(bitmap);
    }
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;

    // The bytes of the pixel at (x, y), y counted from the top.
    Bgra at(int x, int y) const
    {
        const std::uint8_t* p = pixel(x, y);
        return {p[0], p[1], p[2], p[3]};
    }
    void set(int x, int y, Bgra v)
    {
        std::uint8_t* p = pixel(x, y);
        for (std::size_t c = 0; c < 4; ++c)
            p[c] = std::uint8_t(v[c]);
    }
    gdi::COLORREF colour(int x, int y) const { return gdi::GetPixel(dc, x, y); }

    int width;
    int height;
    bool bottomUp;
    gdi::HBITMAP bitmap = nullptr;
    gdi::HBITMAP stock = nullptr;
    gdi::HDC dc = nullptr;
    std::uint8_t* bits = nullptr;

private:
    std::uint8_t* pixel(int x, int y) const
    {
        const int row = bottomUp ? height - 1 - y : y;
        return bits + (std::size_t(row) * std::size_t(width) + std::size_t(x)) * 4;
    }
};
