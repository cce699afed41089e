#pragma once
// LumenButton: a self-drawn themed push button with a caption effect and an
// optional alpha-blended image. It paints into its own 32-bit drawing surface
// (a memory DC of the platform raster layer) and shows that surface.
//
// Setters validate, store, notify the container and repaint at once.
// Input arrives as Qt events and leaves as the control's own signals; the
// key and mouse signals pass their arguments by reference, so a handler
// connected directly may change what the control does next.
//
// The surface has the button's size in device pixels: its logical size times
// the screen's pixel ratio. The display scale says how large the window
// shows its design; the caption font, the icon and the caption's offsets
// grow with both, while frames stay one device pixel wide.

#include <cstdint>
#include <functional>
#include <memory>

#include <QRegion>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "controls/lumenbutton/button_surface.h"
#include "controls/lumenbutton/key_repeat.h"
#include "platform/gdi/gdi.h"

class PropertyBag;
class LumenButton;

// Services of the window that hosts a button.
class ControlContainer {
public:
    virtual ~ControlContainer() = default;
    // Change notice under the property's name; an error text fails the setter.
    virtual QString PropertyChanged(LumenButton& control, const QString& propertyName) = 0;
    virtual QString DisplayName(const LumenButton& control) const = 0;
    virtual gdi::LogFont AmbientFont() const = 0;
    virtual bool UserMode() const = 0;
};

// Font objects are shared by reference, as the host and the drawing surface
// both hold the same object.
using FontObject = std::shared_ptr<gdi::LogFont>;

class LumenButton : public QWidget {
    Q_OBJECT
public:
    enum Theme : std::int32_t { Frost = 1, Midnight, Sky, Amber, Silver, Glass, Classic, Olive, Metal };
    enum CaptionEffect : std::int32_t { Plain = 1, Embossed, Engraved, Outline, Shadow };
    enum CaptionAlignment : std::int32_t {
        TopLeft = 1, MiddleLeft, BottomLeft, TopCenter, MiddleCenter, BottomCenter, TopRight, MiddleRight, BottomRight
    };
    enum IconAlignment : std::int32_t { IconLeft = 1, IconRight = 2 };

    explicit LumenButton(QWidget* parent = nullptr, ControlContainer* container = nullptr);
    ~LumenButton() override;

    // ---- Properties: getters return the stored value; setters return false
    // when the container's change notice failed (the repaint is then skipped).
    QString Caption() const { return m_caption; }
    bool setCaption(const QString& value);
    QString IconSource() const { return m_iconSource; }
    bool setIconSource(const QString& value);
    gdi::COLORREF ForeColor() const { return m_foreColor; }
    bool setForeColor(gdi::COLORREF value);
    gdi::COLORREF CaptionDisableColor() const { return m_captionDisableColor; }
    bool setCaptionDisableColor(gdi::COLORREF value);
    gdi::COLORREF CaptionEffectColor() const { return m_captionEffectColor; }
    bool setCaptionEffectColor(gdi::COLORREF value);
    std::int32_t CaptionEffect() const { return m_captionEffect; }
    bool setCaptionEffect(std::int32_t value);
    std::int32_t CaptionAlignment() const { return m_captionAlignment; }
    bool setCaptionAlignment(std::int32_t value);
    std::int16_t CaptionOffsetX() const { return m_captionOffsetX; }
    bool setCaptionOffsetX(std::int16_t value);
    std::int16_t CaptionOffsetY() const { return m_captionOffsetY; }
    bool setCaptionOffsetY(std::int16_t value);
    std::int16_t ShadowOffsetX() const { return m_shadowOffsetX; }
    bool setShadowOffsetX(std::int16_t value);
    std::int16_t ShadowOffsetY() const { return m_shadowOffsetY; }
    bool setShadowOffsetY(std::int16_t value);
    std::int32_t IconAlignment() const { return m_iconAlignment; }
    bool setIconAlignment(std::int32_t value);
    bool Icon() const { return m_icon; }
    bool setIcon(bool value);
    std::int16_t TransparencyICO() const { return m_transparencyICO; }
    bool setTransparencyICO(std::int16_t value);
    std::int32_t Theme() const { return m_theme; }
    bool setTheme(std::int32_t value);
    bool FocusDottedRect() const { return m_focusDottedRect; }
    bool setFocusDottedRect(bool value);
    // Enabled is the widget's own: QWidget::setEnabled (or a disabled
    // parent) changes it, with the change notice and a repaint. A control
    // starts disabled until its properties are read or initialised.
    bool Enabled() const { return m_enabled; }
    // The caption font, kept by reference. QWidget::setFont on the button
    // itself sets it too (a font inherited from the parent does not).
    FontObject Font() const { return m_font; }
    bool setFont(const FontObject& value);
    using QWidget::setFont;
    std::int32_t RoundedValue() const { return m_roundedValue; }
    bool setRoundedValue(std::int32_t value);

    // Run-time flags.
    bool Pressed() const { return m_pressed; }
    bool Hovering() const { return m_hovering; }
    bool Focused() const { return m_focused; }

    // ---- Persistence in the container's property bag.
    void InitProperties();
    void ReadProperties(const PropertyBag& bag);
    void WriteProperties(PropertyBag& bag) const;

    // The public four-corner gradient; draws on any device context.
    std::int32_t DrawGradientFourColour(gdi::HDC ObjectHDC, std::int32_t& Left, std::int32_t& Top,
                                        std::int32_t& Width, std::int32_t& Height, gdi::COLORREF TopLeftColour,
                                        gdi::COLORREF TopRightColour, gdi::COLORREF BottomLeftColour,
                                        gdi::COLORREF BottomRightColour);

    // Paints the whole button into the drawing surface (no clearing first).
    void DrawButton();
    // DrawButton, then shows the surface at once.
    void Repaint();
    // Ends the control: stops the hover poll, clears the flags and the surface.
    void Terminate();

    // How many times its designed size the window shows the button (the
    // button's geometry is already scaled by its host). Repaints.
    void setDisplayScale(double scale);
    double displayScale() const { return m_displayScale; }
    // Device pixels per designed pixel: the display scale times the screen's
    // pixel ratio.
    double deviceScale() const;

    // ---- For the tests and the gallery.
    gdi::HDC surfaceDC() const { return m_surface.dc(); }
    gdi::COLORREF backColor() const { return m_backColor; }
    void setBackColor(gdi::COLORREF colour) { m_backColor = colour; }
    void clearSurface();
    QImage surfaceImage() const;
    int paintCount() const { return m_paintCount; }
    QTimer& hoverTimer() { return m_tmrCheck; }
    // Test hooks: force the run-time flags as if input had set them.
    void setStateForTest(bool pressed, bool hovering, bool focused);
    // Asks which widget lies under a screen point; replaceable in tests.
    void setWindowFromPoint(std::function<QWidget*(const QPoint&)> lookup) { m_windowFromPoint = std::move(lookup); }
    void setCursorPos(std::function<QPoint()> lookup) { m_cursorPos = std::move(lookup); }

signals:
    void Click();
    void DoubleClick();
    void KeyDown(std::int16_t& KeyCode, std::int16_t& Shift);
    void KeyPress(std::int16_t& KeyAscii);
    void KeyUp(std::int16_t& KeyCode, std::int16_t& Shift);
    void MouseDown(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseMove(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseUp(std::int16_t& Button, std::int16_t& Shift, float& X, float& Y);
    void MouseEnters(std::int32_t X, std::int32_t Y);
    void MouseLeaves(std::int32_t X, std::int32_t Y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    struct PropertyRow;
    static const PropertyRow kProperties[];

    bool afterSet(const char* propertyName);
    // Stores a property that has no side effect, then notifies and repaints.
    template <typename T, typename V>
    bool assign(T& field, const V& value, const char* propertyName)
    {
        field = value;
        return afterSet(propertyName);
    }
    void pollHover();
    void ensureSurface();
    void enableHoverPollInUserMode();
    FontObject ambientFont() const;
    // The window region for a surface of w x h device pixels.
    void setRegion(int w, int h, std::int32_t rounded);
    // What the surface shows on screen: where the pixel ratio is not 1, the
    // parent shows through outside the region.
    QImage screenImage() const;

    ControlContainer* m_container = nullptr;

    QString m_caption;
    QString m_iconSource;
    gdi::COLORREF m_foreColor = 0;
    gdi::COLORREF m_captionDisableColor = 0;
    gdi::COLORREF m_captionEffectColor = 0;
    std::int32_t m_captionEffect = 0;
    std::int32_t m_captionAlignment = 0;
    std::int16_t m_captionOffsetX = 0;
    std::int16_t m_captionOffsetY = 0;
    std::int16_t m_shadowOffsetX = 0;
    std::int16_t m_shadowOffsetY = 0;
    std::int32_t m_iconAlignment = 0;
    bool m_icon = false;
    std::uint8_t m_transparencyICO = 0;
    std::int32_t m_theme = 0;
    bool m_focusDottedRect = false;
    bool m_enabled = false;  // every field starts at zero until the properties are read
    FontObject m_font;
    bool m_adoptingFont = false;
    std::int32_t m_roundedValue = 0;

    bool m_pressed = false;
    bool m_hovering = false;
    bool m_focused = false;
    bool m_releaseEndsDoubleClick = false;
    KeyRepeat m_keyRepeat;
    QPoint m_cursorPoint;

    QTimer m_tmrCheck;
    std::function<QWidget*(const QPoint&)> m_windowFromPoint;
    std::function<QPoint()> m_cursorPos;

    ButtonSurface m_surface;
    double m_surfaceRatio = 1.0;
    double m_displayScale = 1.0;
    QRegion m_deviceShape;  // the region in device pixels, when the pixel ratio is not 1
    gdi::COLORREF m_backColor = gdi::RGB(236, 233, 216);
    bool m_surfaceFresh = false;
    int m_paintCount = 0;
};
