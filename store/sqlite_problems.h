#pragma once
// What is wrong with an SQLite database file, in words an operator can act
// on: the file, the cause, the remedy, and SQLite's own text as a detail.
// All texts are in the user's language.

#include <cstdint>
#include <string>

#include "store/backend.h"

namespace store {

// Below this much free space on its disk, a database opened for changing is
// refused: a draw needs room for its record and for the journal beside the file.
constexpr std::uint64_t kMinimumFreeBytes = 1024 * 1024;

// Why this user cannot change the file (the file, its folder or its disk is
// read-only), or "" when nothing stands in the way. SQLite writes a journal
// beside the file, so the folder must be writable too.
std::string WriteProblem(const std::string& path);

// Why the disk holding the file has too little room to draw, or "".
std::string FreeSpaceProblem(const std::string& path, std::uint64_t minimumBytes = kMinimumFreeBytes);

// The message for a failed SQLite call: `code` is its extended result code,
// `sqliteText` its message. Sets `kind` to what the caller can do about it.
std::string DescribeSqliteFailure(int code, const std::string& sqliteText, const std::string& path, ErrorKind& kind);

// The message for a file that SQLite's check found damaged; `detail` is what
// the check reported.
std::string DamagedFileMessage(const std::string& path, const std::string& detail);

// Bytes as an operator reads them: "512 bytes", "37 KB", "2.5 MB".
std::string ReadableSize(std::uint64_t bytes);

}  // namespace store
