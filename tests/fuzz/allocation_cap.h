#pragma once
// The memory caps the fuzzer runs under (tools/run-fuzzer.sh:
// -malloc_limit_mb=256 -rss_limit_mb=512), for the replay of kept inputs in
// an ordinary test: this executable replaces the global operator new and
// delete with counting ones. While a cap is armed, an allocation larger than
// the single limit, or one that would bring what is held above the total
// limit, is refused with std::bad_alloc and noted; the test then fails the
// input, even when the reader caught the exception and refused the input
// itself. C++ allocations are counted, which is where the readers keep what
// they read; the C libraries underneath allocate small buffers of their own.

#include <cstddef>
#include <string>

namespace fuzztest {

constexpr std::size_t kSingleLimit = std::size_t(256) << 20;
constexpr std::size_t kTotalLimit = std::size_t(512) << 20;

// Counts from here; the caps hold until disarm().
void arm();
// Stops capping; returns "" when no allocation broke a cap since arm(),
// else what broke one.
std::string disarm();

}  // namespace fuzztest
