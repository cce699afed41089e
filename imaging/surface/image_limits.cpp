#include "imaging/surface/image_limits.h"

#include <limits>

namespace imaging {

namespace {

// A zero-filled allowance for images so small that the compressed data's
// own overhead dominates.
constexpr std::int64_t kSmallImageAllowance = 4096;

}  // namespace

std::optional<std::int64_t> surfaceBytes(std::int64_t width, std::int64_t height, std::int64_t pixelLimit)
{
    constexpr std::int64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();
    // Each side is checked before the product, so the product cannot overflow.
    if (width < 1 || height < 1 || width > kMaxBytes / 4 || height > kMaxBytes)
        return std::nullopt;
    const std::int64_t pixels = width * height;
    if (pixels > pixelLimit || pixels > kMaxBytes / 4)
        return std::nullopt;
    return pixels * 4;
}

bool compressedCanFill(std::int64_t expectedBytes, std::int64_t compressedBytes)
{
    if (expectedBytes <= kSmallImageAllowance)
        return true;
    // The ratio bound is computed only for sizes where it cannot overflow.
    if (compressedBytes >= std::numeric_limits<std::int64_t>::max() / (2 * kMaxDeflateRatio))
        return true;
    return expectedBytes <= 2 * kMaxDeflateRatio * compressedBytes + kSmallImageAllowance;
}

}  // namespace imaging
