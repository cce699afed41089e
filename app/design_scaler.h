#pragma once
// The window's design shown at any size: every child's designed geometry and
// font are taken once, at the designed size, and then applied scaled by one
// factor and moved by the margin that centres the design in the window
// (letterboxed: the design keeps its proportions). At scale 1 with no margin
// everything is exactly as designed.
//
// Edges are scaled and rounded, not sizes, so that controls that touch in
// the design still touch. Buttons and grids scale their own insides (caption,
// icon, columns, rows); labels sized to their text take the scaled font and
// size themselves to it.

#include <vector>

#include <QFont>
#include <QPointer>
#include <QRect>
#include <QWidget>

class DesignScaler {
public:
    // Takes the window's designed size and every direct child as it now is.
    explicit DesignScaler(QWidget& window, QSize designSize);

    // A child whose size follows its content: only its position scales.
    void sizeToContent(QWidget* child);

    // Shows the design at the scale, its top-left corner at origin.
    void apply(double scale, QPoint origin);
    double scale() const { return m_scale; }
    QPoint origin() const { return m_origin; }
    QSize designSize() const { return m_designSize; }
    // Where the design lies in the window.
    QRect contentRect() const;
    // A point of the design in window coordinates.
    QPoint map(QPoint designPoint) const;
    int map(int designLength) const;

    // The largest scale at which the design fits into size, and the origin
    // that centres it there.
    static double fitScale(QSize design, QSize size);
    static QPoint centredOrigin(QSize design, double scale, QSize size);

private:
    struct Item {
        QPointer<QWidget> widget;
        QRect geometry;
        QFont font;
        bool ownFont = false;
        bool toContent = false;
    };
    QFont scaledFont(const QFont& font) const;
    QRect scaledRect(const QRect& rect) const;
    void clipToDesign(QWidget& widget) const;

    QWidget& m_window;
    QSize m_designSize;
    QFont m_windowFont;
    std::vector<Item> m_items;
    double m_scale = 1.0;
    QPoint m_origin;
};
