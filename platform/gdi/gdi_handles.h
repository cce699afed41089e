#pragma once
// Owners for the raster layer's handles, so that a device context, a bitmap
// or a selection made inside an operation is given back on every path:
//
//     gdi::UniqueDC dc = gdi::screenCompatibleDC();     // DeleteDC at the end
//     gdi::UniqueBitmap bitmap(gdi::CreateDIBSection(...));  // DeleteObject at the end
//     gdi::Selection selected(dc.get(), bitmap.get());  // the replaced bitmap back at the end
//
// Declare a selection after the DC and the bitmap it joins: objects end in
// reverse order, so the bitmap leaves the DC before either is deleted (GDI
// refuses to delete a bitmap that is still selected).

#include <memory>

#include "platform/gdi/gdi.h"

namespace gdi {

struct DCDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};

// A memory device context owned by one scope or object.
using UniqueDC = std::unique_ptr<DeviceContext, DCDeleter>;
// A bitmap owned by one scope or object.
using UniqueBitmap = std::unique_ptr<Bitmap, BitmapDeleter>;

// A new memory DC compatible with the screen (GetDC, CreateCompatibleDC,
// ReleaseDC); empty only when memory runs out.
UniqueDC screenCompatibleDC();

// A bitmap selected into a DC for the selection's lifetime. Empty (false)
// when there was nothing to select or SelectObject refused it; then nothing
// is restored either. Movable, not copyable.
class Selection {
public:
    Selection() = default;
    Selection(HDC dc, HBITMAP bitmap) : m_dc(dc), m_replaced(dc && bitmap ? SelectObject(dc, bitmap) : nullptr) {}
    ~Selection() { reset(); }
    Selection(Selection&& other) noexcept : m_dc(other.m_dc), m_replaced(other.m_replaced) { other.m_replaced = nullptr; }
    Selection& operator=(Selection&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_dc = other.m_dc;
            m_replaced = other.m_replaced;
            other.m_replaced = nullptr;
        }
        return *this;
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

    explicit operator bool() const { return m_replaced != nullptr; }
    // Puts the replaced bitmap back now.
    void reset()
    {
        if (m_replaced)
            SelectObject(m_dc, m_replaced);
        m_replaced = nullptr;
    }

private:
    HDC m_dc = nullptr;
    HBITMAP m_replaced = nullptr;
};

}  // namespace gdi
