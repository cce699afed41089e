#include "imaging/formats/vector_state.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#endif

namespace vectorstate {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
namespace {

[[gnu::target("avx")]] void zeroUpper()
{
    _mm256_zeroupper();
}

bool hasAvx()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx");
}

}  // namespace

void clearUpperHalves()
{
    static const bool avx = hasAvx();
    if (avx)
        zeroUpper();
}
#else
void clearUpperHalves() {}
#endif

}  // namespace vectorstate
