#pragma once
// Limits that come before any work: the size of a surface, checked once, and
// how far compressed data can expand. Every reader sizes its surface (and
// anything it allocates for it) through surfaceBytes before allocating.

#include <cstdint>
#include <optional>

namespace imaging {

// The most pixels a load may produce unless the caller says otherwise:
// 8192 x 8192, a surface of 256 MiB, as the platform picture loader allows.
constexpr std::int64_t kDefaultPixelLimit = std::int64_t(8192) * 8192;
// For pictures decoded on every paint, such as a button's icon: 1024 x 1024
// (4 MiB), so that one oversized icon cannot freeze the window.
constexpr std::int64_t kIconPixelLimit = std::int64_t(1024) * 1024;

// Bytes of a 32-bpp surface of width x height pixels, or nothing when a side
// is below 1, the pixel count exceeds pixelLimit, or the byte count exceeds
// the 32-bit size a bitmap header can state.
std::optional<std::int64_t> surfaceBytes(std::int64_t width, std::int64_t height, std::int64_t pixelLimit);

// Deflate cannot expand data more than about 1032 to 1 (a 258-byte match
// from a code of as little as 2 bits, RFC 1951). A picture declaring more
// than twice what its compressed bytes could ever give, plus a little for
// tiny images, cannot hold its picture and is refused before its buffers
// are allocated; a modest shortfall still loads with the rest zero-filled.
constexpr std::int64_t kMaxDeflateRatio = 1032;
bool compressedCanFill(std::int64_t expectedBytes, std::int64_t compressedBytes);

}  // namespace imaging
