#include "app/scaled_combo_style.h"

#include <cmath>

#include <QApplication>
#include <QComboBox>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionComboBox>

ScaledComboStyle::ScaledComboStyle(double scale) : QProxyStyle(QApplication::style()->name()), m_scale(scale) {}

QRect ScaledComboStyle::subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl sub,
                                       const QWidget* widget) const
{
    const QRect rect = QProxyStyle::subControlRect(control, option, sub, widget);
    if (control != CC_ComboBox || (sub != SC_ComboBoxArrow && sub != SC_ComboBoxEditField))
        return rect;
    // The button grows with the scale; the text field gives it the room.
    const QRect base = QProxyStyle::subControlRect(control, option, SC_ComboBoxArrow, widget);
    const int extra = int(std::lround(base.width() * (m_scale - 1.0)));
    if (extra <= 0)
        return rect;
    if (sub == SC_ComboBoxArrow)
        return rect.adjusted(-extra, 0, 0, 0);
    return rect.adjusted(0, 0, -extra, 0);
}

void ScaledComboStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                                          const QWidget* widget) const
{
    const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option);
    if (control != CC_ComboBox || !combo || !(combo->subControls & SC_ComboBoxArrow)) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    // The frame and field as the platform draws them, the arrow of our size.
    QStyleOptionComboBox frame = *combo;
    frame.subControls &= ~SC_ComboBoxArrow;
    QProxyStyle::drawComplexControl(control, &frame, painter, widget);

    const QRectF button = subControlRect(control, option, SC_ComboBoxArrow, widget);
    const double width = 7.0 * m_scale;
    const double height = 4.0 * m_scale;
    const QPointF centre = button.center();
    QPainterPath arrow;
    arrow.moveTo(centre.x() - width / 2, centre.y() - height / 2);
    arrow.lineTo(centre.x() + width / 2, centre.y() - height / 2);
    arrow.lineTo(centre.x(), centre.y() + height / 2);
    arrow.closeSubpath();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->fillPath(arrow, option->palette.color(option->state & State_Enabled ? QPalette::Active : QPalette::Disabled,
                                                   QPalette::ButtonText));
    painter->restore();
}

void ScaledComboStyle::applyTo(QComboBox& combo, double scale)
{
    auto* current = qobject_cast<ScaledComboStyle*>(combo.style());
    if (scale == 1.0) {
        if (current) {
            combo.setStyle(nullptr);
            delete current;
        }
        return;
    }
    if (current && current->scale() == scale)
        return;
    auto* style = new ScaledComboStyle(scale);
    style->setParent(&combo);
    combo.setStyle(style);
    delete current;
}
