#include "app/design_data.h"

#include <QFile>
#include <QRegularExpression>
#include <QVariantMap>

// The resources live in a static library, so they are registered by hand.
static void registerAppResources()
{
    Q_INIT_RESOURCE(app);
}

namespace design {
namespace {

QVariant parseValue(const QString& key, const QString& raw)
{
    if (key == QLatin1String("font")) {
        // "name", points, weight, charset
        static const QRegularExpression fontPattern(
            QStringLiteral("^\"([^\"]*)\"\\s*,\\s*([0-9.]+)\\s*,\\s*(\\d+)\\s*,\\s*(\\d+)$"));
        const auto m = fontPattern.match(raw);
        if (!m.hasMatch())
            return {};
        QVariantMap font;
        font[QStringLiteral("name")] = m.captured(1);
        font[QStringLiteral("size")] = m.captured(2).toDouble();
        font[QStringLiteral("weight")] = m.captured(3).toInt();
        font[QStringLiteral("charset")] = m.captured(4).toInt();
        return font;
    }
    if (raw.size() >= 2 && raw.startsWith(QLatin1Char('"')) && raw.endsWith(QLatin1Char('"')))
        return raw.mid(1, raw.size() - 2);
    if (raw.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (raw.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong number = raw.toLongLong(&ok);
    if (ok)
        return number;
    return raw;
}

}  // namespace

QMap<QString, PropertyBag> ParseDesignData(const QString& text)
{
    QMap<QString, PropertyBag> bags;
    QString current;
    static const QRegularExpression begin(QStringLiteral("^Begin\\s+\\S+\\s+(\\S+)$"));
    for (QString line : text.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const auto m = begin.match(line);
        if (m.hasMatch()) {
            current = m.captured(1);
            bags[current];
            continue;
        }
        if (line == QLatin1String("End")) {
            current.clear();
            continue;
        }
        const int eq = line.indexOf(QLatin1Char('='));
        if (current.isEmpty() || eq <= 0)
            continue;
        const QString key = line.left(eq).trimmed().toLower();
        const QVariant value = parseValue(key, line.mid(eq + 1).trimmed());
        if (value.isValid())
            bags[current].setRaw(key, value);
    }
    return bags;
}

const QMap<QString, PropertyBag>& Form1Design()
{
    static const QMap<QString, PropertyBag> bags = [] {
        registerAppResources();
        QFile file(QStringLiteral(":/app/form1.frm"));
        if (!file.open(QIODevice::ReadOnly))
            return QMap<QString, PropertyBag>();
        return ParseDesignData(QString::fromUtf8(file.readAll()));
    }();
    return bags;
}

}  // namespace design
