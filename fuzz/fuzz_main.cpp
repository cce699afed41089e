// The libFuzzer entry of one fuzz_<name> executable; the name is fixed at
// build time (SORTIA_FUZZ_TARGET).
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_targets.h"

namespace {

const fuzz::Target* g_target = nullptr;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Readers that reach Qt's image plugins need no display, only this.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    g_target = fuzz::findTarget(SORTIA_FUZZ_TARGET);
    if (!g_target) {
        std::fprintf(stderr, "no fuzz target named %s\n", SORTIA_FUZZ_TARGET);
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    g_target->run(std::span<const std::uint8_t>(data, size));
    return 0;
}
