#include "controls/lumenbutton/button_surface.h"

#include <algorithm>
#include <cstring>

bool ButtonSurface::create(int width, int height)
{
    release();
    width = std::max(1, width);
    height = std::max(1, height);
    gdi::BITMAPINFOHEADER header;
    header.biWidth = width;
    header.biHeight = height;  // bottom-up, as the platform's surfaces are
    header.biBitCount = 32;
    void* bits = nullptr;
    m_dc = gdi::screenCompatibleDC();
    m_bitmap.reset(gdi::CreateDIBSection(m_dc.get(), header, gdi::DIB_RGB_COLORS, &bits));
    m_selection = gdi::Selection(m_dc.get(), m_bitmap.get());
    if (!m_selection) {
        release();
        return false;
    }
    m_bits = static_cast<std::uint8_t*>(bits);
    m_width = width;
    m_height = height;
    gdi::SetBkMode(m_dc.get(), gdi::TRANSPARENT);
    return true;
}

void ButtonSurface::release()
{
    m_selection.reset();
    m_bitmap.reset();
    m_dc.reset();
    m_bits = nullptr;
    m_width = 0;
    m_height = 0;
}

void ButtonSurface::clear(gdi::COLORREF colour)
{
    if (!m_bits)
        return;
    const std::uint8_t pixel[4] = {std::uint8_t(gdi::GetBValue(colour)), std::uint8_t(gdi::GetGValue(colour)),
                                   std::uint8_t(gdi::GetRValue(colour)), 0};
    // The first row pixel by pixel, the others copied from it: a window-sized
    // button is cleared on every paint.
    const std::size_t row = std::size_t(m_width) * 4;
    for (std::size_t i = 0; i < row; i += 4)
        std::memcpy(m_bits + i, pixel, 4);
    for (int y = 1; y < m_height; ++y)
        std::memcpy(m_bits + std::size_t(y) * row, m_bits, row);
}

QImage ButtonSurface::toImage() const
{
    if (!m_bits)
        return {};
    QImage image(m_width, m_height, QImage::Format_RGB32);
    const std::size_t stride = std::size_t(m_width) * 4;
    for (int y = 0; y < m_height; ++y) {
        const std::uint8_t* src = m_bits + std::size_t(m_height - 1 - y) * stride;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < m_width; ++x)
            dst[x] = qRgb(src[x * 4 + 2], src[x * 4 + 1], src[x * 4]);
    }
    return image;
}
