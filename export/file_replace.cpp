#include "export/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/language/language.h"

namespace exporter {

namespace {

namespace fs = std::filesystem;

constexpr int kNameAttempts = 100;

// A new file beside `path`, made by this call alone (O_EXCL) with mode 0666
// less the umask, as any file the user makes; mkstemp would force 0600.
int createTemporary(const fs::path& folder, std::string& name)
{
    std::random_device seed;
    std::mt19937 random(seed());
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        name = (folder / (".sortia-export-" + std::to_string(random() % 1000000000u))).string();
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Flushes what the writer wrote (it closed the file itself).
bool syncPath(const std::string& path, int flags, const SyncFn& sync)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool synced = (sync ? sync(fd) : fsync(fd)) == 0;
    const int why = errno;
    close(fd);
    errno = why;
    return synced;
}

std::string cannotWrite(const std::string& path, const std::string& why)
{
    return lang::trf("cannot write '%1': %2", "无法写入“%1”：%2", {path, why});
}

}  // namespace

bool ReplaceFile(const std::string& path, const FillFn& fill, std::string& error, const SyncFn& sync)
{
    const fs::path folder = fs::path(path).parent_path().empty() ? fs::path(".") : fs::path(path).parent_path();
    std::string temporary;
    const int fd = createTemporary(folder, temporary);
    if (fd < 0) {
        error = lang::trf("cannot write in the folder of '%1'", "无法在“%1”所在的文件夹中写入", {path});
        return false;
    }
    close(fd);
    bool done = fill(temporary, error);
    if (done && !syncPath(temporary, O_RDONLY, sync)) {
        error = cannotWrite(path, std::strerror(errno));
        done = false;
    }
    std::error_code ec;
    if (done) {
        fs::rename(temporary, path, ec);
        if (!ec) {
            // The rename itself lives in the folder: flushed too, or a power
            // cut could bring the old name back. The new file is complete
            // either way, so a folder that cannot be flushed is no failure.
            syncPath(folder.string(), O_RDONLY | O_DIRECTORY, sync);
            return true;
        }
        error = cannotWrite(path, ec.message());
    }
    fs::remove(temporary, ec);
    // A writer's message names the temporary file; the operator knows only the final one.
    const std::size_t at = error.find(temporary);
    if (at != std::string::npos)
        error.replace(at, temporary.size(), path);
    return false;
}

bool WriteTextFile(const std::string& path, std::string_view text, std::string& error)
{
    return ReplaceFile(
        path,
        [&](const std::string& temporary, std::string& why) {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            out.write(text.data(), std::streamsize(text.size()));
            out.close();
            if (!out)
                why = lang::trf("cannot write '%1'", "无法写入“%1”", {temporary});
            return static_cast<bool>(out);
        },
        error);
}

}  // namespace exporter
