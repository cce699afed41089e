#pragma once
// The format readers' vector code is built for the x86-64 baseline, in the
// legacy SSE encoding. Where other code in the process has left the upper
// halves of the AVX registers in use without clearing them (VZEROUPPER),
// recent Intel processors make every legacy SSE instruction wait on those
// halves as if it read them, and loops of such instructions run several
// times slower. Kernels call this before their loops; it costs next to
// nothing, and nothing at all where AVX is absent.

namespace vectorstate {

void clearUpperHalves();

}  // namespace vectorstate
