#pragma once
// Builds deflate bit streams by hand for the decoder tests: fields go in
// least significant bit first, Huffman codes most significant bit first.

#include <cstdint>
#include <vector>

class BitWriter {
public:
    BitWriter& bits(std::uint32_t value, int n)
    {
        for (int i = 0; i < n; ++i)
            put((value >> i) & 1);
        return *this;
    }
    BitWriter& code(std::uint32_t value, int n)
    {
        for (int i = n - 1; i >= 0; --i)
            put((value >> i) & 1);
        return *this;
    }
    BitWriter& bytes(std::initializer_list<std::uint8_t> list)
    {
        align();
        m_bytes.insert(m_bytes.end(), list.begin(), list.end());
        return *this;
    }
    BitWriter& align()
    {
        m_bit = 0;
        return *this;
    }
    std::vector<std::uint8_t> done() const { return m_bytes; }

private:
    void put(std::uint32_t bit)
    {
        if (m_bit == 0)
            m_bytes.push_back(0);
        m_bytes.back() |= std::uint8_t(bit << m_bit);
        m_bit = (m_bit + 1) & 7;
    }
    std::vector<std::uint8_t> m_bytes;
    int m_bit = 0;
};
