// Stand-in for the application folder of the run-time, with the installed
// layout of a Unix system beside it.

#include "platform/folders/program_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

// From bin/ to the program's shared files, as the build installs them.
#ifndef SORTIA_SHARE_FROM_BIN
#define SORTIA_SHARE_FROM_BIN "../share/sortia"
#endif

namespace folders {
namespace {

namespace fs = std::filesystem;

std::string g_testFolder;

bool isDirectory(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

fs::path installedShare()
{
    return (fs::path(programFolder()) / SORTIA_SHARE_FROM_BIN).lexically_normal();
}

}  // namespace

std::string programFolder()
{
    if (!g_testFolder.empty())
        return g_testFolder;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

bool installed()
{
    const fs::path folder = programFolder();
    return !isDirectory(folder / "images") && isDirectory(installedShare() / "images");
}

std::string resourceFolder()
{
    return installed() ? installedShare().string() : programFolder();
}

std::string userDataFolder()
{
    // An XDG_DATA_HOME that is not absolute is to be ignored.
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/')
        return (fs::path(dataHome) / "sortia").string();
    const char* home = std::getenv("HOME");
    return (fs::path(home && *home ? home : "/") / ".local" / "share" / "sortia").string();
}

std::string databasePath()
{
    return ((installed() ? fs::path(userDataFolder()) : fs::path(programFolder())) / "Sbase.mdb").string();
}

void setProgramFolderForTest(const std::string& folder)
{
    g_testFolder = folder;
}

}  // namespace folders
