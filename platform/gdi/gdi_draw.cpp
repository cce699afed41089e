// Gradient fills, DIB rows, outlines and lines. (To be completed.)
#include "platform/gdi/gdi_internal.h"

namespace gdi {

bool GradientFill(HDC, const TRIVERTEX*, std::uint32_t, const GRADIENT_RECT*, std::uint32_t, std::uint32_t)
{
    return false;
}
int SetDIBitsToDevice(HDC, int, int, std::uint32_t, std::uint32_t, int, int, std::uint32_t, std::uint32_t,
                      const void*, const BITMAPINFOHEADER&, std::uint32_t)
{
    return 0;
}
bool RoundRect(HDC, int, int, int, int, int, int) { return false; }
bool MoveToEx(HDC dc, int x, int y)
{
    if (!dc)
        return false;
    dc->penX = x;
    dc->penY = y;
    return true;
}
bool LineTo(HDC, int, int) { return false; }

}  // namespace gdi
