// Painting the audience view: the picture darkened where text stands, the
// header, the body for each phase, the winners' cards and the anchor with
// its QR code. Everything here is drawn in device pixels.

#include <cmath>

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "app/audience_view.h"
#include "app/draw_view.h"
#include "app/glyph_cache.h"
#include "export/qr_code.h"

using drawview::Say;

namespace {

const QColor kGold(255, 214, 102);
const QColor kWarmWhite(255, 244, 214);
const QColor kShadow(0, 0, 0, 170);
const QColor kReplacement(124, 236, 150);
// The modules of white around a QR code that readers need.
constexpr int kQuietModules = 4;

}  // namespace

QColor AudienceView::accent() const
{
    return m_state.grand ? kGold : kWarmWhite;
}

AudienceView::Placed AudienceView::place(const QRectF& box, const QString& text, const Style& style) const
{
    const double pixels = audiencelayout::FitPixels(text, style.pixels, box.width(), style.pixels * 0.5, style.bold);
    Placed placed;
    placed.text = text;
    placed.font = audiencelayout::Font(pixels, style.bold);
    placed.colour = style.colour;
    placed.shadow = style.shadow;
    const QFontMetricsF metrics(placed.font);
    const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
    double x = box.left();
    if (style.align & Qt::AlignHCenter)
        x = box.center().x() - size.width() / 2;
    else if (style.align & Qt::AlignRight)
        x = box.right() - size.width();
    double y = box.center().y() - size.height() / 2;
    if (style.align & Qt::AlignBottom)
        y = box.bottom() - size.height();
    placed.topLeft = QPointF(x, y);
    // Where ink falls: the glyphs' own box from the baseline, grown by what
    // thickening and the shadow add. A frame of the roll repaints no more.
    const QRectF ink = metrics.tightBoundingRect(text).translated(x, y + metrics.ascent());
    const double reach = pixels / 20 + 2;
    placed.bounds = ink.adjusted(-reach, -reach, reach, reach);
    return placed;
}

void AudienceView::paintText(QPainter& painter, const Placed& text)
{
    if (text.shadow) {
        const double offset = std::max(1.0, std::round(text.font.pixelSize() / 24.0));
        m_glyphs->draw(painter, text.topLeft + QPointF(offset, offset), text.text, text.font, kShadow);
    }
    m_glyphs->draw(painter, text.topLeft, text.text, text.font, text.colour);
}

void AudienceView::paintBase()
{
    const QSize size = deviceSize();
    if (m_base.size() != size)
        m_base = QImage(size, QImage::Format_RGB32);
    QPainter painter(&m_base);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const audiencelayout::Frame f = frame();
    paintBackground(painter);
    paintHeader(painter, f);
    paintBody(painter, f);
    paintFooter(painter, f);
    m_baseValid = true;
}

void AudienceView::paintBackground(QPainter& painter)
{
    const QRectF area(QPointF(0, 0), QSizeF(m_base.size()));
    painter.fillRect(area, Qt::black);
    if (!m_picture.isNull()) {
        // Covers the screen, its middle kept: no bars, whatever the shape.
        const double scale = std::max(area.width() / m_picture.width(), area.height() / m_picture.height());
        const QSizeF shown(area.width() / scale, area.height() / scale);
        const QRectF source(QPointF((m_picture.width() - shown.width()) / 2, (m_picture.height() - shown.height()) / 2),
                            shown);
        painter.drawImage(area, m_picture, source);
    }
    // Darker where the text stands, so that it reads over any picture.
    QLinearGradient shade(0, 0, 0, area.height());
    shade.setColorAt(0, QColor(0, 0, 0, 170));
    shade.setColorAt(0.3, QColor(0, 0, 0, 90));
    shade.setColorAt(0.75, QColor(0, 0, 0, 90));
    shade.setColorAt(1, QColor(0, 0, 0, 190));
    painter.fillRect(area, shade);
    if (m_state.grand) {
        const double unit = frame().unit;
        painter.setPen(QPen(kGold, 0.8 * unit));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(area.adjusted(unit, unit, -unit, -unit));
        painter.setPen(QPen(QColor(255, 214, 102, 120), 0.25 * unit));
        painter.drawRect(area.adjusted(2 * unit, 2 * unit, -2 * unit, -2 * unit));
    }
}

void AudienceView::paintHeader(QPainter& painter, const audiencelayout::Frame& f)
{
    const double u = f.unit;
    if (!m_state.eventTitle.isEmpty()) {
        Style title;
        title.pixels = 5 * u;
        title.colour = QColor(255, 255, 255, 235);
        paintText(painter, place(f.title, m_state.eventTitle, title));
    }
    if (!m_state.level.isEmpty()) {
        QString line = m_state.level;
        if (!m_state.prizeName.isEmpty())
            line += QStringLiteral("  ") + m_state.prizeName;
        if (m_state.grand)
            line = QStringLiteral("★ ") + line + QStringLiteral(" ★");
        Style level;
        level.pixels = (m_state.grand ? 12 : 10.5) * u;
        level.colour = accent();
        paintText(painter, place(f.level, line, level));
    }
    if (m_state.rounds > 0 && m_state.round > 0) {
        Style round;
        round.pixels = 5 * u;
        round.align = Qt::AlignLeft | Qt::AlignVCenter;
        paintText(painter, place(f.round, Say("Round %1 / %2", "第 %1 轮 / %2").arg(m_state.round).arg(m_state.rounds),
                                 round));
    }
    if (m_state.remaining) {
        Style remaining;
        remaining.pixels = 6.5 * u;
        remaining.align = Qt::AlignRight | Qt::AlignVCenter;
        paintText(painter, place(f.remaining, Say("%1 left", "剩余 %1 人").arg(*m_state.remaining), remaining));
    }
}

QRectF AudienceView::rollingPanel(const audiencelayout::Frame& f) const
{
    // During a roll the footer is empty: the panel stands in the middle of
    // everything below the header.
    const QRectF below(f.body.left(), f.body.top(), f.body.width(), f.qr.bottom() - f.body.top());
    const double height = std::min(below.height(), 40 * f.unit);
    return QRectF(below.left(), below.center().y() - height / 2, below.width(), height);
}

void AudienceView::paintBody(QPainter& painter, const audiencelayout::Frame& f)
{
    using Phase = AudienceState::Phase;
    const double u = f.unit;
    if (m_state.phase == Phase::Result) {
        paintWinners(painter, f);
        return;
    }
    Style message;
    message.pixels = 8 * u;
    // The roll's panel: behind the names, and where no name may stand still.
    const QRectF panel = rollingPanel(f);
    if (m_state.phase == Phase::Idle) {
        paintText(painter, place(panel, Say("The draw is about to begin", "抽奖即将开始"), message));
        return;
    }
    painter.setPen(m_state.grand ? QPen(kGold, 0.3 * u) : Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 150));
    painter.drawRoundedRect(panel, 2 * u, 2 * u);
    if (m_state.phase == Phase::Replacing) {
        Style label;
        label.pixels = 4.5 * u;
        label.colour = kReplacement;
        paintText(painter, place(QRectF(panel.left(), panel.top() - 7 * u, panel.width(), 6 * u),
                                 Say("Drawing a replacement", "补抽"), label));
    }
    if (m_state.phase == Phase::Drawing)
        paintText(painter, place(panel, Say("Drawing…", "正在开奖…"), message));
    else if (m_state.paused)
        paintText(painter, place(panel, Say("One moment, please…", "请稍候…"), message));
}

void AudienceView::paintWinners(QPainter& painter, const audiencelayout::Frame& f)
{
    const double u = f.unit;
    const audiencelayout::WinnerGrid grid = winnerGrid();
    QString caption = Say("%1 winners", "中奖名单 · 共 %1 人").arg(m_state.winners.size());
    if (grid.pages > 1)
        caption += QStringLiteral("  ·  ") + Say("page %1 of %2", "第 %1/%2 页").arg(m_page + 1).arg(grid.pages);
    Style captionStyle;
    captionStyle.pixels = 4 * u;
    captionStyle.colour = QColor(255, 255, 255, 230);
    paintText(painter, place(QRectF(f.body.left(), f.body.top(), f.body.width(), 5 * u), caption, captionStyle));

    const QRectF area = winnersArea(f);
    const std::vector<QRectF> cells = grid.cells(area, m_page);
    const int first = grid.firstOnPage(m_page);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const AudiencePerson& winner = m_state.winners[std::size_t(first) + i];
        const double gap = grid.namePixels * 0.12;
        const QRectF card = cells[i].adjusted(gap, gap, -gap, -gap);
        const QColor edge = winner.replacement ? kReplacement : m_state.grand ? kGold : QColor(255, 255, 255, 70);
        painter.setPen(QPen(edge, std::max(1.0, grid.namePixels * (winner.replacement ? 0.08 : 0.03))));
        painter.setBrush(m_state.grand ? QColor(90, 60, 0, 160) : QColor(0, 0, 0, 140));
        painter.drawRoundedRect(card, grid.namePixels * 0.25, grid.namePixels * 0.25);
        Style name;
        name.pixels = grid.namePixels;
        name.colour = accent();
        const double nameHeight = card.height() * 0.58;
        paintText(painter, place(QRectF(card.left(), card.top(), card.width(), nameHeight), shownName(winner), name));
        if (!winner.number.isEmpty()) {
            Style number;
            number.pixels = grid.numberPixels;
            number.bold = false;
            number.colour = QColor(255, 255, 255, 215);
            paintText(painter, place(QRectF(card.left(), card.top() + nameHeight * 0.92, card.width(),
                                            card.height() - nameHeight),
                                     shownNumber(winner), number));
        }
    }
}

void AudienceView::paintFooter(QPainter& painter, const audiencelayout::Frame& f)
{
    using Phase = AudienceState::Phase;
    Style line;
    line.pixels = 3.2 * f.unit;
    line.bold = false;
    line.align = Qt::AlignLeft | Qt::AlignBottom;
    line.colour = QColor(255, 255, 255, 220);
    if (m_state.phase == Phase::Result && m_state.anchor) {
        const AudienceAnchor& anchor = *m_state.anchor;
        paintText(painter, place(f.anchor, drawview::AnchorLine(anchor.drawId, anchor.digest.toStdString(),
                                                                anchor.afterVoid),
                                 line));
        paintQr(painter, f.qr, qrText());
    } else if (m_state.phase == Phase::Rolling || m_state.phase == Phase::Drawing) {
        const QString text = drawview::RollLine(m_state.commitment, m_state.announcement, m_state.publicInput);
        if (!text.isEmpty())
            paintText(painter, place(f.anchor, text, line));
    }
}

void AudienceView::paintQr(QPainter& painter, const QRectF& box, const QString& text)
{
    const std::optional<exporter::QrCode> code = exporter::EncodeQr(text.toStdString());
    if (!code)
        return;
    // Whole device pixels per module: a reader wants crisp square edges.
    const int span = code->size + 2 * kQuietModules;
    const int module = std::max(1, int(box.width()) / span);
    const int side = module * span;
    const QPoint origin(int(box.right()) - side, int(box.bottom()) - side);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.fillRect(QRect(origin, QSize(side, side)), Qt::white);
    const QPoint first = origin + QPoint(kQuietModules * module, kQuietModules * module);
    for (int y = 0; y < code->size; ++y)
        for (int x = 0; x < code->size; ++x)
            if (code->isDark(x, y))
                painter.fillRect(QRect(first + QPoint(x * module, y * module), QSize(module, module)), Qt::black);
    painter.restore();
}
