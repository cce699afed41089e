#include "import/access_child.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/language/language.h"
#include "store/utf8.h"

namespace importer {

namespace {

// A record's frame holds at most the four columns a request names, each at
// most kMaxFieldChars characters of at most four bytes.
constexpr std::size_t kMaxFields = 4;
constexpr std::size_t kMaxFieldBytes = kMaxFieldChars * 4;
constexpr std::size_t kMaxFrame = 8 + kMaxFields * (4 + kMaxFieldBytes);
constexpr std::size_t kMaxMessage = 4096;
// What the child may write in all: the values of a table are never much
// more than the file that holds them.
constexpr std::size_t kMinStreamBudget = std::size_t(64) << 20;
constexpr std::size_t kStreamPerFileByte = 4;
constexpr int kPollMs = 100;
constexpr int kExitRefused = 2;
constexpr int kExitOutOfMemory = 3;
constexpr int kExitNotStarted = 127;

// Who reads Access files, set once by tests; made on first use, so that a
// setting from another file's static initialisation is not undone.
struct ChildSettings {
    std::mutex mutex;
    std::string program;  // "" for sortia-db beside this program
    AccessChildLimits limits;
};

ChildSettings& childSettings()
{
    static ChildSettings settings;
    return settings;
}

std::uint32_t readU32(std::string_view bytes, std::size_t at)
{
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + std::size_t(i)]);
    return value;
}

std::uint64_t readU64(std::string_view bytes, std::size_t at)
{
    return readU32(bytes, at) | (std::uint64_t(readU32(bytes, at + 4)) << 32);
}

void appendU32(std::string& out, std::uint64_t value)
{
    for (int i = 0; i < 4; ++i)
        out += char((value >> (8 * i)) & 0xFF);
}

void appendFrame(std::string& out, char type, std::string_view payload)
{
    out += type;
    appendU32(out, payload.size());
    out.append(payload);
}

// ---- the child's side ----

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes.remove_prefix(std::size_t(written));
    }
    return true;
}

bool parseArguments(const std::vector<std::string>& arguments, AccessTable& request)
{
    ColumnNames names;
    names.name.clear();
    names.number.clear();
    names.isluck.clear();
    names.group.clear();
    for (std::size_t i = 0; i + 1 < arguments.size(); i += 2) {
        const std::string& option = arguments[i];
        const std::string& value = arguments[i + 1];
        if (option == "--table")
            request.table = value;
        else if (option == "--name")
            names.name.push_back(value);
        else if (option == "--number")
            names.number.push_back(value);
        else if (option == "--isluck")
            names.isluck.push_back(value);
        else if (option == "--group")
            names.group.push_back(value);
        else if (option == "--language")
            lang::setUiLanguage(value == "zh" ? lang::Language::Chinese : lang::Language::English);
        else
            return false;
    }
    request.columns = std::move(names);
    return arguments.size() % 2 == 0;
}

std::string recordFrame(const Record& record)
{
    std::string payload;
    appendU32(payload, record.line);
    appendU32(payload, record.fields.size());
    for (const std::string& field : record.fields) {
        appendU32(payload, field.size());
        payload += field;
    }
    std::string frame;
    appendFrame(frame, 'R', payload);
    return frame;
}

std::string problemFrame(const Problem& problem)
{
    std::string payload;
    appendU32(payload, problem.line);
    payload += problem.message.substr(0, kMaxMessage);
    std::string frame;
    appendFrame(frame, 'P', payload);
    return frame;
}

// The file on `input`, mapped (copy on write: the library treats it as its own).
std::string_view mapInput(int input)
{
    struct stat info {};
    if (fstat(input, &info) != 0 || info.st_size <= 0)
        return {};
    void* mapped = mmap(nullptr, std::size_t(info.st_size), PROT_READ | PROT_WRITE, MAP_PRIVATE, input, 0);
    if (mapped == MAP_FAILED)
        return {};
    return std::string_view(static_cast<const char*>(mapped), std::size_t(info.st_size));
}

// ---- the parent's side ----

std::string childProgram()
{
    ChildSettings& settings = childSettings();
    std::lock_guard<std::mutex> lock(settings.mutex);
    if (!settings.program.empty())
        return settings.program;
    char self[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length <= 0)
        return "sortia-db";
    std::string path(self, std::size_t(length));
    return path.substr(0, path.find_last_of('/') + 1) + "sortia-db";
}

std::vector<std::string> childArguments(const std::string& program, const AccessTable& request)
{
    std::vector<std::string> arguments = {program, kAccessChildCommand, "--table", request.table};
    const std::pair<const char*, const std::vector<std::string>*> roles[] = {{"--name", &request.columns.name},
                                                                              {"--number", &request.columns.number},
                                                                              {"--isluck", &request.columns.isluck},
                                                                              {"--group", &request.columns.group}};
    for (const auto& [option, names] : roles)
        for (const std::string& name : *names)
            arguments.insert(arguments.end(), {option, name});
    arguments.insert(arguments.end(),
                     {"--language", lang::uiLanguage() == lang::Language::Chinese ? "zh" : "en"});
    return arguments;
}

// Between fork and exec only async-signal-safe calls: the parent may hold
// locks of other threads (the window's) that the copy would never see freed.
[[noreturn]] void becomeReader(int input, int output, const rlimit& memory, const rlimit& cpu, char* const* argv)
{
    if (dup2(input, STDIN_FILENO) < 0 || dup2(output, STDOUT_FILENO) < 0)
        _exit(kExitNotStarted);
    // Nothing of the parent's (its database, its sockets) is the reader's business.
    if (syscall(SYS_close_range, 3u, ~0u, 0u) != 0) {
        rlimit files{};
        getrlimit(RLIMIT_NOFILE, &files);
        for (rlim_t fd = 3; fd < files.rlim_cur && fd < 65536; ++fd)
            close(int(fd));
    }
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    setrlimit(RLIMIT_CPU, &cpu);
#if !defined(__SANITIZE_ADDRESS__)
    // AddressSanitizer reserves terabytes of address space for its shadow:
    // the sanitizer build of the tests runs the reader without this cap.
    setrlimit(RLIMIT_AS, &memory);
#else
    (void)memory;
#endif
    execv(argv[0], argv);
    _exit(kExitNotStarted);
}

std::string signalName(int signal)
{
    const char* name = sigabbrev_np(signal);
    return name ? std::string("SIG") + name : std::to_string(signal);
}

// Why the child ended without a result, for the operator.
std::string childFailure(int status, bool timedOut, int wallSeconds, const std::string& program)
{
    if (timedOut || (WIFSIGNALED(status) && (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL)))
        return lang::trf("reading the Access file took longer than %1 seconds and was stopped; the file may be "
                         "damaged",
                         "读取 Access 文件超过了 %1 秒，已被停止；文件可能已损坏", {std::to_string(wallSeconds)});
    if (WIFSIGNALED(status))
        return lang::trf("the Access file could not be read: its reader stopped on it (%1); the file is damaged or "
                         "not an Access database this program can read",
                         "无法读取 Access 文件：读取程序在它上面中止了（%1）；文件已损坏，或不是本程序能读取的 Access 数据库",
                         {signalName(WTERMSIG(status))});
    if (WIFEXITED(status) && WEXITSTATUS(status) == kExitOutOfMemory)
        return lang::tr("the Access file could not be read: its reader ran out of the memory it may use; the file is "
                        "damaged or too large",
                        "无法读取 Access 文件：读取程序用完了允许的内存；文件已损坏或太大");
    if (WIFEXITED(status) && WEXITSTATUS(status) == kExitNotStarted)
        return lang::trf("the Access reader '%1' could not be started", "无法启动 Access 读取程序“%1”", {program});
    return lang::tr("the Access file could not be read: its reader failed", "无法读取 Access 文件：读取程序出错");
}

struct ChildRun {
    pid_t pid = -1;
    int output = -1;  // the read end of the child's standard output
};

bool startChild(int input, std::size_t inputSize, const AccessTable& request, const AccessChildLimits& limits,
                const std::string& program, ChildRun& run)
{
    const std::vector<std::string> arguments = childArguments(program, request);
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const rlim_t memory = rlim_t(limits.memoryBytes + inputSize);
    const rlimit memoryLimit{memory, memory};
    const rlimit cpuLimit{rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds + 5)};
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0)
        return false;
    run.pid = fork();
    if (run.pid == 0)
        becomeReader(input, fds[1], memoryLimit, cpuLimit, argv.data());
    close(fds[1]);
    if (run.pid < 0) {
        close(fds[0]);
        return false;
    }
    run.output = fds[0];
    return true;
}

// Waits for the child's end (its status), ending it first when told to, or
// when it outlives the deadline.
int finishChild(ChildRun& run, bool kill, std::chrono::steady_clock::time_point deadline)
{
    close(run.output);
    if (kill)
        ::kill(run.pid, SIGKILL);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(run.pid, &status, kill ? 0 : WNOHANG);
        if (done == run.pid || (done < 0 && errno != EINTR))
            return status;
        if (!kill && std::chrono::steady_clock::now() > deadline) {
            ::kill(run.pid, SIGKILL);
            kill = true;
        } else if (!kill && done == 0) {
            usleep(10000);
        }
    }
}

bool readIsolated(int input, std::size_t inputSize, const AccessTable& request, std::vector<Record>& records,
                  Problem& problem, const ProgressFn& progress)
{
    records.clear();
    AccessChildLimits limits;
    {
        std::lock_guard<std::mutex> lock(childSettings().mutex);
        limits = childSettings().limits;
    }
    const std::string program = childProgram();
    ChildRun run;
    if (!startChild(input, inputSize, request, limits, program, run)) {
        problem = {0, lang::trf("the Access reader '%1' could not be started", "无法启动 Access 读取程序“%1”", {program})};
        return false;
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::seconds(limits.wallSeconds);
    AccessFrameDecoder decoder(records, kMinStreamBudget + inputSize * kStreamPerFileByte);
    bool stopped = false, timedOut = false, over = false;
    char buffer[65536];
    while (!over) {
        pollfd ready{run.output, POLLIN, 0};
        const int events = poll(&ready, 1, kPollMs);
        if (events > 0) {
            const ssize_t got = ::read(run.output, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            over = got <= 0 || !decoder.feed(std::string_view(buffer, std::size_t(got)), progress, stopped);
        } else if (events == 0 && progress && !progress({Progress::Stage::Reading, 0, 0})) {
            stopped = over = true;  // told even while the child is silent, so that Cancel works
        }
        if (!over && Clock::now() > deadline)
            timedOut = over = true;
    }
    const int status = finishChild(run, stopped || timedOut || decoder.failed(), deadline);
    if (stopped) {
        problem = {0, lang::tr("the import was stopped", "导入已停止")};
    } else if (decoder.ended()) {
        return true;  // every record came, whatever the child did after
    } else if (!decoder.failed() && !decoder.problem().message.empty()) {
        problem = decoder.problem();
    } else if (decoder.failed() && !timedOut) {
        problem = {0, decoder.problem().message};
    } else {
        problem = {0, childFailure(status, timedOut, limits.wallSeconds, program)};
    }
    records.clear();
    return false;
}

}  // namespace

void setAccessChild(std::string program, AccessChildLimits limits)
{
    ChildSettings& settings = childSettings();
    std::lock_guard<std::mutex> lock(settings.mutex);
    settings.program = std::move(program);
    settings.limits = limits;
}

bool readMdbIsolated(int fd, const AccessTable& request, std::vector<Record>& records, Problem& problem,
                     const ProgressFn& progress)
{
    struct stat info {};
    const std::size_t size = fstat(fd, &info) == 0 && info.st_size > 0 ? std::size_t(info.st_size) : 0;
    return readIsolated(fd, size, request, records, problem, progress);
}

bool readMdbIsolated(std::string_view bytes, const AccessTable& request, std::vector<Record>& records,
                     Problem& problem, const ProgressFn& progress)
{
    // The child maps its input: bytes held in memory go to it as a file in memory.
    const int fd = memfd_create("sortia-access", MFD_CLOEXEC);
    if (fd < 0 || !writeAll(fd, bytes)) {
        if (fd >= 0)
            close(fd);
        problem = {0, lang::tr("there is not enough memory for this list", "内存不足，无法处理这份名单")};
        return false;
    }
    const bool read = readIsolated(fd, bytes.size(), request, records, problem, progress);
    close(fd);
    return read;
}

int serveAccessRead(int input, int output, const std::vector<std::string>& arguments)
{
    signal(SIGPIPE, SIG_DFL);
    AccessTable request;
    request.table = "sheet";
    if (!parseArguments(arguments, request))
        return kExitNotStarted;
    try {
        const std::string_view bytes = mapInput(input);
        std::vector<Record> records;
        Problem problem;
        std::string frames;
        const ProgressFn progress = [&](const Progress& p) {
            std::string payload;
            appendU32(payload, p.done & 0xFFFFFFFFu);
            appendU32(payload, std::uint64_t(p.done) >> 32);
            appendU32(payload, p.total & 0xFFFFFFFFu);
            appendU32(payload, std::uint64_t(p.total) >> 32);
            std::string frame;
            appendFrame(frame, 'G', payload);
            return writeAll(output, frame);
        };
        if (!readMdb(bytes, request, records, problem, progress)) {
            writeAll(output, problemFrame(problem));
            return kExitRefused;
        }
        for (const Record& record : records) {
            frames += recordFrame(record);
            if (frames.size() < 65536)
                continue;
            if (!writeAll(output, frames))
                return kExitRefused;
            frames.clear();
        }
        appendFrame(frames, 'E', {});
        return writeAll(output, frames) ? 0 : kExitRefused;
    } catch (const std::bad_alloc&) {
        return kExitOutOfMemory;
    }
}

bool AccessFrameDecoder::broken()
{
    m_failed = true;
    m_problem = {0, lang::tr("the Access file's reader wrote what it must not; nothing was read from it",
                             "Access 文件的读取程序输出了不应有的内容；没有从中读取任何数据")};
    return false;
}

bool AccessFrameDecoder::feed(std::string_view bytes, const ProgressFn& progress, bool& stopped)
{
    if (m_ended || m_failed || !m_problem.message.empty())
        return !bytes.empty() ? broken() : false;
    m_received += bytes.size();
    if (m_received > m_budget)
        return broken();
    m_pending.append(bytes);
    std::size_t at = 0;
    bool goOn = true;
    while (goOn && m_pending.size() - at >= 5) {
        const std::uint32_t length = readU32(m_pending, at + 1);
        if (length > kMaxFrame)
            return broken();
        if (m_pending.size() - at - 5 < length)
            break;
        goOn = frame(m_pending[at], std::string_view(m_pending).substr(at + 5, length), progress, stopped);
        at += 5 + length;
    }
    m_pending.erase(0, at);
    return goOn;
}

bool AccessFrameDecoder::frame(char type, std::string_view payload, const ProgressFn& progress, bool& stopped)
{
    if (type == 'E') {
        m_ended = payload.empty();
        return payload.empty() ? false : broken();
    }
    if (type == 'G') {
        if (payload.size() != 16)
            return broken();
        if (progress && !progress({Progress::Stage::Reading, std::size_t(readU64(payload, 0)),
                                   std::size_t(readU64(payload, 8))})) {
            stopped = true;
            return false;
        }
        return true;
    }
    if (type == 'P') {
        if (payload.size() < 4 || payload.size() > 4 + kMaxMessage)
            return broken();
        std::string message = store::ValidUtf8(payload.substr(4));
        m_problem = {readU32(payload, 0), message.empty() ? lang::tr("the Access file was refused", "Access 文件被拒绝")
                                                           : std::move(message)};
        return false;
    }
    if (type != 'R' || payload.size() < 8)
        return broken();
    Record record;
    record.line = readU32(payload, 0);
    const std::uint32_t count = readU32(payload, 4);
    if (count == 0 || count > kMaxFields)
        return broken();
    std::size_t at = 8;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (payload.size() - at < 4)
            return broken();
        const std::uint32_t length = readU32(payload, at);
        at += 4;
        if (length > kMaxFieldBytes || payload.size() - at < length)
            return broken();
        record.fields.emplace_back(payload.substr(at, length));
        at += length;
    }
    if (at != payload.size())
        return broken();
    m_records.push_back(std::move(record));
    return true;
}

}  // namespace importer
