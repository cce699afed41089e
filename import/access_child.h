#pragma once
// Access files are read in a child process. The reader (mdbtools, a C
// parser of a large and loosely documented format) must not read a file
// from elsewhere inside the window's process: a crash, a loop or a
// runaway allocation on a damaged file would take the program, and the
// draw, with it. The child runs with a cap on its address space and its
// processor time, and the caller waits for it at most a wall-clock limit;
// whatever ends it early becomes a refusal with a clear reason, and the
// caller lives on.
//
// The child is sortia-db beside the running program, started with the hidden
// command kAccessChildCommand: it reads the file from its standard input
// and writes what it found to its standard output as frames, each a type
// byte, a 4-byte little-endian length and that many bytes:
//   'R' a record: its line, its field count, then per field its length and
//       bytes (every number 4 bytes, little-endian);
//   'G' progress: done and total, 8 bytes each;
//   'P' the problem that ended reading: its line (4 bytes), then the message;
//   'E' the end of a successful reading (no bytes).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "import/mdb_reader.h"
#include "import/records.h"

namespace importer {

inline constexpr const char* kAccessChildCommand = "read-access-child";

struct AccessChildLimits {
    std::size_t memoryBytes = std::size_t(512) << 20;  // beyond the file itself, which the child maps
    int cpuSeconds = 120;
    int wallSeconds = 300;
};

// The program started as the child (default: sortia-db in the running
// program's folder) and its limits; for tests.
void setAccessChild(std::string program, AccessChildLimits limits = {});

// Reads as readMdb() does, in the child: the file open as `fd`, or bytes
// held in memory. False with the problem when the file is refused, when
// progress asked to stop, or when the child failed, ran out of its memory
// or time, or wrote what it must not.
bool readMdbIsolated(int fd, const AccessTable& request, std::vector<Record>& records, Problem& problem,
                     const ProgressFn& progress = {});
bool readMdbIsolated(std::string_view bytes, const AccessTable& request, std::vector<Record>& records,
                     Problem& problem, const ProgressFn& progress = {});

// The child's side: reads the Access file open as `input` with the request
// in `arguments` (as the parent writes them) and writes the frames to
// `output`. Returns the child's exit status.
int serveAccessRead(int input, int output, const std::vector<std::string>& arguments);

// Decodes frames as the parent does: records, progress told through
// `progress`, and the end or problem they report. Bounded: a frame longer
// than a record can be, more fields than were asked for, or more bytes in
// all than `budget` make it fail. Returns true once 'E' was seen.
class AccessFrameDecoder {
public:
    AccessFrameDecoder(std::vector<Record>& records, std::size_t budget) : m_records(records), m_budget(budget) {}
    // Takes more bytes; false once the stream is broken or over (see failed(), ended()).
    bool feed(std::string_view bytes, const ProgressFn& progress, bool& stopped);
    bool ended() const { return m_ended; }
    bool failed() const { return m_failed; }
    // The child's problem ('P'), or the reason the stream is broken.
    const Problem& problem() const { return m_problem; }

private:
    bool frame(char type, std::string_view payload, const ProgressFn& progress, bool& stopped);
    bool broken();

    std::vector<Record>& m_records;
    std::size_t m_budget;
    std::size_t m_received = 0;
    std::string m_pending;
    bool m_ended = false;
    bool m_failed = false;
    Problem m_problem;
};

}  // namespace importer
