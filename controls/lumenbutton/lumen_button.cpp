#include "controls/lumenbutton/lumen_button.h"

#include <algorithm>
#include <cstring>

#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "controls/lumenbutton/property_bag.h"
#include "platform/ui/message_box.h"

namespace {

constexpr int kHoverPollMs = 50;

// Disabled caption colours that the Theme setter applies to a disabled control.
bool themeDisabledColour(std::int32_t theme, gdi::COLORREF& colour)
{
    switch (theme) {
    case 1: case 2: case 4: case 5: case 6:
        colour = gdi::RGB(183, 182, 186);
        return true;
    case 3:
        colour = gdi::RGB(154, 182, 200);
        return true;
    case 7: case 8: case 9:
        colour = gdi::RGB(201, 199, 186);
        return true;
    default:
        return false;
    }
}

QString iconSourceMessage(const QString& firstLine, const QString& instruction)
{
    const QStringList lines = {firstLine,
                               QString(),
                               instruction,
                               QStringLiteral("Icon Image Extention is: "),
                               QStringLiteral("*.bmp / *.gif / *.jpg / *.ico / *.png / *.wmf / *.emf / *.cur / *.jpeg"),
                               QString(),
                               QStringLiteral("For Example:"),
                               QStringLiteral("C:\\My Pic.bmp")};
    return lines.join(QStringLiteral("\r\n"));
}

QString iconMessageTitle()
{
    const QStringList parts = QCoreApplication::applicationVersion().split(QLatin1Char('.'));
    auto part = [&](int i) { return i < parts.size() ? parts[i] : QStringLiteral("0"); };
    return QStringLiteral("Lumen Button 2007 Ver.") + part(0) + QLatin1Char('.') + part(1) + QLatin1Char('.') +
           part(2) + QLatin1Char('.');
}

QString executableTitle()
{
    const QString path = QCoreApplication::applicationFilePath();
    return path.isEmpty() ? QCoreApplication::applicationName() : QFileInfo(path).completeBaseName();
}

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

// Key codes as the control reports them: virtual-key numbers for the keys a
// button cares about, the upper-case character otherwise.
std::int16_t keyCodeOf(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Space: return 32;
    case Qt::Key_Return: case Qt::Key_Enter: return 13;
    case Qt::Key_Escape: return 27;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Backspace: return 8;
    case Qt::Key_Shift: return 16;
    case Qt::Key_Control: return 17;
    case Qt::Key_Alt: return 18;
    case Qt::Key_Left: return 37;
    case Qt::Key_Up: return 38;
    case Qt::Key_Right: return 39;
    case Qt::Key_Down: return 40;
    default:
        if (event.key() >= Qt::Key_F1 && event.key() <= Qt::Key_F24)
            return std::int16_t(112 + event.key() - Qt::Key_F1);
        if (event.key() < 0x80)
            return std::int16_t(event.key());
        return 0;
    }
}

std::int16_t shiftOf(Qt::KeyboardModifiers modifiers)
{
    std::int16_t shift = 0;
    if (modifiers & Qt::ShiftModifier)
        shift |= 1;
    if (modifiers & Qt::ControlModifier)
        shift |= 2;
    if (modifiers & Qt::AltModifier)
        shift |= 4;
    return shift;
}

std::int16_t buttonOf(Qt::MouseButtons buttons)
{
    std::int16_t button = 0;
    if (buttons & Qt::LeftButton)
        button |= 1;
    if (buttons & Qt::RightButton)
        button |= 2;
    if (buttons & Qt::MiddleButton)
        button |= 4;
    return button;
}

}  // namespace

LumenButton::LumenButton(QWidget* parent, ControlContainer* container)
    : QWidget(parent), m_container(container)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(false);
    m_tmrCheck.setInterval(kHoverPollMs);
    connect(&m_tmrCheck, &QTimer::timeout, this, &LumenButton::pollHover);
    m_windowFromPoint = [](const QPoint& p) { return QApplication::widgetAt(p); };
    m_cursorPos = [] { return QCursor::pos(); };
}

LumenButton::~LumenButton()
{
    Terminate();
    releaseSurface();
}

// ---- Setters: validate, store, notify, repaint ----

bool LumenButton::afterSet(const char* propertyName)
{
    if (m_container) {
        const QString error = m_container->PropertyChanged(*this, QString::fromLatin1(propertyName));
        if (!error.isEmpty())
            return false;
    }
    Repaint();
    return true;
}

bool LumenButton::setCaptionAlignment(std::int32_t value)
{
    // A new anchor starts without offsets; no notice for the offsets themselves.
    m_captionOffsetX = 0;
    m_captionOffsetY = 0;
    m_captionAlignment = value;
    return afterSet("CaptionAlignment");
}

bool LumenButton::setIconAlignment(std::int32_t value)
{
    return assign(m_iconAlignment, value, "IconAlignment");
}

bool LumenButton::setCaption(const QString& value)
{
    return assign(m_caption, value, "Caption");
}

bool LumenButton::setIconSource(const QString& value)
{
    return assign(m_iconSource, value, "IconSource");
}

bool LumenButton::setForeColor(gdi::COLORREF value)
{
    return assign(m_foreColor, value, "ForeColor");
}

bool LumenButton::setCaptionDisableColor(gdi::COLORREF value)
{
    return assign(m_captionDisableColor, value, "CaptionDisableColor");
}

bool LumenButton::setCaptionEffectColor(gdi::COLORREF value)
{
    return assign(m_captionEffectColor, value, "CaptionEffectColor");
}

bool LumenButton::setCaptionEffect(std::int32_t value)
{
    return assign(m_captionEffect, value, "CaptionEffect");
}

bool LumenButton::setCaptionOffsetX(std::int16_t value)
{
    return assign(m_captionOffsetX, value, "CaptionOffsetX");
}

bool LumenButton::setCaptionOffsetY(std::int16_t value)
{
    return assign(m_captionOffsetY, value, "CaptionOffsetY");
}

bool LumenButton::setShadowOffsetX(std::int16_t value)
{
    return assign(m_shadowOffsetX, value, "ShadowOffsetX");
}

bool LumenButton::setShadowOffsetY(std::int16_t value)
{
    return assign(m_shadowOffsetY, value, "ShadowOffsetY");
}

bool LumenButton::setTheme(std::int32_t value)
{
    if (!m_enabled) {
        gdi::COLORREF colour = 0;
        if (themeDisabledColour(value, colour))
            m_captionDisableColor = colour;
    }
    m_theme = value;
    return afterSet("Theme");
}

bool LumenButton::setFocusDottedRect(bool value)
{
    return assign(m_focusDottedRect, value, "FocusDottedRect");
}

bool LumenButton::setEnabled(bool value)
{
    return assign(m_enabled, value, "Enabled");
}

bool LumenButton::setFont(const FontObject& value)
{
    m_font = value;
    if (m_font && m_dc)
        gdi::SelectFont(m_dc, *m_font);
    return afterSet("Font");
}

bool LumenButton::setIcon(bool value)
{
    if (value) {
        if (m_iconSource.isEmpty()) {
            ui::messageBox().show(iconSourceMessage(QStringLiteral("Null Value!"),
                                                    QStringLiteral("Plaese Enter Icon Image Source in IconSource.")),
                                  iconMessageTitle(), ui::Buttons::Ok, ui::Icon::None);
            value = false;
        } else if (m_iconSource.size() <= 7) {
            ui::messageBox().show(iconSourceMessage(QStringLiteral("Incorrect Source!"),
                                                    QStringLiteral("Plaese Enter Correct Source in IconSource.")),
                                  iconMessageTitle(), ui::Buttons::Ok, ui::Icon::None);
            value = false;
        }
    }
    m_icon = value;
    return afterSet("Icon");
}

bool LumenButton::setTransparencyICO(std::int16_t value)
{
    if (value < 0 || value > 100) {
        ui::messageBox().show(QStringLiteral("Please Enter Between 0 TO 100 Value"), executableTitle(),
                              ui::Buttons::Ok, ui::Icon::Critical);
        value = 100;
    }
    m_transparencyICO = std::uint8_t(value);
    return afterSet("TransparencyICO");
}

bool LumenButton::setRoundedValue(std::int32_t value)
{
    return assign(m_roundedValue, value, "RoundedValue");
}

// ---- Persistence ----

void LumenButton::InitProperties()
{
    const gdi::LogFont ambient = m_container ? m_container->AmbientFont() : gdi::LogFont{};
    setCaption(m_container ? m_container->DisplayName(*this) : objectName());
    setIconSource(QString());
    setForeColor(0);
    setTheme(1);
    setFocusDottedRect(true);
    setEnabled(true);
    setFont(std::make_shared<gdi::LogFont>(ambient));
    setIcon(false);
    setRoundedValue(5);
    setTransparencyICO(100);
    setCaptionAlignment(5);
    setCaptionOffsetX(0);
    setCaptionOffsetY(0);
    setShadowOffsetX(2);
    setShadowOffsetY(2);
    setCaptionEffectColor(gdi::RGB(255, 255, 255));
    setCaptionEffect(1);
    setIconAlignment(1);
    setCaptionDisableColor(gdi::RGB(212, 212, 212));
    enableHoverPollInUserMode();
}

void LumenButton::ReadProperties(const PropertyBag& bag)
{
    auto i32 = [&](const char* key, std::int64_t def) {
        return std::int32_t(bag.ReadProperty(QLatin1String(key), QVariant::fromValue<qlonglong>(def)).toLongLong());
    };
    auto i16 = [&](const char* key, int def) { return std::int16_t(i32(key, def)); };
    auto boolean = [&](const char* key, bool def) { return bag.ReadProperty(QLatin1String(key), def).toBool(); };
    auto colour = [&](const char* key, gdi::COLORREF def) { return gdi::COLORREF(std::uint32_t(i32(key, def))); };

    setCaption(bag.ReadProperty(QStringLiteral("Caption"), QString()).toString());
    setIconSource(bag.ReadProperty(QStringLiteral("IconSource"), QString()).toString());
    setCaptionDisableColor(colour("CaptionDisableColor", gdi::RGB(212, 212, 212)));
    setCaptionEffectColor(colour("CaptionEffectColor", gdi::RGB(200, 200, 200)));
    setCaptionEffect(i32("CaptionEffect", 1));
    setCaptionOffsetY(i16("CaptionOffsetY", 0));
    setCaptionOffsetX(i16("CaptionOffsetX", 0));
    setShadowOffsetY(i16("ShadowOffsetY", 2));
    setShadowOffsetX(i16("ShadowOffsetX", 2));
    setForeColor(colour("ForeColor", 0));
    setTheme(i32("Theme", 1));
    setFocusDottedRect(boolean("FocusDottedRect", true));
    setEnabled(boolean("Enabled", true));
    const QVariant storedFont = bag.ReadProperty(QStringLiteral("Font"));
    FontObject font = fontFromVariant(storedFont);
    if (!font)
        font = std::make_shared<gdi::LogFont>(m_container ? m_container->AmbientFont() : gdi::LogFont{});
    setFont(font);
    setIcon(boolean("Icon", false));
    setRoundedValue(i32("RoundedValue", 5));
    setTransparencyICO(i16("TransparencyICO", 100));
    setCaptionAlignment(i32("CaptionAlignment", 5));
    setIconAlignment(i32("IconAlignment", 1));
    enableHoverPollInUserMode();
}

void LumenButton::WriteProperties(PropertyBag& bag) const
{
    auto num = [](std::int64_t v) { return QVariant::fromValue<qlonglong>(v); };
    const QVariant ambient = m_container ? fontToVariant(std::make_shared<gdi::LogFont>(m_container->AmbientFont()))
                                         : QVariant();
    bag.WriteProperty(QStringLiteral("Caption"), m_caption, QString());
    bag.WriteProperty(QStringLiteral("IconSource"), m_iconSource, QString());
    bag.WriteProperty(QStringLiteral("ForeColor"), num(m_foreColor), num(0));
    bag.WriteProperty(QStringLiteral("CaptionDisableColor"), num(m_captionDisableColor), num(gdi::RGB(212, 212, 212)));
    bag.WriteProperty(QStringLiteral("CaptionEffectColor"), num(m_captionEffectColor), num(gdi::RGB(200, 200, 200)));
    bag.WriteProperty(QStringLiteral("CaptionEffect"), num(m_captionEffect), num(1));
    bag.WriteProperty(QStringLiteral("CaptionOffsetX"), num(m_captionOffsetX), num(0));
    bag.WriteProperty(QStringLiteral("CaptionOffsetY"), num(m_captionOffsetY), num(0));
    bag.WriteProperty(QStringLiteral("ShadowOffsetX"), num(m_shadowOffsetX), num(2));
    bag.WriteProperty(QStringLiteral("ShadowOffsetY"), num(m_shadowOffsetY), num(2));
    bag.WriteProperty(QStringLiteral("Theme"), num(m_theme), num(1));
    bag.WriteProperty(QStringLiteral("FocusDottedRect"), m_focusDottedRect, true);
    bag.WriteProperty(QStringLiteral("Enabled"), m_enabled, true);
    bag.WriteProperty(QStringLiteral("Font"), fontToVariant(m_font), ambient);
    bag.WriteProperty(QStringLiteral("Icon"), m_icon, false);
    bag.WriteProperty(QStringLiteral("RoundedValue"), num(m_roundedValue), num(5));
    bag.WriteProperty(QStringLiteral("TransparencyICO"), num(m_transparencyICO), num(100));
    bag.WriteProperty(QStringLiteral("CaptionAlignment"), num(m_captionAlignment), num(5));
    bag.WriteProperty(QStringLiteral("IconAlignment"), num(m_iconAlignment), num(1));
}

void LumenButton::enableHoverPollInUserMode()
{
    if (!m_container || m_container->UserMode())
        m_tmrCheck.start();
}

// ---- Drawing surface ----

void LumenButton::ensureSurface()
{
    const int w = std::max(1, width());
    const int h = std::max(1, height());
    if (m_surface) {
        gdi::BITMAP info;
        gdi::GetObject(m_surface, &info);
        if (info.bmWidth == w && info.bmHeight == h)
            return;
        releaseSurface();
    }
    gdi::HDC screen = gdi::GetDC(nullptr);
    m_dc = gdi::CreateCompatibleDC(screen);
    gdi::BITMAPINFOHEADER header;
    header.biWidth = w;
    header.biHeight = h;
    header.biBitCount = 32;
    void* bits = nullptr;
    m_surface = gdi::CreateDIBSection(screen, header, gdi::DIB_RGB_COLORS, &bits);
    gdi::ReleaseDC(nullptr, screen);
    if (m_surface)
        m_stockBitmap = gdi::SelectObject(m_dc, m_surface);
    gdi::SetBkMode(m_dc, gdi::TRANSPARENT);
    if (m_font)
        gdi::SelectFont(m_dc, *m_font);
    clearSurface();
}

void LumenButton::releaseSurface()
{
    if (m_dc) {
        if (m_stockBitmap)
            gdi::SelectObject(m_dc, m_stockBitmap);
        gdi::DeleteDC(m_dc);
    }
    if (m_surface)
        gdi::DeleteObject(m_surface);
    m_dc = nullptr;
    m_surface = nullptr;
    m_stockBitmap = nullptr;
}

void LumenButton::clearSurface()
{
    if (!m_surface)
        return;
    gdi::BITMAP info;
    gdi::GetObject(m_surface, &info);
    auto* p = static_cast<std::uint8_t*>(info.bmBits);
    const std::uint8_t pixel[4] = {std::uint8_t(gdi::GetBValue(m_backColor)), std::uint8_t(gdi::GetGValue(m_backColor)),
                                   std::uint8_t(gdi::GetRValue(m_backColor)), 0};
    // The first row pixel by pixel, the others copied from it.
    const std::size_t row = std::size_t(std::max(0, info.bmWidth)) * 4;
    for (std::size_t i = 0; i < row; i += 4)
        std::memcpy(p + i, pixel, 4);
    for (int y = 1; y < info.bmHeight; ++y)
        std::memcpy(p + std::size_t(y) * row, p, row);
}

QImage LumenButton::surfaceImage() const
{
    if (!m_surface)
        return {};
    gdi::BITMAP info;
    gdi::GetObject(m_surface, &info);
    // The surface is bottom-up; the image is top-down and opaque.
    QImage image(info.bmWidth, info.bmHeight, QImage::Format_RGB32);
    const auto* bits = static_cast<const std::uint8_t*>(info.bmBits);
    for (int y = 0; y < info.bmHeight; ++y) {
        const auto* src = bits + std::size_t(info.bmHeight - 1 - y) * std::size_t(info.bmWidthBytes);
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < info.bmWidth; ++x)
            dst[x] = qRgb(src[x * 4 + 2], src[x * 4 + 1], src[x * 4]);
    }
    return image;
}

void LumenButton::Repaint()
{
    ensureSurface();
    ++m_paintCount;
    DrawButton();
    m_surfaceFresh = true;
    repaint();
}

void LumenButton::paintEvent(QPaintEvent*)
{
    ensureSurface();
    if (!m_surfaceFresh) {
        clearSurface();
        ++m_paintCount;
        DrawButton();
    }
    m_surfaceFresh = false;
    QPainter painter(this);
    painter.drawImage(0, 0, surfaceImage());
}

void LumenButton::resizeEvent(QResizeEvent*)
{
    ensureSurface();
    m_surfaceFresh = false;
}

void LumenButton::Terminate()
{
    m_tmrCheck.stop();
    m_pressed = false;
    m_hovering = false;
    m_focused = false;
    clearSurface();
}

void LumenButton::setStateForTest(bool pressed, bool hovering, bool focused)
{
    m_pressed = pressed;
    m_hovering = hovering;
    m_focused = focused;
}

// ---- Input: raise the event first, then react to what the host left ----

void LumenButton::mousePressEvent(QMouseEvent* event)
{
    if (!m_enabled)
        return;
    std::int16_t button = buttonOf(event->button());
    std::int16_t shift = shiftOf(event->modifiers());
    float x = float(event->position().x());
    float y = float(event->position().y());
    emit MouseDown(button, shift, x, y);
    if (button == 1) {
        m_pressed = true;
        Repaint();
    }
}

void LumenButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_enabled)
        return;
    std::int16_t button = buttonOf(event->button());
    std::int16_t shift = shiftOf(event->modifiers());
    float x = float(event->position().x());
    float y = float(event->position().y());
    emit MouseUp(button, shift, x, y);
    if (button == 1) {
        m_pressed = false;
        Repaint();
    }
    // The platform's click: a left release over the control.
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_enabled)
        emit Click();
}

void LumenButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_enabled)
        return;
    if (event->button() == Qt::LeftButton)
        emit DoubleClick();
}

void LumenButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_enabled)
        return;
    std::int16_t button = buttonOf(event->buttons());
    std::int16_t shift = shiftOf(event->modifiers());
    float x = float(event->position().x());
    float y = float(event->position().y());
    emit MouseMove(button, shift, x, y);
}

void LumenButton::keyPressEvent(QKeyEvent* event)
{
    if (!m_enabled)
        return;
    if (!event->isAutoRepeat() || event->key() != Qt::Key_Space) {
        std::int16_t keyCode = keyCodeOf(*event);
        std::int16_t shift = shiftOf(event->modifiers());
        emit KeyDown(keyCode, shift);
        if (keyCode == 32) {
            m_pressed = true;
            Repaint();
        }
    }
    // The character message that follows a key down.
    const QString text = event->text();
    if (!text.isEmpty() && m_enabled) {
        std::int16_t keyAscii = std::int16_t(text.at(0).unicode());
        if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            keyAscii = 13;
        emit KeyPress(keyAscii);
        if (keyAscii == 13)
            emit Click();
    }
}

void LumenButton::keyReleaseEvent(QKeyEvent* event)
{
    if (!m_enabled || event->isAutoRepeat())
        return;
    std::int16_t keyCode = keyCodeOf(*event);
    std::int16_t shift = shiftOf(event->modifiers());
    emit KeyUp(keyCode, shift);
    if (keyCode == 32) {
        m_pressed = false;
        Repaint();
    }
}

void LumenButton::focusInEvent(QFocusEvent*)
{
    if (!m_enabled)
        return;
    m_focused = true;
    Repaint();
}

void LumenButton::focusOutEvent(QFocusEvent*)
{
    if (!m_enabled)
        return;
    m_focused = false;
    Repaint();
}

void LumenButton::pollHover()
{
    if (!m_enabled)
        return;
    m_tmrCheck.stop();  // a slow repaint or handler must not re-enter the poll
    m_cursorPoint = m_cursorPos();
    QWidget* under = m_windowFromPoint(m_cursorPoint);
    if (m_hovering) {
        if (under != this) {
            m_hovering = false;
            Repaint();
            emit MouseLeaves(m_cursorPoint.x(), m_cursorPoint.y());
        }
    } else if (under == this) {
        m_hovering = true;
        Repaint();
        emit MouseEnters(m_cursorPoint.x(), m_cursorPoint.y());
    }
    m_tmrCheck.start();
}
