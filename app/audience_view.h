#pragma once
// The audience view: a window of its own for the room, full screen on the
// projector, drawn entirely from an AudienceState. Names and numbers are
// masked by default (each column can be switched); the background is one of
// the window's pictures. Everything but the rolling names is painted once
// into a layer of the screen's own pixels; a frame of the roll repaints only
// where the names were and are, with glyphs rendered once and kept.

#include <memory>
#include <optional>
#include <vector>

#include <QImage>
#include <QRegion>
#include <QTimer>
#include <QWidget>

#include "app/audience_layout.h"
#include "app/audience_state.h"

class GlyphCache;

class AudienceView : public QWidget {
    Q_OBJECT
public:
    explicit AudienceView(QWidget* parent = nullptr);
    ~AudienceView() override;

    // Shows the state; repaints only what changed (a new rolling name only
    // the names' place).
    void setState(const AudienceState& state);
    const AudienceState& state() const { return m_state; }

    // Masking of names (张*丰) and numbers (138****5678), on by default.
    void setMaskNames(bool on);
    void setMaskNumbers(bool on);
    bool masksNames() const { return m_maskNames; }
    bool masksNumbers() const { return m_maskNumbers; }
    // A person's name and number as the view shows them.
    QString shownName(const AudiencePerson& person) const;
    QString shownNumber(const AudiencePerson& person) const;

    // The picture behind everything, scaled to cover the view.
    void setBackground(const QImage& picture);

    // Pages of winners that do not fit at a readable size turn by themselves
    // every kPageSeconds, or by these.
    static constexpr int kPageSeconds = 8;
    int page() const { return m_page; }
    int pageCount() const;
    void nextPage();
    void previousPage();

    // The layout as now shown, in device pixels.
    audiencelayout::Frame frame() const;
    audiencelayout::WinnerGrid winnerGrid() const;
    // The text of the QR code shown, empty when none.
    QString qrText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // One line of text placed in device pixels.
    struct Placed {
        QString text;
        QFont font;
        QPointF topLeft;
        QRectF bounds;
        QColor colour;
        bool shadow = true;
    };
    struct Style {
        double pixels = 0;
        bool bold = true;
        QColor colour = Qt::white;
        Qt::Alignment align = Qt::AlignCenter;
        bool shadow = true;
    };

    QSize deviceSize() const;
    bool rollingShown() const;
    void invalidate();
    void layOutRolling();
    QRect logicalRect(const QRectF& device) const;
    void restartPageTimer();

    // Painting (audience_paint.cpp).
    Placed place(const QRectF& box, const QString& text, const Style& style) const;
    void paintText(QPainter& painter, const Placed& text);
    void paintBase();
    void paintBackground(QPainter& painter);
    void paintHeader(QPainter& painter, const audiencelayout::Frame& frame);
    void paintBody(QPainter& painter, const audiencelayout::Frame& frame);
    void paintWinners(QPainter& painter, const audiencelayout::Frame& frame);
    void paintFooter(QPainter& painter, const audiencelayout::Frame& frame);
    void paintQr(QPainter& painter, const QRectF& box, const QString& text);
    QRectF rollingPanel(const audiencelayout::Frame& frame) const;
    // Where the winners' grid is laid out and drawn, below its caption.
    static QRectF winnersArea(const audiencelayout::Frame& frame);
    QColor accent() const;

    AudienceState m_state;
    bool m_maskNames = true;
    bool m_maskNumbers = true;
    QImage m_picture;
    QImage m_base;  // everything but the rolling names, in device pixels
    bool m_baseValid = false;
    std::vector<Placed> m_rolling;  // the names as placed for the next frame
    QRegion m_rollingArea;          // where they are drawn, logical pixels
    std::unique_ptr<GlyphCache> m_glyphs;
    int m_page = 0;
    // The winners' grid as last laid out, with what it was laid out for.
    struct GridMemo {
        std::vector<AudiencePerson> winners;
        bool maskNames = true;
        bool maskNumbers = true;
        QRectF body;
        QSizeF screen;
        audiencelayout::WinnerGrid grid;
    };
    mutable std::optional<GridMemo> m_gridMemo;
    QTimer m_pageTimer;
};
