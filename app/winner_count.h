#pragma once
// Reading the winner count the operator typed.

#include <optional>

#include <QString>

namespace winnercount {

// The numeric test: optional surrounding spaces (also full-width ones), a
// sign, digits with an optional decimal part and exponent; full-width digits
// count as digits. Returns the value, or nothing when the text is not a number.
std::optional<double> ParseNumber(const QString& text);

// The value rounded to the nearest integer, halves to the even neighbour
// ("2.5" gives 2, "3.5" gives 4); values beyond the range of long long are
// clamped so that a range check refuses them.
long long RoundHalfEven(double value);

}  // namespace winnercount
