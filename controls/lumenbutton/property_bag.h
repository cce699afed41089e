#pragma once
// The container's store of a control's properties: keys matched without
// regard to case and kept in lower case, values compared with a default when
// written so that only changed values are stored.

#include <QMap>
#include <QString>
#include <QVariant>

class PropertyBag {
public:
    // The stored value, or defaultValue when the key is absent.
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = {}) const;
    // Stores value unless it equals defaultValue (then the key is removed).
    void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue = {});
    bool contains(const QString& name) const { return m_values.contains(name.toLower()); }
    // Keys in lower case, as they appear in the design data.
    QStringList keys() const { return m_values.keys(); }
    void setRaw(const QString& name, const QVariant& value) { m_values.insert(name.toLower(), value); }

private:
    QMap<QString, QVariant> m_values;
};
