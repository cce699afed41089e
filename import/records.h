#pragma once
// What every participant-list reader produces: rows of text fields with the
// line (CSV), sheet row (XLSX) or record number (Access) that the operator
// can find them by, and problems tied to such a line.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace importer {

struct Record {
    std::size_t line = 0;  // 1-based; the header is the first record
    std::vector<std::string> fields;
};

struct Problem {
    std::size_t line = 0;  // 0 when the problem concerns the whole file
    std::string message;
};

// How far an import has come, for a progress display.
struct Progress {
    // Waiting: another program holds the database's write lock; done and
    // total count milliseconds of the connection's lock wait.
    enum class Stage { Reading, Waiting, Checking, Writing };
    Stage stage = Stage::Reading;
    std::size_t done = 0;
    std::size_t total = 0;  // 0 when unknown
};

// Called now and then during long work; returning false stops the import,
// and then nothing is imported. An empty function is never called.
using ProgressFn = std::function<bool(const Progress&)>;

// Calls progress every kProgressStep items (and never when it is empty).
constexpr std::size_t kProgressStep = 4096;
inline bool reportProgress(const ProgressFn& progress, Progress::Stage stage, std::size_t done, std::size_t total)
{
    if (!progress || done % kProgressStep != 0)
        return true;
    return progress({stage, done, total});
}

}  // namespace importer
