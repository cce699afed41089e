#pragma once
// Conversion of device-independent bitmaps of any common depth to the 32-bpp
// layout of the program's surfaces: the part of CreateDIBitmap + GetDIBits
// that the readers need.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/gdi/gdi.h"

namespace gdi {

// Bytes in one DIB row of width pixels at bitCount bits, padded to 4 bytes;
// -1 when the width or bit count is not positive or the size overflows 32 bits.
std::int64_t dibRowBytes(std::int32_t bitCount, std::int32_t width);

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
