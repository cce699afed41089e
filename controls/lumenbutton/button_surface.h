#pragma once
// The button's drawing surface: a 32-bit DIB section selected into its own
// memory device context, both owned here and given back together (the
// bitmap leaves the DC before either is deleted). Sizes are device pixels.

#include <cstdint>

#include <QImage>

#include "platform/gdi/gdi.h"
#include "platform/gdi/gdi_handles.h"

class ButtonSurface {
public:
    // An empty surface has no device context; create() makes one.
    ButtonSurface() = default;
    ButtonSurface(const ButtonSurface&) = delete;
    ButtonSurface& operator=(const ButtonSurface&) = delete;

    // Replaces the surface by a zero-filled one of width x height (at least
    // 1 x 1). False, and an empty surface, when memory runs out.
    bool create(int width, int height);
    void release();

    bool empty() const { return !m_selection; }
    gdi::HDC dc() const { return m_selection ? m_dc.get() : nullptr; }
    int width() const { return m_width; }
    int height() const { return m_height; }

    // Every pixel to the colour, alpha 0 (as the platform clears a window).
    void clear(gdi::COLORREF colour);
    // The pixels top-down and opaque; a null image when empty.
    QImage toImage() const;

private:
    // Declared in this order so that they end in reverse: selection first.
    gdi::UniqueDC m_dc;
    gdi::UniqueBitmap m_bitmap;
    gdi::Selection m_selection;
    std::uint8_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};
