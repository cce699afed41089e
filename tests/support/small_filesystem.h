#pragma once
// A real filesystem that runs out of space, for tests of what a full disk
// does: a tiny tmpfs mounted in a private mount namespace of a child
// process, so nothing outside the child ever sees it. Root mounts it
// directly; anyone else through a user namespace, where the system allows.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

namespace testsupport {

// The exit status a body returns when all went as it expected.
constexpr int kBodyPassed = 0;
// What runOnSmallFilesystem returns when this machine cannot make one.
constexpr int kNoSmallFilesystem = -1;

namespace detail {

inline bool writeProcFile(const char* path, const std::string& text)
{
    const int fd = ::open(path, O_WRONLY);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, text.data(), text.size()) == ssize_t(text.size());
    ::close(fd);
    return ok;
}

// In the child: a mount namespace of its own (entering a user namespace
// first when it is not root), then the tmpfs over folder.
inline bool mountSmallFilesystem(const std::string& folder, std::size_t bytes)
{
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    if (::unshare(CLONE_NEWNS) != 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            return false;
        writeProcFile("/proc/self/setgroups", "deny");
        if (!writeProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
            !writeProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1"))
            return false;
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0777";
    return ::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
}

}  // namespace detail

// Runs body(folder) in a child process in which folder (an existing, empty
// directory) is a fresh filesystem of `bytes` bytes. Returns the body's
// return value (kBodyPassed when it found what it expected), or
// kNoSmallFilesystem when no such filesystem can be made here.
inline int runOnSmallFilesystem(const std::string& folder, std::size_t bytes,
                                const std::function<int(const std::string& folder)>& body)
{
    std::fflush(nullptr);  // nothing buffered is written twice
    const pid_t child = ::fork();
    if (child < 0)
        return kNoSmallFilesystem;
    if (child == 0) {
        if (!detail::mountSmallFilesystem(folder, bytes))
            ::_exit(100);
        ::_exit(body(folder));
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return 101;
    return WEXITSTATUS(status) == 100 ? kNoSmallFilesystem : WEXITSTATUS(status);
}

}  // namespace testsupport
