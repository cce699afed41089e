#pragma once
// Reading the winner count the operator typed.

#include <optional>

#include <QString>

namespace winnercount {

// The numeric test: optional surrounding spaces (also full-width ones), a
// sign, digits with an optional decimal part and exponent; full-width digits
// count as digits. Returns the value, or nothing when the text is not a number.
std::optional<double> ParseNumber(const QString& text);

// The count itself is the value rounded half to even (runtime::roundHalfEven
// in platform/runtime/numeric.h): "2.5" gives 2, "3.5" gives 4, and values
// beyond the 64-bit range clamp so that a range check refuses them.

}  // namespace winnercount
