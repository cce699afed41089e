#include "store/sqlite_problems.h"

#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <sqlite3.h>

#include "platform/language/language.h"

namespace store {

namespace {

std::string folderOf(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

// errno of an access check with the effective user's rights, 0 when allowed.
int accessError(const std::string& path, int mode)
{
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0 ? 0 : errno;
}

std::string readOnlyDisk(const std::string& path)
{
    return lang::trf("The database file '%1' lies on a read-only disk (write-protected, or mounted for reading "
                     "only). Copy it to a writable disk and use the copy.",
                     "数据库文件“%1”位于只读磁盘上（有写保护，或以只读方式挂载）。请把它复制到可写的磁盘上再使用。",
                     {path});
}

std::string withDetail(const std::string& message, const std::string& detail)
{
    if (detail.empty())
        return message;
    return message + lang::trf(" (SQLite: %1)", "（SQLite：%1）", {detail});
}

bool freeBytes(const std::string& path, std::uint64_t& bytes)
{
    struct statvfs info {};
    if (::statvfs(folderOf(path).c_str(), &info) != 0)
        return false;
    bytes = std::uint64_t(info.f_bavail) * info.f_frsize;
    return true;
}

std::string readOnlyMessage(const std::string& path)
{
    const std::string problem = WriteProblem(path);
    if (!problem.empty())
        return problem;
    return lang::trf("The database file '%1' cannot be changed. Check that this user may write to the file and "
                     "to its folder, or copy the file to a folder where you may write and use the copy.",
                     "数据库文件“%1”无法修改。请检查当前用户能否写入该文件及其所在文件夹，"
                     "或把文件复制到可写的文件夹中再使用。",
                     {path});
}

std::string fullMessage(const std::string& path)
{
    std::uint64_t bytes = 0;
    const std::string room = freeBytes(path, bytes) ? ReadableSize(bytes) : lang::tr("unknown", "未知");
    return lang::trf("The disk holding the database file '%1' is full (%2 free), or the file has reached its size "
                     "limit. Free some space on the disk, or copy the file to a disk with room and use the copy, "
                     "then try again.",
                     "存放数据库文件“%1”的磁盘已满（剩余 %2），或文件已达到大小上限。请在该磁盘上腾出空间，"
                     "或把文件复制到有空间的磁盘上再使用，然后重试。",
                     {path, room});
}

}  // namespace

std::string ReadableSize(std::uint64_t bytes)
{
    constexpr std::uint64_t kKilo = 1024;
    char text[32];
    if (bytes < kKilo)
        return lang::trf("%1 bytes", "%1 字节", {std::to_string(bytes)});
    if (bytes < kKilo * kKilo)
        std::snprintf(text, sizeof text, "%llu KB", static_cast<unsigned long long>(bytes / kKilo));
    else
        std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / double(kKilo * kKilo));
    return text;
}

std::string WriteProblem(const std::string& path)
{
    const std::string folder = folderOf(path);
    const int fileError = accessError(path, W_OK);
    const int folderError = accessError(folder, W_OK | X_OK);
    if (fileError == EROFS || folderError == EROFS)
        return readOnlyDisk(path);
    if (fileError != 0)
        return lang::trf("The database file '%1' is read-only: this user may not write to it. Give this user "
                         "write permission on the file, or copy it to a folder where you may write and use the copy.",
                         "数据库文件“%1”是只读的：当前用户无权写入。请给当前用户该文件的写权限，"
                         "或把它复制到可写的文件夹中再使用。",
                         {path});
    if (folderError != 0)
        return lang::trf("The folder '%2' holding the database file '%1' is read-only: the database needs to "
                         "create a journal file beside it while it writes. Give this user write permission on the "
                         "folder, or copy the file to a folder where you may write and use the copy.",
                         "存放数据库文件“%1”的文件夹“%2”是只读的：数据库写入时需要在文件旁边创建日志文件。"
                         "请给当前用户该文件夹的写权限，或把文件复制到可写的文件夹中再使用。",
                         {path, folder});
    return {};
}

std::string FreeSpaceProblem(const std::string& path, std::uint64_t minimumBytes)
{
    std::uint64_t bytes = 0;
    if (!freeBytes(path, bytes) || bytes >= minimumBytes)
        return {};
    return lang::trf("The disk holding the database file '%1' is full: only %2 free, and a draw needs at least %3 "
                     "for its record and for a journal file. Free some space on the disk, or copy the file to a "
                     "disk with room and use the copy.",
                     "存放数据库文件“%1”的磁盘已满：只剩 %2，而每次抽奖至少需要 %3 来写入记录和日志文件。"
                     "请在该磁盘上腾出空间，或把文件复制到有空间的磁盘上再使用。",
                     {path, ReadableSize(bytes), ReadableSize(minimumBytes)});
}

std::string DamagedFileMessage(const std::string& path, const std::string& detail)
{
    return withDetail(lang::trf("The database file '%1' is damaged. Nothing was changed in it. Put back a copy "
                                "of it made before the damage (keep the damaged file for inspection).",
                                "数据库文件“%1”已损坏，其中没有做任何修改。请换回损坏之前的副本（保留已损坏的文件以备检查）。",
                                {path}),
                      detail);
}

std::string DescribeSqliteFailure(int code, const std::string& sqliteText, const std::string& path, ErrorKind& kind)
{
    kind = ErrorKind::Other;
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_PROTOCOL:
        kind = ErrorKind::Busy;
        return withDetail(lang::trf("The database file '%1' is in use by another program, which holds a lock on it. "
                                    "Nothing was changed. Close that program or let it finish, then try again.",
                                    "数据库文件“%1”正被另一个程序使用，该程序锁住了它。没有做任何修改。"
                                    "请关闭那个程序或等它完成，然后重试。",
                                    {path}),
                          sqliteText);
    case SQLITE_READONLY:
        kind = ErrorKind::ReadOnly;
        return withDetail(readOnlyMessage(path), sqliteText);
    case SQLITE_FULL:
        kind = ErrorKind::DiskFull;
        return withDetail(fullMessage(path), sqliteText);
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        return DamagedFileMessage(path, sqliteText);
    case SQLITE_IOERR:
        return withDetail(lang::trf("Reading or writing the database file '%1' failed: the disk or the file system "
                                    "reported an error. Check the disk, or copy the file to another disk and use "
                                    "the copy.",
                                    "读写数据库文件“%1”失败：磁盘或文件系统报告了错误。请检查磁盘，"
                                    "或把文件复制到另一块磁盘上再使用。",
                                    {path}),
                          sqliteText);
    case SQLITE_CANTOPEN:
        return withDetail(lang::trf("The database file '%1' or the journal file beside it cannot be opened. Check "
                                    "that the file and its folder still exist and that this user may read and "
                                    "write them.",
                                    "无法打开数据库文件“%1”或它旁边的日志文件。请检查文件及其所在文件夹是否还在，"
                                    "以及当前用户能否读写它们。",
                                    {path}),
                          sqliteText);
    case SQLITE_NOMEM:
        return withDetail(lang::trf("There was not enough memory to work on the database file '%1'. Close other "
                                    "programs and try again.",
                                    "内存不足，无法处理数据库文件“%1”。请关闭其他程序后重试。", {path}),
                          sqliteText);
    default:
        return lang::trf("A statement on the database file '%1' failed: %2", "对数据库文件“%1”执行的语句失败：%2",
                         {path, sqliteText});
    }
}

}  // namespace store
