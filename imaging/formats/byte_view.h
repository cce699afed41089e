#pragma once
// Bounds-checked reads of little- and big-endian integers over a span of
// bytes, shared by every format reader. Every read reports whether the bytes
// lay inside the span; nothing is read outside it.

#include <cstdint>
#include <optional>
#include <span>

class ByteView {
public:
    ByteView() = default;
    explicit ByteView(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::int64_t size() const { return std::int64_t(m_bytes.size()); }
    std::span<const std::uint8_t> bytes() const { return m_bytes; }
    bool contains(std::int64_t pos, std::int64_t count) const
    {
        return pos >= 0 && count >= 0 && pos <= size() && count <= size() - pos;
    }
    // The count bytes at pos, or an empty span when they don't all lie inside.
    std::span<const std::uint8_t> sub(std::int64_t pos, std::int64_t count) const
    {
        return contains(pos, count) ? m_bytes.subspan(std::size_t(pos), std::size_t(count))
                                    : std::span<const std::uint8_t>();
    }
    std::optional<std::uint8_t> u8(std::int64_t pos) const
    {
        return contains(pos, 1) ? std::optional<std::uint8_t>(m_bytes[std::size_t(pos)]) : std::nullopt;
    }
    std::optional<std::uint16_t> u16(std::int64_t pos) const
    {
        if (!contains(pos, 2))
            return std::nullopt;
        const auto p = std::size_t(pos);
        return std::uint16_t(m_bytes[p] | (m_bytes[p + 1] << 8));
    }
    std::optional<std::uint32_t> u32(std::int64_t pos) const
    {
        if (!contains(pos, 4))
            return std::nullopt;
        const auto p = std::size_t(pos);
        return std::uint32_t(m_bytes[p]) | std::uint32_t(m_bytes[p + 1]) << 8 | std::uint32_t(m_bytes[p + 2]) << 16 |
               std::uint32_t(m_bytes[p + 3]) << 24;
    }
    std::optional<std::int32_t> i32(std::int64_t pos) const
    {
        const auto v = u32(pos);
        return v ? std::optional<std::int32_t>(std::int32_t(*v)) : std::nullopt;
    }
    std::optional<std::uint32_t> u32be(std::int64_t pos) const
    {
        if (!contains(pos, 4))
            return std::nullopt;
        const auto p = std::size_t(pos);
        return std::uint32_t(m_bytes[p]) << 24 | std::uint32_t(m_bytes[p + 1]) << 16 |
               std::uint32_t(m_bytes[p + 2]) << 8 | std::uint32_t(m_bytes[p + 3]);
    }

    std::optional<std::int32_t> i32be(std::int64_t pos) const
    {
        const auto v = u32be(pos);
        return v ? std::optional<std::int32_t>(std::int32_t(*v)) : std::nullopt;
    }

private:
    std::span<const std::uint8_t> m_bytes;
};
