#include "app/audience_view.h"

#include <cmath>

#include <QCloseEvent>
#include <QPainter>
#include <QPaintEvent>

#include "app/draw_view.h"
#include "app/glyph_cache.h"
#include "export/masking.h"

namespace {

constexpr int kBandLines = 64;

}  // namespace

AudienceView::AudienceView(QWidget* parent) : QWidget(parent, Qt::Window), m_glyphs(std::make_unique<GlyphCache>())
{
    setObjectName(QStringLiteral("AudienceView"));
    setWindowTitle(QStringLiteral("Sortia 观众屏幕"));
    // Everything is painted here: nothing behind needs drawing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    // The operator's keys stay with the console when the view appears.
    setAttribute(Qt::WA_ShowWithoutActivating);
    // Closing the console ends the program, as it always has, view or not.
    setAttribute(Qt::WA_QuitOnClose, false);
    setCursor(Qt::BlankCursor);
    resize(1024, 768);
    m_pageTimer.setInterval(kPageSeconds * 1000);
    connect(&m_pageTimer, &QTimer::timeout, this, &AudienceView::nextPage);
}

AudienceView::~AudienceView() = default;

QSize AudienceView::deviceSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(int(std::lround(width() * ratio)), int(std::lround(height() * ratio)));
}

audiencelayout::Frame AudienceView::frame() const
{
    return audiencelayout::FrameFor(deviceSize());
}

bool AudienceView::rollingShown() const
{
    using Phase = AudienceState::Phase;
    return (m_state.phase == Phase::Rolling || m_state.phase == Phase::Replacing) && !m_state.paused;
}

QString AudienceView::shownName(const AudiencePerson& person) const
{
    if (!m_maskNames)
        return person.name;
    return QString::fromStdString(exporter::MaskName(person.name.toStdString()));
}

QString AudienceView::shownNumber(const AudiencePerson& person) const
{
    if (!m_maskNumbers)
        return person.number;
    return QString::fromStdString(exporter::MaskNumber(person.number.toStdString()));
}

QRectF AudienceView::winnersArea(const audiencelayout::Frame& f)
{
    // A line above the grid says how many there are and which page this is.
    return f.body.adjusted(0, 6 * f.unit, 0, 0);
}

audiencelayout::WinnerGrid AudienceView::winnerGrid() const
{
    const QRectF body = winnersArea(frame());
    const QSize screen = deviceSize();
    // Laying out measures every name; a stop asks for the grid several times.
    if (m_gridMemo && m_gridMemo->winners == m_state.winners && m_gridMemo->maskNames == m_maskNames &&
        m_gridMemo->maskNumbers == m_maskNumbers && m_gridMemo->body == body && m_gridMemo->screen == screen)
        return m_gridMemo->grid;
    std::vector<QString> names, numbers;
    for (const AudiencePerson& winner : m_state.winners) {
        names.push_back(shownName(winner));
        numbers.push_back(shownNumber(winner));
    }
    m_gridMemo = GridMemo{m_state.winners, m_maskNames, m_maskNumbers, body, screen,
                          audiencelayout::LayWinners(body, screen, names, numbers)};
    return m_gridMemo->grid;
}

int AudienceView::pageCount() const
{
    if (m_state.phase != AudienceState::Phase::Result || m_state.winners.empty())
        return 1;
    return std::max(1, winnerGrid().pages);
}

void AudienceView::nextPage()
{
    const int pages = pageCount();
    if (pages <= 1)
        return;
    m_page = (m_page + 1) % pages;
    restartPageTimer();
    invalidate();
}

void AudienceView::previousPage()
{
    const int pages = pageCount();
    if (pages <= 1)
        return;
    m_page = (m_page + pages - 1) % pages;
    restartPageTimer();
    invalidate();
}

void AudienceView::restartPageTimer()
{
    if (pageCount() > 1)
        m_pageTimer.start();
    else
        m_pageTimer.stop();
}

QString AudienceView::qrText() const
{
    if (!m_state.anchor || m_state.phase != AudienceState::Phase::Result)
        return {};
    return drawview::Text(draw::AnchorText(m_state.anchor->drawId, m_state.anchor->digest.toStdString()));
}

void AudienceView::setState(const AudienceState& state)
{
    if (state == m_state)
        return;
    // Only the rolling names moved: repaint where they were and where they go.
    AudienceState others = state;
    others.rolling = m_state.rolling;
    const bool onlyNames = others == m_state;
    const bool newWinners = state.winners != m_state.winners || state.phase != m_state.phase;
    m_state = state;
    if (newWinners) {
        m_page = 0;
        restartPageTimer();
    }
    const QRegion before = m_rollingArea;
    layOutRolling();
    if (onlyNames && m_baseValid) {
        update(before.united(m_rollingArea));
        return;
    }
    invalidate();
}

void AudienceView::setMaskNames(bool on)
{
    m_maskNames = on;
    layOutRolling();
    invalidate();
}

void AudienceView::setMaskNumbers(bool on)
{
    m_maskNumbers = on;
    layOutRolling();
    invalidate();
}

void AudienceView::setBackground(const QImage& picture)
{
    m_picture = picture;
    invalidate();
}

void AudienceView::invalidate()
{
    m_baseValid = false;
    if (m_page >= pageCount())
        m_page = 0;
    update();
}

QRect AudienceView::logicalRect(const QRectF& device) const
{
    const qreal ratio = devicePixelRatioF();
    return QRectF(device.topLeft() / ratio, device.size() / ratio).toAlignedRect().adjusted(-1, -1, 1, 1);
}

void AudienceView::layOutRolling()
{
    m_rolling.clear();
    m_rollingArea = QRegion();
    if (!rollingShown() || m_state.rolling.empty())
        return;
    const audiencelayout::Frame f = frame();
    const QRectF panel = rollingPanel(f).adjusted(2 * f.unit, f.unit, -2 * f.unit, -f.unit);
    const int count = int(m_state.rolling.size());
    // Several names share the panel side by side; one takes it all.
    const double width = panel.width() / count;
    const double namePixels = std::min(19 * f.unit, panel.height() * 0.55);
    for (int i = 0; i < count; ++i) {
        const AudiencePerson& person = m_state.rolling[std::size_t(i)];
        const QRectF cell(panel.left() + i * width, panel.top(), width, panel.height());
        Style name;
        name.pixels = namePixels;
        name.shadow = false;
        name.colour = accent();
        Style number = name;
        number.pixels = audiencelayout::NumberPixels(namePixels) * 0.7;
        number.bold = false;
        number.colour = QColor(255, 255, 255, 220);
        const QRectF top(cell.left(), cell.top(), cell.width(), cell.height() * 0.68);
        const QRectF bottom(cell.left(), top.bottom(), cell.width(), cell.height() - top.height());
        m_rolling.push_back(place(top, shownName(person), name));
        if (!person.number.isEmpty())
            m_rolling.push_back(place(bottom, shownNumber(person), number));
    }
    for (const Placed& text : m_rolling)
        m_rollingArea += logicalRect(text.bounds);
}

void AudienceView::paintEvent(QPaintEvent* event)
{
    if (m_base.size() != deviceSize())
        layOutRolling();
    if (!m_baseValid || m_base.size() != deviceSize())
        paintBase();
    QPainter painter(this);
    const qreal ratio = devicePixelRatioF();
    // In device pixels from here: the layer and the glyphs go on 1:1.
    painter.scale(1 / ratio, 1 / ratio);
    // A frame of the roll repaints only where names were and are.
    for (const QRect& logical : event->region()) {
        const QRect device = QRectF(QPointF(logical.topLeft()) * ratio, QSizeF(logical.size()) * ratio).toAlignedRect();
        // In bands of few lines: the painter hands larger copies to worker
        // threads, and waking them at every frame costs more than the copy.
        for (int top = device.top(); top <= device.bottom(); top += kBandLines) {
            const QRect band(device.left(), top, device.width(), std::min(kBandLines, device.bottom() + 1 - top));
            painter.drawImage(band, m_base, band);
        }
    }
    const QRectF exposed(QPointF(event->rect().topLeft()) * ratio, QSizeF(event->rect().size()) * ratio);
    for (const Placed& text : m_rolling)
        if (text.bounds.intersects(exposed))
            paintText(painter, text);
}

void AudienceView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layOutRolling();
    invalidate();
}

void AudienceView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    // Moved to a screen of another pixel ratio: everything anew, sharp there.
    if (event->type() == QEvent::ScreenChangeInternal) {
        layOutRolling();
        invalidate();
    }
}

void AudienceView::closeEvent(QCloseEvent* event)
{
    // A stray close during a roll must not take the room's screen away.
    using Phase = AudienceState::Phase;
    if (m_state.phase == Phase::Rolling || m_state.phase == Phase::Drawing || m_state.phase == Phase::Replacing) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
