// Text output through Qt onto the DC's pixels. (To be completed.)
#include "platform/gdi/gdi_internal.h"

namespace gdi {

QFont toQFont(const LogFont& font)
{
    QFont f(font.faceName);
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
bool GetTextExtentPoint32(HDC, const QString&, SIZE*) { return false; }
bool TextOut(HDC, int, int, const QString&) { return false; }

}  // namespace gdi
