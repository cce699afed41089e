#pragma once
// A one-dimensional byte array with its own lower bound, as the loaders and
// readers pass pictures around: an index i of the array is data[i - lowerBound].

#include <cstdint>
#include <span>
#include <vector>

struct ByteArray {
    std::vector<std::uint8_t> data;
    std::int32_t lowerBound = 0;

    ByteArray() = default;
    explicit ByteArray(std::vector<std::uint8_t> bytes, std::int32_t lower = 0)
        : data(std::move(bytes)), lowerBound(lower)
    {
    }

    // True when the array holds no storage at all.
    bool empty() const { return data.empty(); }
    // In 64 bits: an array whose lower bound lies near the end of the 32-bit
    // range reaches past it.
    std::int64_t upperBound() const { return std::int64_t(lowerBound) + std::int64_t(data.size()) - 1; }

    // The bytes at array indices first .. first + count - 1, or an empty span
    // when any of them lies outside the array.
    std::span<const std::uint8_t> range(std::int64_t first, std::int64_t count) const
    {
        const std::int64_t begin = first - lowerBound;
        if (count < 0 || begin < 0 || begin + count > std::int64_t(data.size()))
            return {};
        return std::span<const std::uint8_t>(data.data() + begin, std::size_t(count));
    }
};

// What a format reader made of the bytes it was offered.
enum class ReadOutcome {
    NotMine,   // not this reader's format: the next reader may try
    Accepted,  // this reader's format; whether an image loaded shows in the surface
    Failed,    // this reader's format, but the data is broken or points outside itself
};
