#pragma once
// A drop-down list's arrow at the design's scale. The platform style draws
// the arrow and its button at a fixed pixel size, which shrinks to a dot on a
// scaled-up window; this style widens the button and draws the arrow in
// proportion. It is set on a drop-down list only while the scale is not 1,
// so the designed size keeps the platform's own look.

#include <QProxyStyle>

class QComboBox;

class ScaledComboStyle : public QProxyStyle {
    Q_OBJECT
public:
    explicit ScaledComboStyle(double scale);

    double scale() const { return m_scale; }

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                         const QWidget* widget) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override;

    // Gives the list the style for the scale (the application's own at 1).
    static void applyTo(QComboBox& combo, double scale);

private:
    double m_scale;
};
