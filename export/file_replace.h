#pragma once
// Replacing a results file so that a crash or a power cut leaves the old
// file or the new one, never half of one: a temporary file beside it,
// created with the user's umask (results hold telephone numbers: a user who
// keeps his files private keeps these private too), filled, flushed to the
// disk, renamed over the final name, and the folder flushed after it.

#include <functional>
#include <string>
#include <string_view>

namespace exporter {

// How data reaches the disk: fsync(2) on a descriptor (a file or a folder);
// 0 or -1 with errno. Tests give one that records or fails.
using SyncFn = std::function<int(int fd)>;

// Fills a temporary file named by its argument (which exists, empty);
// false with `error` set.
using FillFn = std::function<bool(const std::string& temporary, std::string& error)>;

// Writes `path` through `fill` as above; false with `error` naming `path`
// (never the temporary name), the old file then being as it was.
bool ReplaceFile(const std::string& path, const FillFn& fill, std::string& error, const SyncFn& sync = {});

// Writes `text` as the whole of `path` through ReplaceFile.
bool WriteTextFile(const std::string& path, std::string_view text, std::string& error);

}  // namespace exporter
