#pragma once
// A drawing target for the surface tests: a top-down 32-bpp bitmap selected
// into its own memory DC.

#include <array>
#include <cstring>

#include "imaging/surface/c32bppdib.h"
#include "platform/gdi/gdi.h"
#include "tests/support/test_canvas.h"

// A top-down canvas whose pixels start as `fill`.
using Canvas = TestCanvas;

// Fills a surface with one B, G, R, A value.
inline void fillSurface(c32bppDIB& dib, std::array<std::uint8_t, 4> bgra)
{
    for (int i = 0; i < dib.Width() * dib.Height(); ++i)
        std::memcpy(dib.BitsPointer() + i * 4, bgra.data(), 4);
}
