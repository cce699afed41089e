#pragma once
// Bounds-checked reads of little- and big-endian integers from a byte span.
// A read that reaches outside the span returns 0 and sets the failed flag,
// which stays set; readers check it once after a group of reads.

#include <cstddef>
#include <cstdint>
#include <span>

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

    std::size_t size() const { return m_bytes.size(); }
    bool failed() const { return m_failed; }
    std::span<const std::uint8_t> span() const { return m_bytes; }

    // True when count bytes starting at offset lie inside the span.
    bool has(std::size_t offset, std::size_t count) const
    {
        return offset <= m_bytes.size() && count <= m_bytes.size() - offset;
    }

    std::uint8_t u8(std::size_t offset) { return has(offset, 1) ? m_bytes[offset] : fail(); }
    std::uint16_t u16le(std::size_t offset)
    {
        if (!has(offset, 2))
            return fail();
        return std::uint16_t(m_bytes[offset] | (m_bytes[offset + 1] << 8));
    }
    std::uint16_t u16be(std::size_t offset)
    {
        if (!has(offset, 2))
            return fail();
        return std::uint16_t((m_bytes[offset] << 8) | m_bytes[offset + 1]);
    }
    std::uint32_t u32le(std::size_t offset)
    {
        if (!has(offset, 4))
            return fail();
        return std::uint32_t(m_bytes[offset]) | (std::uint32_t(m_bytes[offset + 1]) << 8) |
               (std::uint32_t(m_bytes[offset + 2]) << 16) | (std::uint32_t(m_bytes[offset + 3]) << 24);
    }
    std::uint32_t u32be(std::size_t offset)
    {
        if (!has(offset, 4))
            return fail();
        return (std::uint32_t(m_bytes[offset]) << 24) | (std::uint32_t(m_bytes[offset + 1]) << 16) |
               (std::uint32_t(m_bytes[offset + 2]) << 8) | std::uint32_t(m_bytes[offset + 3]);
    }
    // count bytes at offset, or an empty span (and the failed flag) when they
    // do not all lie inside.
    std::span<const std::uint8_t> bytes(std::size_t offset, std::size_t count)
    {
        if (!has(offset, count)) {
            fail();
            return {};
        }
        return m_bytes.subspan(offset, count);
    }

private:
    std::uint8_t fail()
    {
        m_failed = true;
        return 0;
    }

    std::span<const std::uint8_t> m_bytes;
    bool m_failed = false;
};
