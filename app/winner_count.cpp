#include "app/winner_count.h"

#include <cmath>

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

}  // namespace winnercount
