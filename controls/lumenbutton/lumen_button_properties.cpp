// The button's stored properties: one table gives each property's key, its
// value for a newly placed control, its stored default (read and write
// alike) and its place in the reading and initialising orders. Writing goes
// in table order. The orders matter: every assignment runs through the
// setter with its side effects, and a later setter may undo an earlier one
// (Theme replaces the disabled caption colour, CaptionAlignment clears the
// caption offsets).

#include <algorithm>
#include <array>
#include <type_traits>

#include "controls/lumenbutton/lumen_button.h"
#include "controls/lumenbutton/property_bag.h"

namespace {

QVariant fontToVariant(const FontObject& font)
{
    if (!font)
        return {};
    QVariantMap map;
    map[QStringLiteral("name")] = font->faceName;
    map[QStringLiteral("size")] = font->pointSize;
    map[QStringLiteral("weight")] = font->weight;
    map[QStringLiteral("charset")] = font->charSet;
    map[QStringLiteral("italic")] = font->italic;
    map[QStringLiteral("underline")] = font->underline;
    map[QStringLiteral("strikethrough")] = font->strikeOut;
    return map;
}

FontObject fontFromVariant(const QVariant& value)
{
    const QVariantMap map = value.toMap();
    if (map.isEmpty())
        return nullptr;
    auto font = std::make_shared<gdi::LogFont>();
    font->faceName = map.value(QStringLiteral("name")).toString();
    font->pointSize = map.value(QStringLiteral("size"), 9.0).toDouble();
    font->weight = map.value(QStringLiteral("weight"), 400).toInt();
    font->charSet = map.value(QStringLiteral("charset"), 1).toInt();
    font->italic = map.value(QStringLiteral("italic")).toBool();
    font->underline = map.value(QStringLiteral("underline")).toBool();
    font->strikeOut = map.value(QStringLiteral("strikethrough")).toBool();
    return font;
}

// Values go into the bag as the container stores them: numbers as 64-bit
// integers, colours by their 32-bit value, texts and booleans as they are.
template <typename T>
QVariant toStored(const T& value)
{
    if constexpr (std::is_same_v<T, QString> || std::is_same_v<T, bool>)
        return value;
    else if constexpr (std::is_same_v<T, FontObject>)
        return fontToVariant(value);
    else
        return QVariant::fromValue<qlonglong>(qlonglong(value));
}

// Stored numbers are read as 32 bits and then narrowed, as the platform
// converts them.
template <typename T>
T fromStored(const QVariant& value)
{
    if constexpr (std::is_same_v<T, QString>)
        return value.toString();
    else if constexpr (std::is_same_v<T, bool>)
        return value.toBool();
    else if constexpr (std::is_same_v<T, FontObject>)
        return fontFromVariant(value);
    else
        return T(std::int32_t(value.toLongLong()));
}

using Getter = QVariant (*)(const LumenButton&);
using Setter = void (*)(LumenButton&, const QVariant&);

template <auto Get>
constexpr Getter getter()
{
    return [](const LumenButton& b) { return toStored((b.*Get)()); };
}

template <auto Get, auto Set>
constexpr Setter setter()
{
    return [](LumenButton& b, const QVariant& v) {
        using T = std::decay_t<decltype((b.*Get)())>;
        (b.*Set)(fromStored<T>(v));
    };
}

// Whose value a new control takes instead of the row's constant.
enum class FromContainer { No, DisplayName, AmbientFont };

QVariant number(qlonglong value)
{
    return QVariant::fromValue<qlonglong>(value);
}

QVariant colour(int r, int g, int b)
{
    return number(qlonglong(gdi::RGB(r, g, b)));
}

}  // namespace

struct LumenButton::PropertyRow {
    const char* name;
    int readStep;
    int initStep;
    QVariant initial;
    QVariant stored;  // the default when reading, and what writing compares with
    FromContainer fromContainer;
    Getter get;
    Setter set;
};

#define LUMEN_PROPERTY(Name, setName) getter<&LumenButton::Name>(), setter<&LumenButton::Name, &LumenButton::setName>()

// In writing order. The font's stored default is the container's ambient font.
const LumenButton::PropertyRow LumenButton::kProperties[] = {
    {"Caption", 1, 1, QString(), QString(), FromContainer::DisplayName, LUMEN_PROPERTY(Caption, setCaption)},
    {"IconSource", 2, 2, QString(), QString(), FromContainer::No, LUMEN_PROPERTY(IconSource, setIconSource)},
    {"ForeColor", 10, 3, number(0), number(0), FromContainer::No, LUMEN_PROPERTY(ForeColor, setForeColor)},
    {"CaptionDisableColor", 3, 19, colour(212, 212, 212), colour(212, 212, 212), FromContainer::No,
     LUMEN_PROPERTY(CaptionDisableColor, setCaptionDisableColor)},
    {"CaptionEffectColor", 4, 16, colour(255, 255, 255), colour(200, 200, 200), FromContainer::No,
     LUMEN_PROPERTY(CaptionEffectColor, setCaptionEffectColor)},
    {"CaptionEffect", 5, 17, number(1), number(1), FromContainer::No, LUMEN_PROPERTY(CaptionEffect, setCaptionEffect)},
    {"CaptionOffsetX", 7, 12, number(0), number(0), FromContainer::No,
     LUMEN_PROPERTY(CaptionOffsetX, setCaptionOffsetX)},
    {"CaptionOffsetY", 6, 13, number(0), number(0), FromContainer::No,
     LUMEN_PROPERTY(CaptionOffsetY, setCaptionOffsetY)},
    {"ShadowOffsetX", 9, 14, number(2), number(2), FromContainer::No, LUMEN_PROPERTY(ShadowOffsetX, setShadowOffsetX)},
    {"ShadowOffsetY", 8, 15, number(2), number(2), FromContainer::No, LUMEN_PROPERTY(ShadowOffsetY, setShadowOffsetY)},
    {"Theme", 11, 4, number(1), number(1), FromContainer::No, LUMEN_PROPERTY(Theme, setTheme)},
    {"FocusDottedRect", 12, 5, true, true, FromContainer::No, LUMEN_PROPERTY(FocusDottedRect, setFocusDottedRect)},
    {"Enabled", 13, 6, true, true, FromContainer::No,
     getter<&LumenButton::Enabled>(),
     [](LumenButton& b, const QVariant& v) {
         // The widget says nothing when its state stays; the property still does.
         const bool before = b.m_enabled;
         b.setEnabled(v.toBool());
         if (b.m_enabled == before)
             b.afterSet("Enabled");
     }},
    {"Font", 14, 7, QVariant(), QVariant(), FromContainer::AmbientFont,
     getter<&LumenButton::Font>(),
     [](LumenButton& b, const QVariant& v) {
         // A stored font that cannot be understood gives way to the ambient one.
         FontObject font = fontFromVariant(v);
         b.setFont(font ? font : b.ambientFont());
     }},
    {"Icon", 15, 8, false, false, FromContainer::No, LUMEN_PROPERTY(Icon, setIcon)},
    {"RoundedValue", 16, 9, number(5), number(5), FromContainer::No, LUMEN_PROPERTY(RoundedValue, setRoundedValue)},
    {"TransparencyICO", 17, 10, number(100), number(100), FromContainer::No,
     LUMEN_PROPERTY(TransparencyICO, setTransparencyICO)},
    {"CaptionAlignment", 18, 11, number(5), number(5), FromContainer::No,
     LUMEN_PROPERTY(CaptionAlignment, setCaptionAlignment)},
    {"IconAlignment", 19, 18, number(1), number(1), FromContainer::No,
     LUMEN_PROPERTY(IconAlignment, setIconAlignment)},
};

#undef LUMEN_PROPERTY

namespace {

// The rows sorted by one of their steps.
template <typename Row, std::size_t N>
std::array<const Row*, N> inOrder(const Row (&rows)[N], int Row::*step)
{
    std::array<const Row*, N> order;
    for (std::size_t i = 0; i < N; ++i)
        order[i] = &rows[i];
    std::sort(order.begin(), order.end(), [step](const Row* a, const Row* b) { return a->*step < b->*step; });
    return order;
}

}  // namespace

FontObject LumenButton::ambientFont() const
{
    return std::make_shared<gdi::LogFont>(m_container ? m_container->AmbientFont() : gdi::LogFont{});
}

void LumenButton::InitProperties()
{
    for (const PropertyRow* row : inOrder(kProperties, &PropertyRow::initStep)) {
        switch (row->fromContainer) {
        case FromContainer::DisplayName:
            setCaption(m_container ? m_container->DisplayName(*this) : objectName());
            break;
        case FromContainer::AmbientFont:
            setFont(ambientFont());
            break;
        case FromContainer::No:
            row->set(*this, row->initial);
            break;
        }
    }
    enableHoverPollInUserMode();
}

void LumenButton::ReadProperties(const PropertyBag& bag)
{
    for (const PropertyRow* row : inOrder(kProperties, &PropertyRow::readStep))
        row->set(*this, bag.ReadProperty(QLatin1String(row->name), row->stored));
    enableHoverPollInUserMode();
}

void LumenButton::WriteProperties(PropertyBag& bag) const
{
    for (const PropertyRow& row : kProperties) {
        const QVariant stored =
            row.fromContainer == FromContainer::AmbientFont ? fontToVariant(ambientFont()) : row.stored;
        bag.WriteProperty(QLatin1String(row.name), row.get(*this), stored);
    }
}
