#pragma once
// The language run-time's conversion of numbers to integers: to the nearest
// integer, a value exactly halfway going to the even neighbour (2.5 gives 2,
// 3.5 gives 4, -2.5 gives -2). Every place that rounds that way uses these.

#include <cstdint>

namespace runtime {

// value rounded half to even, whatever the floating-point rounding mode;
// values beyond the 64-bit range (and infinities) give its ends, NaN gives 0.
std::int64_t roundHalfEven(double value);

// numerator / denominator rounded half to even, exactly, for a positive
// denominator and any numerator whose magnitude is below 2^62.
std::int64_t divideHalfEven(std::int64_t numerator, std::int64_t denominator);

}  // namespace runtime
