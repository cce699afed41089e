#pragma once
// Decoding of one GIF image into colour indices: the GIF's variable
// code-width LZW and its interlaced row order. Colours are not looked up;
// the caller maps indices through whichever table applies.

#include <cstdint>
#include <span>
#include <vector>

class ByteView;

enum class GifDecodeError {
    None,
    Truncated,       // the data ends before every pixel has an index
    NoImage,         // no image descriptor where one must be
    BadCodeSize,     // LZW minimum code size outside 2 to 8
    BadCode,         // a code that names no table entry yet
    Empty,           // a width or height of zero
    TooManyPixels,   // more pixels than the limit allows
    SizeBeyondData,  // more pixels than the image's codes could ever spell
};

struct GifIndexImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> indices;  // width x height, rows top-down
};

// Decodes the image data of an LZW stream (the sub-blocks already joined)
// into out, in the order the pixels are stored. Codes past the last pixel
// are ignored. An output larger than GIF's largest image (65535 x 65535) is
// refused (TooManyPixels).
GifDecodeError decodeGifLzw(std::span<const std::uint8_t> data, int minCodeSize, std::span<std::uint8_t> out);

// Decodes the image whose descriptor (the byte 44) lies at imagePos in gif:
// its local table is stepped over, its data sub-blocks joined and decoded.
// The image's own width and height give the result's size, which must not
// exceed pixelLimit pixels; both limits are checked before the indices are
// allocated.
GifDecodeError decodeGifImage(std::span<const std::uint8_t> gif, std::int64_t imagePos, std::int64_t pixelLimit,
                              GifIndexImage& out);

// Steps over a run of data sub-blocks starting at pos (each a size byte and
// that many bytes) and its zero terminator. False when the run leaves the data.
bool skipSubBlocks(const ByteView& v, std::int64_t& pos);
