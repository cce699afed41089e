#pragma once
// Small routines shared by the loaders and the format readers.

#include <cstdint>
#include <memory>
#include <span>

#include <QString>

#include "imaging/surface/byte_array.h"
#include "platform/picture/picture.h"

namespace modParsers {

// True when the array has no storage at all.
bool IsArrayEmpty(const ByteArray& bytes);

// Bytes in one DIB row of `width` pixels at `bitCount` bits, padded to a
// 4-byte boundary; -1 when the bit count of the row overflows 32 bits.
std::int32_t ByteAlignOnWord(std::uint8_t bitCount, std::int32_t width);

// The value with its four bytes in reverse order (big- to little-endian and
// back), sign bit included.
std::int32_t ReverseLong(std::int32_t value);

// A picture object made by the platform picture loader from the `count`
// bytes at array index `first`; nullptr when the range lies outside the
// array or the loader cannot read them.
std::unique_ptr<picture::Picture> ArrayToPicture(const ByteArray& bytes, std::int32_t first, std::int32_t count);

// Writes the bytes as the file, replacing an existing one even when it is
// read-only. False when the old file cannot be removed or the new one not
// written completely (a partial file is removed).
bool ReplaceFile(const QString& fileName, std::span<const std::uint8_t> bytes);

}  // namespace modParsers
