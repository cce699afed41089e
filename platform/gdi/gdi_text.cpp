// Text output through Qt onto the DC's pixels.
#include <algorithm>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "platform/gdi/gdi_internal.h"

namespace gdi {

namespace {

// Fonts need a running GUI application; without one, text is refused.
bool fontsAvailable()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

// Glyphs are drawn without smoothing, so that every text pixel carries the
// text colour exactly (as the effect copies of a caption rely on) and
// extents and drawing agree.
QFont renderFont(const LogFont& font)
{
    QFont f = toQFont(font);
    f.setStyleStrategy(QFont::NoAntialias);
    return f;
}

void fillRect(DeviceContext& dc, int x, int y, int w, int h, COLORREF colour)
{
    for (int yy = y; yy < y + h; ++yy)
        for (int xx = x; xx < x + w; ++xx)
            putPixel(dc, xx, yy, colour);
}

}  // namespace

QFont toQFont(const LogFont& font)
{
    // No face name means the system's default face; an empty family would
    // let the font matcher pick an arbitrary (often decorative) font.
    QFont f;
    if (!font.faceName.isEmpty())
        f.setFamily(font.faceName);
    // Point sizes are taken at 96 pixels per inch, the window's design resolution.
    f.setPixelSize(std::max(1, int(font.pointSize * 96.0 / 72.0 + 0.5)));
    f.setWeight(font.weight >= 600 ? QFont::Bold : QFont::Normal);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStrikeOut(font.strikeOut);
    return f;
}

void SelectFont(HDC dc, const LogFont& font)
{
    if (dc)
        dc->font = font;
}

bool GetTextExtentPoint32(HDC dc, const QString& text, SIZE* size)
{
    if (!dc || !size || !fontsAvailable())
        return false;
    const QFontMetrics metrics(renderFont(dc->font));
    size->cx = metrics.horizontalAdvance(text);
    size->cy = metrics.height();
    return true;
}

bool TextOut(HDC dc, int x, int y, const QString& text)
{
    if (!dc || !fontsAvailable())
        return false;
    if (text.isEmpty() || !dc->bitmap)
        return true;
    const QFont font = renderFont(dc->font);
    const QFontMetrics metrics(font);
    const int advance = metrics.horizontalAdvance(text);
    const int height = metrics.height();
    if (dc->backMode == OPAQUE)
        fillRect(*dc, x, y, advance, height, dc->backColour);
    // Glyphs may overhang their advance (italics, accents); a margin of one
    // line height on every side keeps them whole.
    const int margin = height;
    const long long imageW = (long long)advance + 2LL * margin, imageH = 3LL * height;
    if (imageW <= 0 || imageH <= 0 || imageW * imageH > (1LL << 26))
        return false;
    QImage glyphs(int(imageW), int(imageH), QImage::Format_ARGB32_Premultiplied);
    if (glyphs.isNull())
        return false;
    glyphs.fill(Qt::transparent);
    {
        QPainter painter(&glyphs);
        painter.setFont(font);
        painter.setPen(QColor(GetRValue(dc->textColour), GetGValue(dc->textColour), GetBValue(dc->textColour)));
        painter.drawText(margin, margin + metrics.ascent(), text);
    }
    const COLORREF colour = dc->textColour;
    for (int gy = 0; gy < glyphs.height(); ++gy) {
        const auto* line = reinterpret_cast<const QRgb*>(glyphs.constScanLine(gy));
        for (int gx = 0; gx < glyphs.width(); ++gx) {
            // Unsmoothed glyphs leave each pixel either covered or not.
            if (qAlpha(line[gx]) >= 128)
                putPixel(*dc, x - margin + gx, y - margin + gy, colour);
        }
    }
    return true;
}

}  // namespace gdi
