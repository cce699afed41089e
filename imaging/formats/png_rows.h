#pragma once
// The PNG reader's row kernels: undoing one scan line's filter, and turning
// one row of unfiltered samples into pixels of the surface (B, G, R, A in
// memory, premultiplied alpha). They work a pixel or several at a time in
// whole words where the machine allows it.
//
// Padding: kernels may read up to kRowPadding bytes past the end of every
// row they are given, and unfilterRow may also write that far past the end
// of its output row. Callers give them rows with that much room behind (its
// content does not matter). Pixels are written exactly: nothing behind the
// row's last pixel is touched.

#include <cstddef>
#include <cstdint>

namespace pngrows {

constexpr std::size_t kRowPadding = 16;

// Exact x / 255 for x up to 255 * 255, without dividing.
inline std::uint32_t div255(std::uint32_t x)
{
    return (x + 1 + (x >> 8)) >> 8;
}

// A pixel as B | G << 8 | R << 16 | A << 24 (B, G, R, A in memory on a
// little-endian machine), its colour scaled by its alpha: a transparent
// pixel is all zero.
inline std::uint32_t premultiplied(std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a)
{
    return div255(b * a) | div255(g * a) << 8 | div255(r * a) << 16 | a << 24;
}

// Reconstructs a row of `length` bytes from its filtered form (PNG filter
// types 0 to 4) into `out`; `above` is the previous reconstructed row of the
// same pass, all zeros for its first row. `unit` is the filter unit, the
// bytes of one pixel (1 for pixels of less than a byte), at most 8. Returns
// false, writing nothing, for an unknown filter type.
bool unfilterRow(std::uint8_t filter, const std::uint8_t* filtered, const std::uint8_t* above, std::uint8_t* out,
                 std::size_t length, std::size_t unit);

// Rows of `cols` pixels into `dst` (4 bytes a pixel).
// 8-bit RGB, opaque; with a key (R << 16 | G << 8 | B), the pixels of that
// colour are transparent.
void rgb8ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols);
void rgb8KeyedToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, std::uint32_t key);
// RGBA and grey with alpha, of 8 or 16 bits a sample (the high byte of a
// 16-bit sample is the one that counts).
void rgba8ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols);
void rgba16ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols);
void greyAlphaToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, std::size_t sampleBytes);
// 16-bit RGB by the samples' high bytes, opaque; with a key (the six bytes
// of a tRNS chunk), the pixels whose whole samples equal it are transparent.
void rgb16ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, const std::uint8_t* key);

// Grey levels or palette indices of `depth` bits (1, 2, 4 or 8) through
// `table` of `entries` ready pixels (B | G << 8 | R << 16 | A << 24).
// `expanded` is the table spread over the samples of each byte value (see
// expandLookup), used for depths below 8 when every sample value has an
// entry. Returns the first sample without an entry (the row's pixels before
// it written), or -1 when the row is complete.
int lookupToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, int depth,
                   const std::uint32_t* table, std::size_t entries, const std::uint32_t* expanded);
// 16-bit grey levels through the table by their high byte; with a key (the
// two bytes of a tRNS chunk), the samples equal to it are transparent.
// Returns as lookupToPixels.
int grey16ToPixels(const std::uint8_t* samples, std::uint8_t* dst, std::size_t cols, const std::uint32_t* table,
                   std::size_t entries, const std::uint8_t* key);
// Fills `expanded` (256 x 8 / depth entries) with, for every byte value, the
// table's pixels of its samples in order.
void expandLookup(int depth, const std::uint32_t* table, std::uint32_t* expanded);

}  // namespace pngrows
