#pragma once
// A small PNG encoder for 32-bpp surfaces: one IHDR, the image data in IDAT
// chunks, IEND. 8-bit RGBA with straight alpha, or 8-bit RGB for opaque
// images; each row under the filter that suits it.

#include <cstdint>
#include <span>
#include <vector>

#include "platform/zlib/zlib_library.h"

// zlib's compress2(dest, &destLen, source, sourceLen, level); 0 on success.
using Compress2Fn = zlib::Compress2Fn;

// CRC-32 of PNG chunks (ISO 3309 polynomial, reflected), continuing from crc.
std::uint32_t pngCrc32(std::uint32_t crc, std::span<const std::uint8_t> bytes);
// Adler-32 of a zlib stream's uncompressed data.
std::uint32_t adler32(std::span<const std::uint8_t> bytes);

// A zlib stream of stored (uncompressed) deflate blocks.
std::vector<std::uint8_t> zlibStored(std::span<const std::uint8_t> raw);

// Encodes width x height pixels of bottom-up rows (Blue, Green, Red, Alpha,
// premultiplied) as PNG. With alpha the pixels are un-premultiplied into
// RGBA that loads back to exactly the same pixels; without, the alpha bytes are ignored and RGB is written. Compresses
// with compress2 when given (falling back to stored blocks if it fails).
// Returns an empty vector when the size is unusable or memory runs out.
std::vector<std::uint8_t> encodePng(const std::uint8_t* bits, std::int32_t width, std::int32_t height, bool alpha,
                                    Compress2Fn compress2);
