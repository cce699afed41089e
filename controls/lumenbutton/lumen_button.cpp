#include "controls/lumenbutton/lumen_button.h"

#include <utility>

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
    // MouseMove is raised for every move over the button, held button or not.
    setMouseTracking(true);
    m_tmrCheck.setInterval(kHoverPollMs);
    connect(&m_tmrCheck, &QTimer::timeout, this, &LumenButton::pollHover);
    m_windowFromPoint = [](const QPoint& p) { return QApplication::widgetAt(p); };
    m_cursorPos = [] { return QCursor::pos(); };
    // Every property starts at zero until it is read or initialised, Enabled too.
    QWidget::setEnabled(false);
}

LumenButton::~LumenButton()
{
    Terminate();
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

bool LumenButton::setFont(const FontObject& value)
{
    m_font = value;
    if (m_font) {
        // The widget reports the caption font as its own; that is no new font.
        m_adoptingFont = true;
        QWidget::setFont(gdi::toQFont(*m_font));
        m_adoptingFont = false;
    }
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

void LumenButton::enableHoverPollInUserMode()
{
    if (!m_container || m_container->UserMode())
        m_tmrCheck.start();
}

void LumenButton::Terminate()
{
    m_tmrCheck.stop();
    m_pressed = false;
    m_hovering = false;
    m_focused = false;
    clearSurface();
}

// The widget's own enabled state and font are the control's: whoever sets
// them, through this class or as a QWidget, gets the property's work.
void LumenButton::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange && isEnabled() != m_enabled) {
        m_enabled = isEnabled();
        // A disabled widget loses the focus without being told so.
        if (m_enabled && m_focused && !hasFocus())
            m_focused = false;
        afterSet("Enabled");
    } else if (event->type() == QEvent::FontChange && !m_adoptingFont && testAttribute(Qt::WA_SetFont) &&
               !(m_font && gdi::toQFont(*m_font) == QWidget::font())) {
        const QFont font = QWidget::font();
        auto adopted = std::make_shared<gdi::LogFont>(m_font ? *m_font : gdi::LogFont{});
        adopted->faceName = font.family();
        adopted->pointSize = font.pixelSize() > 0 ? font.pixelSize() * 72.0 / 96.0 : font.pointSizeF();
        adopted->weight = font.weight() >= QFont::DemiBold ? 700 : 400;
        adopted->italic = font.italic();
        adopted->underline = font.underline();
        adopted->strikeOut = font.strikeOut();
        m_font = adopted;
        afterSet("Font");
    }
    QWidget::changeEvent(event);
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
    // The platform's click: a left release over the control. The release
    // that ends a double click gives none: one Click per double click.
    const bool endsDoubleClick = std::exchange(m_releaseEndsDoubleClick, false);
    if (event->button() == Qt::LeftButton && !endsDoubleClick && rect().contains(event->position().toPoint()) &&
        m_enabled)
        emit Click();
}

void LumenButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!m_enabled)
        return;
    // Qt sends press, release, double click, release; the double click
    // stands for the second press, so it neither presses nor clicks.
    if (event->button() == Qt::LeftButton) {
        m_releaseEndsDoubleClick = true;
        emit DoubleClick();
    }
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
    const bool repeat = m_keyRepeat.isRepeat(*event);
    if (!repeat || event->key() != Qt::Key_Space) {
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
        // A held key repeats its key press, but a held Enter is one click.
        if (keyAscii == 13 && !repeat)
            emit Click();
    }
}

void LumenButton::keyReleaseEvent(QKeyEvent* event)
{
    m_keyRepeat.released(*event);
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
