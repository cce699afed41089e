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
// read-only. The bytes go to a temporary file in the same folder, which is
// renamed over the old file only once it is complete: a full disk or a
// failed write leaves the old file as it was (its permissions included) and
// no temporary file behind. False when anything fails.
bool ReplaceFile(const QString& fileName, std::span<const std::uint8_t> bytes);

}  // namespace modParsers
