#pragma once
// What the theme renderer draws with: the button's drawing primitives on one
// device context of a given pixel size. A canvas lives for one paint pass.
//
// Sizes, coordinates and the corner rounding are device pixels, so lines and
// frames stay one device pixel wide at any scale. The scale (device pixels
// per designed pixel) enlarges only what the design measures in its own
// pixels: the caption's font, its offsets and effect distances, the icon.
// At scale 1 everything is drawn exactly as designed.

#include <cstdint>
#include <optional>

#include <QString>

#include "platform/gdi/gdi.h"

// How the caption is printed; the offsets are the stored properties, still
// to be converted to bytes.
struct CaptionStyle {
    std::int32_t alignment = 5;
    std::int32_t effect = 1;
    std::int16_t offsetX = 0;
    std::int16_t offsetY = 0;
    std::int16_t shadowX = 2;
    std::int16_t shadowY = 2;
    gdi::COLORREF foreColour = 0;
    gdi::COLORREF effectColour = 0;
    bool enabled = true;
};

// The icon: the file, where it goes and its opacity in percent.
struct IconStyle {
    QString source;
    std::int32_t alignment = 1;
    std::int32_t opacity = 100;
};

class ButtonCanvas {
public:
    // roundedValue: the corner ellipse in device pixels (at least 1).
    ButtonCanvas(gdi::HDC dc, int width, int height, std::int32_t roundedValue, double scale);

    gdi::HDC dc() const { return m_dc; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    double scale() const { return m_scale; }

    // The two-colour gradient: the rectangle first, then the fill
    // (direction 0 horizontal, 1 vertical; right and bottom exclusive).
    void SetGradientRect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    void FillGradientRect(std::int32_t direction, gdi::COLORREF colourA, gdi::COLORREF colourB);
    void DrawGradientFourColour(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height,
                                gdi::COLORREF topLeft, gdi::COLORREF topRight, gdi::COLORREF bottomLeft,
                                gdi::COLORREF bottomRight);
    // A rounded outline; it sets the drawing colour (pen and text) for good.
    void DrawOutline(int x1, int y1, int x2, int y2, gdi::COLORREF colour);
    // A one-pixel line; the drawing colour is left as it was.
    void DrawLine(int x1, int y1, int x2, int y2, gdi::COLORREF colour);
    void DrawPixel(int x, int y, gdi::COLORREF colour);
    void DrawFocusDots();

    // The caption's font, as designed; the canvas scales it.
    void selectFont(const gdi::LogFont& font);
    // Sets the drawing colour used by plain and disabled captions.
    void setDrawingColour(gdi::COLORREF colour);
    // False (nothing printed) when an offset does not fit a byte or the text
    // cannot be measured.
    bool DrawCaption(const QString& caption, const CaptionStyle& style);
    void DrawIcon(const IconStyle& icon);

    // A theme may ask for the colour the surface is cleared to from now on.
    void setBackColour(gdi::COLORREF colour) { m_backColour = colour; }
    std::optional<gdi::COLORREF> backColour() const { return m_backColour; }

private:
    // A distance of the design in device pixels, rounded halves to even.
    int scaled(double designPixels) const;

    gdi::HDC m_dc;
    int m_width;
    int m_height;
    std::int32_t m_roundedValue;
    double m_scale;
    std::int32_t m_gradientRect[4] = {0, 0, 0, 0};
    std::optional<gdi::COLORREF> m_backColour;
    gdi::LogFont m_font;  // as selected, scaled
};
