#pragma once
// The theme renderer: the look that the button's state selects and the faces
// of the nine themes, drawn on a canvas in the notation the themes are
// written in. Coordinates are given in floating point (W/2-1, H-H/3, ...)
// and each is rounded once, halves to even, where an integer is needed.
// The renderer sees the button only through FaceState and the canvas.

#include <cstdint>

#include "controls/lumenbutton/button_canvas.h"

enum class Look { Disabled, Hover, Focus, Pressed, Normal };

// What the renderer needs to know of the button.
struct FaceState {
    bool enabled = true;
    bool hovering = false;
    bool focused = false;
    bool pressed = false;
    bool focusDottedRect = true;
};

constexpr gdi::COLORREF rgb(int r, int g, int b)
{
    return gdi::RGB(r, g, b);
}

class LumenButtonPainter {
public:
    LumenButtonPainter(ButtonCanvas& canvas, const FaceState& state);

    // Highest priority first: disabled, hover, focus, pressed, normal.
    static Look lookOf(const FaceState& state);

    // Draws the face of themes 1 to 9 in the current look; false (nothing
    // drawn) for any other theme.
    bool drawTheme(std::int32_t theme);

private:
    double W() const;
    double H() const;
    void vgrad(double x1, double y1, double x2, double y2, gdi::COLORREF a, gdi::COLORREF b);
    void hgrad(double x1, double y1, double x2, double y2, gdi::COLORREF a, gdi::COLORREF b);
    void quad(double left, double top, double width, double height, gdi::COLORREF tl, gdi::COLORREF tr,
              gdi::COLORREF bl, gdi::COLORREF br);
    void outline(double x1, double y1, double x2, double y2, gdi::COLORREF colour);
    void line(double x1, double y1, double x2, double y2, gdi::COLORREF colour);
    void pixel(double x, double y, gdi::COLORREF colour);
    // Focus dots in the focus look when FocusDottedRect is set, and in the
    // pressed look when the button also has the focus.
    void dots();
    // The flat disabled face of several themes: one colour over the whole
    // surface, the border, and an optional white-ish rim from (1, 1) to
    // (W - rimInset, H - rimInset).
    void flatDisabled(gdi::COLORREF face, gdi::COLORREF border);
    void flatDisabled(gdi::COLORREF face, gdi::COLORREF border, gdi::COLORREF rim, double rimInset);

    void drawFrost();
    void drawMidnight();
    void drawSky();
    void drawAmber();
    void drawSilver();
    void drawGlass();
    void drawClassicFamily(std::int32_t theme);

    // Parts shared by several looks of one theme.
    struct FrostRim;
    void frostNormal();
    void frostRim(const FrostRim& rim);
    void frostPressed();
    struct MidnightColours;
    void midnightLayout(const MidnightColours& c);
    struct SkyBands;
    void skySequence(const SkyBands& bands);
    void amberNormal();
    void amberFocus();
    void amberPressed();
    void amberHover();
    struct SilverColours;
    void silverLayout(const SilverColours& c);
    void glassNormal();
    struct GlassColours;
    void glassLit(const GlassColours& c);
    void glassPressed();

    ButtonCanvas& m_canvas;
    FaceState m_state;
    Look m_look;
};
