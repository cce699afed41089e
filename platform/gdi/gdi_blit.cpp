// Blits and alpha blending. (To be completed.)
#include "platform/gdi/gdi_internal.h"

namespace gdi {

bool BitBlt(HDC, int, int, int, int, HDC, int, int, std::uint32_t) { return false; }
bool StretchBlt(HDC, int, int, int, int, HDC, int, int, int, int, std::uint32_t) { return false; }
bool AlphaBlend(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION) { return false; }

}  // namespace gdi
