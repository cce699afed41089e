#pragma once
// Small routines shared by the loaders and the format readers.

#include <cstdint>
#include <span>

#include <QString>

#include "imaging/surface/byte_array.h"

namespace modParsers {

// True when the array has no storage at all.
bool IsArrayEmpty(const ByteArray& bytes);

// Writes the bytes as the file, replacing an existing one even when it is
// read-only. False when the old file cannot be removed or the new one not
// written completely (a partial file is removed).
bool ReplaceFile(const QString& fileName, std::span<const std::uint8_t> bytes);

}  // namespace modParsers
