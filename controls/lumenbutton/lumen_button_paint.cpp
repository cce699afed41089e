// The button's drawing surface and its paint pass: window region, font, the
// face of the chosen theme, then the image and the caption.
#include <algorithm>
#include <cmath>

#include <QPainter>

#include "controls/lumenbutton/button_canvas.h"
#include "controls/lumenbutton/lumen_button.h"
#include "controls/lumenbutton/lumen_button_painter.h"
#include "controls/lumenbutton/lumen_button_primitives.h"
#include "platform/ui/window_region.h"

void LumenButton::setDisplayScale(double scale)
{
    if (!(scale > 0) || scale == m_displayScale)
        return;
    m_displayScale = scale;
    Repaint();
}

double LumenButton::deviceScale() const
{
    return m_displayScale * devicePixelRatioF();
}

void LumenButton::ensureSurface()
{
    const double ratio = devicePixelRatioF();
    const int w = std::max(1, lumen::roundHalfEven(width() * ratio));
    const int h = std::max(1, lumen::roundHalfEven(height() * ratio));
    if (!m_surface.empty() && m_surface.width() == w && m_surface.height() == h && m_surfaceRatio == ratio)
        return;
    m_surfaceRatio = ratio;
    // A mask is made of logical pixels and cannot follow the region's device
    // pixels: beside 1, the parent shows through outside the region instead.
    setAttribute(Qt::WA_OpaquePaintEvent, ratio == 1.0);
    if (m_surface.create(w, h))
        m_surface.clear(m_backColor);
}

void LumenButton::clearSurface()
{
    m_surface.clear(m_backColor);
}

QImage LumenButton::surfaceImage() const
{
    return m_surface.toImage();
}

void LumenButton::setRegion(int w, int h, std::int32_t rounded)
{
    gdi::HRGN region = gdi::CreateRoundRectRgn(0, 0, w, h, rounded - 1, rounded - 1);
    if (m_surfaceRatio == 1.0) {
        // The window owns the region from here on.
        m_deviceShape = QRegion();
        gdi::SetWindowRgn(this, region, true);
        return;
    }
    // Every logical pixel that any device pixel of the region touches.
    QRegion shape, mask;
    for (int y = 0; y < h; ++y) {
        int x = 0;
        while (x < w && !gdi::PtInRegion(region, x, y))
            ++x;
        int end = x;
        while (end < w && gdi::PtInRegion(region, end, y))
            ++end;
        if (end <= x)
            continue;
        shape += QRect(x, y, end - x, 1);
        const int left = int(std::floor(x / m_surfaceRatio));
        const int right = int(std::ceil(end / m_surfaceRatio));
        const int top = int(std::floor(y / m_surfaceRatio));
        const int bottom = int(std::ceil((y + 1) / m_surfaceRatio));
        mask += QRect(left, top, right - left, bottom - top);
    }
    gdi::DeleteObject(region);
    m_deviceShape = shape;
    setMask(mask);
}

QImage LumenButton::screenImage() const
{
    QImage image = m_surface.toImage();
    if (m_surfaceRatio == 1.0 || image.isNull())
        return image;
    image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRegion outside = QRegion(image.rect()) - m_deviceShape;
    for (const QRect& r : outside)
        for (int y = r.top(); y <= r.bottom(); ++y)
            std::fill_n(reinterpret_cast<QRgb*>(image.scanLine(y)) + r.left(), r.width(), QRgb(0));
    image.setDevicePixelRatio(m_surfaceRatio);
    return image;
}

void LumenButton::DrawButton()
{
    ensureSurface();
    if (m_surface.empty())
        return;
    if (m_roundedValue < 1)
        m_roundedValue = 1;
    const double scale = deviceScale();
    const int w = m_surface.width();
    const int h = m_surface.height();
    const std::int32_t rounded =
        scale == 1.0 ? m_roundedValue : std::max(1, lumen::roundHalfEven(m_roundedValue * scale));
    setRegion(w, h, rounded);

    ButtonCanvas canvas(m_surface.dc(), w, h, rounded, scale);
    if (m_font)
        canvas.selectFont(*m_font);
    LumenButtonPainter painter(canvas, {m_enabled, m_hovering, m_focused, m_pressed, m_focusDottedRect});
    const bool known = painter.drawTheme(m_theme);
    if (canvas.backColour())
        m_backColor = *canvas.backColour();
    if (!known) {
        // An unknown theme shows nothing but the hover dots.
        if (m_hovering && m_focusDottedRect)
            canvas.DrawFocusDots();
        return;
    }
    if (m_icon)
        canvas.DrawIcon({m_iconSource, m_iconAlignment, m_transparencyICO});
    canvas.setDrawingColour(m_enabled ? m_foreColor : m_captionDisableColor);
    canvas.DrawCaption(m_caption, {m_captionAlignment, m_captionEffect, m_captionOffsetX, m_captionOffsetY,
                                   m_shadowOffsetX, m_shadowOffsetY, m_foreColor, m_captionEffectColor, m_enabled});
}

void LumenButton::Repaint()
{
    ensureSurface();
    ++m_paintCount;
    DrawButton();
    m_surfaceFresh = true;
    repaint();
}

void LumenButton::paintEvent(QPaintEvent*)
{
    ensureSurface();
    if (!m_surfaceFresh) {
        clearSurface();
        ++m_paintCount;
        DrawButton();
    }
    m_surfaceFresh = false;
    QPainter painter(this);
    painter.drawImage(0, 0, screenImage());
}

void LumenButton::resizeEvent(QResizeEvent*)
{
    ensureSurface();
    m_surfaceFresh = false;
}

std::int32_t LumenButton::DrawGradientFourColour(gdi::HDC ObjectHDC, std::int32_t& Left, std::int32_t& Top,
                                                 std::int32_t& Width, std::int32_t& Height,
                                                 gdi::COLORREF TopLeftColour, gdi::COLORREF TopRightColour,
                                                 gdi::COLORREF BottomLeftColour, gdi::COLORREF BottomRightColour)
{
    lumen::DrawGradientFourColour(ObjectHDC, Left, Top, Width, Height, TopLeftColour, TopRightColour,
                                  BottomLeftColour, BottomRightColour);
    return 0;
}
