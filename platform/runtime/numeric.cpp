#include "platform/runtime/numeric.h"

#include <cmath>
#include <limits>

namespace runtime {

std::int64_t roundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    // 2^63 is the first double beyond the range; every double at or past it
    // (and below -2^63) is clamped.
    constexpr double kEdge = 9223372036854775808.0;
    if (value >= kEdge)
        return std::numeric_limits<std::int64_t>::max();
    if (value < -kEdge)
        return std::numeric_limits<std::int64_t>::min();
    // floor and the difference are exact for doubles; no rounding mode is
    // involved.
    const double below = std::floor(value);
    const double fraction = value - below;
    double result = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0))
        result = below + 1.0;
    return result >= kEdge ? std::numeric_limits<std::int64_t>::max() : std::int64_t(result);
}

std::int64_t divideHalfEven(std::int64_t numerator, std::int64_t denominator)
{
    // Floor division first, so that the remainder is never negative.
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) {
        remainder += denominator;
        --quotient;
    }
    if (2 * remainder > denominator || (2 * remainder == denominator && (quotient & 1)))
        ++quotient;
    return quotient;
}

}  // namespace runtime
