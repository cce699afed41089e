// The theme renderer. (To be completed: for now a plain face.)
#include "controls/lumenbutton/lumen_button.h"

void LumenButton::DrawButton()
{
    if (!m_dc)
        return;
    for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x)
            gdi::SetPixel(m_dc, x, y, gdi::RGB(225, 228, 232));
}

std::int32_t LumenButton::DrawGradientFourColour(gdi::HDC, std::int32_t&, std::int32_t&, std::int32_t&,
                                                 std::int32_t&, gdi::COLORREF, gdi::COLORREF, gdi::COLORREF,
                                                 gdi::COLORREF)
{
    return 0;
}
