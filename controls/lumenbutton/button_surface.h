#pragma once
// The button's drawing surface: a 32-bit DIB section selected into its own
// memory device context, both owned here and released together (bitmap
// deselected first). Sizes are device pixels.

#include <cstdint>

#include <QImage>

#include "platform/gdi/gdi.h"

class ButtonSurface {
public:
    // An empty surface has no device context; create() makes one.
    ButtonSurface() = default;
    ~ButtonSurface();
    ButtonSurface(const ButtonSurface&) = delete;
    ButtonSurface& operator=(const ButtonSurface&) = delete;

    // Replaces the surface by a zero-filled one of width x height (at least
    // 1 x 1). False, and an empty surface, when memory runs out.
    bool create(int width, int height);
    void release();

    bool empty() const { return m_dc == nullptr; }
    gdi::HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Every pixel to the colour, alpha 0 (as the platform clears a window).
    void clear(gdi::COLORREF colour);
    // The pixels top-down and opaque; a null image when empty.
    QImage toImage() const;

private:
    gdi::HDC m_dc = nullptr;
    gdi::HBITMAP m_bitmap = nullptr;
    gdi::HBITMAP m_replaced = nullptr;
    std::uint8_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};
