#include "app/design_scaler.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>

#include "app/grid.h"
#include "app/scaled_combo_style.h"
#include "controls/lumenbutton/lumen_button.h"

namespace {

int roundToInt(double value)
{
    return int(std::lround(value));
}

}  // namespace

DesignScaler::DesignScaler(QWidget& window, QSize designSize)
    : m_window(window), m_designSize(designSize), m_windowFont(window.font())
{
    for (QObject* object : window.children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow())
            continue;
        m_items.push_back({child, child->geometry(), child->font(), child->testAttribute(Qt::WA_SetFont), false});
    }
}

void DesignScaler::sizeToContent(QWidget* child)
{
    for (Item& item : m_items)
        if (item.widget == child)
            item.toContent = true;
}

QFont DesignScaler::scaledFont(const QFont& font) const
{
    QFont scaled = font;
    if (font.pixelSize() > 0)
        scaled.setPixelSize(std::max(1, roundToInt(font.pixelSize() * m_scale)));
    else
        scaled.setPointSizeF(font.pointSizeF() * m_scale);
    return scaled;
}

QRect DesignScaler::scaledRect(const QRect& rect) const
{
    const int left = map(rect.left());
    const int top = map(rect.top());
    const int right = map(rect.left() + rect.width());
    const int bottom = map(rect.top() + rect.height());
    return QRect(left, top, right - left, bottom - top).translated(m_origin);
}

int DesignScaler::map(int designLength) const
{
    return roundToInt(designLength * m_scale);
}

QPoint DesignScaler::map(QPoint designPoint) const
{
    return QPoint(map(designPoint.x()), map(designPoint.y())) + m_origin;
}

QRect DesignScaler::contentRect() const
{
    return QRect(m_origin, QSize(map(m_designSize.width()), map(m_designSize.height())));
}

void DesignScaler::apply(double scale, QPoint origin)
{
    m_scale = scale;
    m_origin = origin;
    // Children that inherit the window's font follow it.
    m_window.setFont(scaledFont(m_windowFont));
    for (const Item& item : m_items) {
        QWidget* widget = item.widget;
        if (!widget)
            continue;
        if (auto* button = qobject_cast<LumenButton*>(widget)) {
            button->setGeometry(scaledRect(item.geometry));
            button->setDisplayScale(scale);
            continue;
        }
        if (auto* combo = qobject_cast<QComboBox*>(widget))
            ScaledComboStyle::applyTo(*combo, scale);
        if (auto* grid = qobject_cast<Grid*>(widget))
            grid->setDisplayScale(scale);
        else if (item.ownFont)
            widget->setFont(scaledFont(item.font));
        if (item.toContent) {
            widget->move(scaledRect(item.geometry).topLeft());
            widget->adjustSize();
        } else {
            widget->setGeometry(scaledRect(item.geometry));
        }
        clipToDesign(*widget);
    }
}

void DesignScaler::clipToDesign(QWidget& widget) const
{
    // The window's edge clips what reaches past the design; beside a
    // letterbox bar the control is cut at the design's edge instead.
    const QRect content = contentRect();
    const QRect geometry = widget.geometry();
    if (content != m_window.rect() && !content.contains(geometry))
        widget.setMask(QRegion(content.intersected(geometry).translated(-geometry.topLeft())));
    else if (!widget.mask().isEmpty())
        widget.clearMask();
}

double DesignScaler::fitScale(QSize design, QSize size)
{
    if (design.isEmpty() || size.isEmpty())
        return 1.0;
    return std::min(double(size.width()) / design.width(), double(size.height()) / design.height());
}

QPoint DesignScaler::centredOrigin(QSize design, double scale, QSize size)
{
    return QPoint((size.width() - roundToInt(design.width() * scale)) / 2,
                  (size.height() - roundToInt(design.height() * scale)) / 2);
}
