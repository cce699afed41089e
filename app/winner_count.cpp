#include "app/winner_count.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include <QRegularExpression>

namespace winnercount {

std::optional<double> ParseNumber(const QString& text)
{
    // Compatibility folding turns full-width digits, signs and spaces into
    // their ASCII forms, as a Chinese input method may type them.
    const QString folded = text.normalized(QString::NormalizationForm_KC).trimmed();
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!number.match(folded).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = folded.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

long long RoundHalfEven(double value)
{
    constexpr double kLimit = 9.0e18;
    if (value >= kLimit)
        return std::numeric_limits<long long>::max();
    if (value <= -kLimit)
        return std::numeric_limits<long long>::min();
    const int mode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(mode);
    return static_cast<long long>(rounded);
}

}  // namespace winnercount
