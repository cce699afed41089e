#include "app/glyph_cache.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <QGlyphRun>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

namespace {

constexpr int kBandLines = 64;

// A face that has no bold weight of its own.
bool wantsThickening(const QFont& font, const QRawFont& raw)
{
    if (font.weight() < QFont::DemiBold)
        return false;
    const QString style = raw.styleName();
    for (const char* heavy : {"Bold", "Black", "Heavy", "Semibold", "Demibold"})
        if (style.contains(QLatin1String(heavy), Qt::CaseInsensitive))
            return false;
    return true;
}

// The largest value of each run of `width` values ending at each place of
// `in`, written to `out` (van Herk / Gil-Werman: three comparisons a value,
// whatever the width).
void runningMax(const uchar* in, int count, int step, int width, uchar* out, int outStep, int outCount,
                std::vector<uchar>& ahead, std::vector<uchar>& behind)
{
    // `in` holds `count` values; outside them the values are 0. Output i
    // covers inputs i - width + 1 .. i.
    const int padded = outCount + width;
    ahead.assign(std::size_t(padded), 0);
    behind.assign(std::size_t(padded), 0);
    auto value = [&](int i) { return i >= 0 && i < count ? in[std::ptrdiff_t(i) * step] : uchar(0); };
    for (int i = 0; i < padded; ++i) {
        const uchar v = value(i - width + 1);
        ahead[std::size_t(i)] = i % width == 0 ? v : std::max(ahead[std::size_t(i - 1)], v);
    }
    for (int i = padded - 1; i >= 0; --i) {
        const uchar v = value(i - width + 1);
        behind[std::size_t(i)] = (i + 1) % width == 0 || i == padded - 1 ? v : std::max(behind[std::size_t(i + 1)], v);
    }
    for (int i = 0; i < outCount; ++i)
        out[std::ptrdiff_t(i) * outStep] = std::max(behind[std::size_t(i)], ahead[std::size_t(i + width - 1)]);
}

// Grows every stroke by `radius` pixels on each side: a square max filter,
// done as a pass along the rows and one along the columns.
QImage thicken(const QImage& alpha, int radius)
{
    const int width = 2 * radius + 1;
    const int w = alpha.width() + 2 * radius, h = alpha.height() + 2 * radius;
    std::vector<uchar> ahead, behind;
    QImage wide(w, alpha.height(), QImage::Format_Alpha8);
    for (int y = 0; y < alpha.height(); ++y)
        runningMax(alpha.constScanLine(y), alpha.width(), 1, width, wide.scanLine(y), 1, w, ahead, behind);
    QImage tall(w, h, QImage::Format_Alpha8);
    const int wideStep = int(wide.bytesPerLine()), tallStep = int(tall.bytesPerLine());
    for (int x = 0; x < w; ++x)
        runningMax(wide.constBits() + x, wide.height(), wideStep, width, tall.bits() + x, tallStep, h, ahead, behind);
    return tall;
}

// The glyph in the colour, ready to be drawn over anything.
void tint(const QImage& alpha, const QColor& colour, QImage& into)
{
    if (into.width() < alpha.width() || into.height() < alpha.height())
        into = QImage(std::max(into.width(), alpha.width()), std::max(into.height(), alpha.height()),
                      QImage::Format_ARGB32_Premultiplied);
    const QRgb rgb = colour.rgba();
    // One table of the 256 coverages: a lookup a pixel.
    QRgb table[256];
    for (int a = 0; a < 256; ++a)
        table[a] = qPremultiply(qRgba(qRed(rgb), qGreen(rgb), qBlue(rgb), a * qAlpha(rgb) / 255));
    const int width = alpha.width(), height = alpha.height();
    for (int y = 0; y < height; ++y) {
        const uchar* in = alpha.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(into.scanLine(y));
        for (int x = 0; x < width; ++x)
            out[x] = table[in[x]];
    }
}

}  // namespace

std::size_t GlyphCache::KeyHash::operator()(const Key& key) const
{
    std::size_t h = qHash(key.face);
    for (std::size_t part :
         {std::size_t(key.pixels), std::size_t(key.weight), std::size_t(key.glyph), std::size_t(key.thicken)})
        h = h * 1000003u ^ part;
    return h;
}

GlyphCache::GlyphCache(std::size_t byteLimit) : m_limit(byteLimit) {}

const GlyphCache::Entry& GlyphCache::glyph(const QRawFont& font, std::uint32_t index, bool thick)
{
    Key key{font.familyName() + QLatin1Char('/') + font.styleName(), int(std::lround(font.pixelSize())),
            font.weight(), index, thick};
    if (auto found = m_entries.find(key); found != m_entries.end()) {
        m_uses.splice(m_uses.begin(), m_uses, found->second.use);
        return found->second;
    }
    QImage alpha = font.alphaMapForGlyph(index, QRawFont::PixelAntialiasing);
    if (alpha.format() != QImage::Format_Alpha8)
        alpha = alpha.convertToFormat(QImage::Format_Alpha8);
    const QRectF bounds = font.boundingRect(index);
    QPointF offset(std::floor(bounds.x()), std::floor(bounds.y()));
    // About a fortieth of the size; below some 45 pixels strokes are thick enough.
    const int radius = thick ? int(font.pixelSize() / 45) : 0;
    if (radius > 0 && !alpha.isNull()) {
        alpha = thicken(alpha, radius);
        offset -= QPointF(radius, radius);
    }
    Entry entry{alpha, offset, {}};
    m_bytes += std::size_t(entry.image.sizeInBytes());
    m_uses.push_front(key);
    entry.use = m_uses.begin();
    const Entry& stored = m_entries.emplace(key, std::move(entry)).first->second;
    evict();
    return stored;
}

void GlyphCache::evict()
{
    // The glyph just made stays, even alone above the limit.
    while (m_bytes > m_limit && m_uses.size() > 1) {
        auto found = m_entries.find(m_uses.back());
        m_bytes -= std::size_t(found->second.image.sizeInBytes());
        m_entries.erase(found);
        m_uses.pop_back();
    }
}

void GlyphCache::draw(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font,
                      const QColor& colour)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1e6);
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const bool thick = wantsThickening(font, raw);
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size(); ++i) {
            const Entry& entry = glyph(raw, indexes[i], thick);
            if (entry.image.isNull())
                continue;
            tint(entry.image, colour, m_tinted);
            // Whole pixels: an image moved by a fraction would be resampled.
            const QPointF at = topLeft + positions[i] + entry.offset;
            const QPoint origin(int(std::lround(at.x())), int(std::lround(at.y())));
            // In bands of few lines: the painter hands larger blends to worker
            // threads, and waking them for every glyph costs more than the blend.
            for (int top = 0; top < entry.image.height(); top += kBandLines) {
                const QRect band(0, top, entry.image.width(), std::min(kBandLines, entry.image.height() - top));
                painter.drawImage(origin + band.topLeft(), m_tinted, band);
            }
        }
    }
}
