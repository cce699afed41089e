#pragma once
// Conversion of device-independent bitmaps of any common depth to the 32-bpp
// layout of the program's surfaces: the part of CreateDIBitmap + GetDIBits
// that the readers need.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/gdi/gdi.h"

namespace gdi {

// Bytes in one row of width pixels at bitCount bits, padded to a multiple of
// alignment bytes: 4 for DIB rows (the default), 1 for rows packed to the
// byte such as PNG scan lines. -1 when the width, bit count or alignment is
// not positive or the count does not fit 31 bits. The one place that sizes
// a row of pixels.
std::int64_t rowStride(std::int32_t bitCount, std::int64_t width, std::int32_t alignment = 4);

// Converts the pixels of a DIB of header.biBitCount 1, 4, 8, 16, 24 or 32
// (BI_RGB, or BI_BITFIELDS for 16 and 32) into width x |height| pixels of
// Blue, Green, Red, Alpha, written bottom-up without gaps into out.
//
// colourTable: the RGBQUADs that follow the header (palette depths; as many
// as the caller takes biClrUsed to give), or the three 32-bit masks red,
// green, blue (BI_BITFIELDS). Indices past the table give black. Alpha is the stored fourth byte for 32-bit BI_RGB and 255
// otherwise. Rows are read top-down when biHeight is negative.
// Fails (out untouched) when the header is unsupported, out is not exactly
// width x |height| x 4 bytes, or bits is shorter than the rows need.
bool convertDibTo32bpp(const BITMAPINFOHEADER& header, std::span<const std::uint8_t> colourTable,
                       std::span<const std::uint8_t> bits, std::span<std::uint8_t> out);

}  // namespace gdi
