#pragma once
// Large text drawn fast enough to roll. The raster painter draws glyphs
// above 64 pixels as outlines, every time (a name at 200 pixels costs
// several milliseconds); here each glyph is rendered once by the font
// engine into a coverage map of a byte a pixel and kept, up to a byte limit,
// the least recently used going first; drawing tints it. A face without a
// bold weight is thickened so that it still reads from afar.

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

class QPainter;

class GlyphCache {
public:
    explicit GlyphCache(std::size_t byteLimit = 64u << 20);

    // Draws one line of text with the top of its line box at `topLeft`, in
    // the painter's device pixels (the painter must not scale); the font's
    // pixel size is in device pixels too.
    void draw(QPainter& painter, QPointF topLeft, const QString& text, const QFont& font, const QColor& colour);

    std::size_t bytesHeld() const { return m_bytes; }

private:
    struct Key {
        QString face;
        int pixels;
        int weight;
        std::uint32_t glyph;
        bool thicken;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        std::size_t operator()(const Key& key) const;
    };
    struct Entry {
        QImage image;    // coverage, Format_Alpha8
        QPointF offset;  // from the pen position on the baseline
        std::list<Key>::iterator use;
    };
    const Entry& glyph(const class QRawFont& font, std::uint32_t index, bool thicken);
    void evict();

    std::size_t m_limit;
    std::size_t m_bytes = 0;
    std::unordered_map<Key, Entry, KeyHash> m_entries;
    std::list<Key> m_uses;  // most recent first
    QImage m_tinted;        // the glyph being drawn, in its colour
};
