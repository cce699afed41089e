#pragma once
// What every participant-list reader produces: rows of text fields with the
// line (CSV), sheet row (XLSX) or record number (Access) that the operator
// can find them by, and problems tied to such a line.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace importer {

struct Record {
    std::size_t line = 0;  // 1-based; the header is the first record
    std::vector<std::string> fields;
};

// No spreadsheet cell holds more characters than this; every reader refuses
// a longer field, with its line, before keeping it.
constexpr std::size_t kMaxFieldChars = 32767;

struct Problem {
    std::size_t line = 0;  // 0 when the problem concerns the whole file
    std::string message;
};

// The problems of a list as an operator can take them in: the first few by
// line, and how many there were in all. A file with a problem on each of a
// million lines costs no more than one with ten.
class ProblemList {
public:
    static constexpr std::size_t kKept = 10;

    // Whether a problem at `line` would be kept, so that the caller can skip
    // making its message.
    bool keeps(std::size_t line) const { return m_kept.size() < kKept || line < m_kept.back().line; }
    // Adds a problem; among problems of one line the first added comes first.
    void add(Problem problem);
    void add(std::size_t line, std::string message) { add(Problem{line, std::move(message)}); }
    // Counts a problem that keeps() said would not be kept.
    void tally() { ++m_count; }

    bool empty() const { return m_count == 0; }
    std::size_t size() const { return m_count; }
    const std::vector<Problem>& kept() const { return m_kept; }
    std::vector<Problem> takeKept() { return std::move(m_kept); }

private:
    std::vector<Problem> m_kept;  // in line order, at most kKept
    std::size_t m_count = 0;
};

// A value as a message quotes it: its first 60 characters, cut on a
// character boundary and followed by "…" when there is more; control
// characters and bytes that are not UTF-8 shown as U+FFFD, so that the
// quote stays on its line.
std::string quoteValue(std::string_view value);

// Characters, not bytes: the bytes that do not continue a UTF-8 sequence.
std::size_t characterCount(std::string_view text);

// The text without the spaces and tabs around it.
std::string_view trimmedView(std::string_view text);

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
