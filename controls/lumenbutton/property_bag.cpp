#include "controls/lumenbutton/property_bag.h"

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const
{
    const auto it = m_values.constFind(name.toLower());
    return it == m_values.constEnd() ? defaultValue : it.value();
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue)
{
    if (defaultValue.isValid() && value == defaultValue)
        m_values.remove(name.toLower());
    else
        m_values.insert(name.toLower(), value);
}
