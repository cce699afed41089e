#pragma once
// Shared helpers of the button painting tests: expected colours derived from
// the drawing rules, and buttons prepared in a given theme and look.

#include <QImage>
#include <QString>

#include <cmath>
#include <memory>
#include <set>

#include "controls/lumenbutton/lumen_button.h"

using gdi::COLORREF;
using gdi::RGB;

Q_DECLARE_METATYPE(gdi::COLORREF)

namespace painttest {

enum Look { Normal, Hover, Focus, Pressed, Disabled };
constexpr int kW = 75;
constexpr int kH = 23;

inline int channel(COLORREF c, int k)
{
    return int((c >> (8 * k)) & 0xFF);
}

// Step i of n of a two-vertex gradient: 16-bit channels, high byte kept.
inline COLORREF gradientStep(COLORREF a, COLORREF b, int i, int n)
{
    int out[3];
    for (int k = 0; k < 3; ++k) {
        const int a16 = channel(a, k) * 256, b16 = channel(b, k) * 256;
        out[k] = (a16 + (b16 - a16) * i / n) >> 8;
    }
    return RGB(out[0], out[1], out[2]);
}

// Entry i of a single-precision linear gradient of n steps.
inline COLORREF linearEntry(COLORREF a, COLORREF b, int n, int i)
{
    int out[3];
    for (int k = 0; k < 3; ++k) {
        const int from = channel(a, k), to = channel(b, k);
        const float step = (to - from == 0 || n == 0) ? 0.0f : float(double(to - from) / n);
        out[k] = int(std::nearbyint(double(from) + double(step) * i));
    }
    return RGB(out[0], out[1], out[2]);
}

// Pixel (dx, dy) of a w x h four-corner gradient.
inline COLORREF cornerGradient(COLORREF tl, COLORREF tr, COLORREF bl, COLORREF br, int w, int h, int dx, int dy)
{
    return linearEntry(linearEntry(tl, bl, h, dy), linearEntry(tr, br, h, dy), w, dx);
}

inline COLORREF colourAt(const QImage& image, int x, int y)
{
    const QRgb p = image.pixel(x, y);
    return RGB(qRed(p), qGreen(p), qBlue(p));
}

inline QString describe(COLORREF c)
{
    return QStringLiteral("(%1,%2,%3)").arg(channel(c, 0)).arg(channel(c, 1)).arg(channel(c, 2));
}

inline void applyLook(LumenButton& button, Look look)
{
    switch (look) {
    case Hover: button.setStateForTest(false, true, false); break;
    case Focus: button.setStateForTest(false, false, true); break;
    case Pressed: button.setStateForTest(true, false, false); break;
    case Disabled: button.setEnabled(false); break;
    default: break;
    }
}

inline std::unique_ptr<LumenButton> makeButton(int theme, Look look, int w = kW, int h = kH)
{
    auto button = std::make_unique<LumenButton>();
    button->resize(w, h);
    button->InitProperties();
    button->hoverTimer().stop();
    button->setCaption(QString());
    button->setTheme(theme);
    applyLook(*button, look);
    return button;
}

inline QImage paint(LumenButton& button)
{
    button.clearSurface();
    button.DrawButton();
    return button.surfaceImage();
}

using PixelSet = std::set<std::pair<int, int>>;

inline PixelSet pixelsOf(const QImage& image, COLORREF colour)
{
    PixelSet set;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (colourAt(image, x, y) == colour)
                set.insert({x, y});
    return set;
}

inline PixelSet shifted(const PixelSet& set, int dx, int dy)
{
    PixelSet out;
    for (const auto& [x, y] : set)
        if (x + dx >= 0 && x + dx < kW && y + dy >= 0 && y + dy < kH)
            out.insert({x + dx, y + dy});
    return out;
}

inline PixelSet minus(const PixelSet& a, const PixelSet& b)
{
    PixelSet out;
    for (const auto& p : a)
        if (!b.count(p))
            out.insert(p);
    return out;
}

inline PixelSet unite(const PixelSet& a, const PixelSet& b)
{
    PixelSet out = a;
    out.insert(b.begin(), b.end());
    return out;
}

constexpr COLORREF kFore = RGB(255, 0, 0);
constexpr COLORREF kEffect = RGB(0, 0, 255);
constexpr COLORREF kGrey = RGB(128, 128, 128);
constexpr COLORREF kDisabledCaption = RGB(0, 255, 0);

// A Classic button with a red two-letter caption in the given effect.
inline std::unique_ptr<LumenButton> captionButton(std::int32_t effect)
{
    auto button = makeButton(LumenButton::Classic, Normal);
    button->setCaption(QStringLiteral("Ab"));
    button->setForeColor(kFore);
    button->setCaptionEffectColor(kEffect);
    button->setCaptionDisableColor(kDisabledCaption);
    button->setCaptionEffect(effect);
    return button;
}

}  // namespace painttest
