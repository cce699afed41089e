#include "store/sqlite_backend.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include <sqlite3.h>

#include "platform/language/language.h"
#include "store/data_source.h"
#include "store/schema.h"

namespace store {

namespace {

std::string alreadyThere(const std::string& path)
{
    return lang::trf("'%1' already exists; it is left as it is.", "“%1”已经存在，保持原样不动。", {path});
}

std::string cannotCreate(const std::string& path, const std::string& why)
{
    return lang::trf("Cannot create '%1': %2.", "无法创建“%1”：%2。", {path, why});
}

// The user's data folder of an installed copy may not exist yet.
void makeFolderOf(const std::string& path)
{
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    std::error_code ec;
    if (!parent.empty())
        std::filesystem::create_directories(parent, ec);
}

// A new, empty file, or -1 with errno (EEXIST when the name is taken): a
// file another program makes meanwhile is never taken over, nor removed, as
// this run's own.
int createExclusive(const std::string& path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
}

// Gives the new, empty file at `path` (this run's) an empty `sheet`; the file
// goes again when that fails.
bool initialiseFile(const std::string& path, std::string& error)
{
    sqlite3* db = nullptr;
    bool ok = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (!ok) {
        error = cannotCreate(path, db ? sqlite3_errmsg(db) : lang::tr("out of memory", "内存不足"));
    } else {
        const std::string schema = SheetSchema(SqliteDialect());
        char* message = nullptr;
        ok = sqlite3_exec(db, schema.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
        if (!ok)
            error = lang::trf("Cannot create the table in '%1': %2.", "无法在“%1”中创建表：%2。",
                              {path, message ? message : ""});
        sqlite3_free(message);
    }
    sqlite3_close_v2(db);
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

}  // namespace

bool CreateSqliteFile(const std::string& path, std::string& error)
{
    error = FileNameProblem(path);
    if (!error.empty())
        return false;
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        error = alreadyThere(path);
        return false;
    }
    makeFolderOf(path);
    const int file = createExclusive(path);
    if (file < 0) {
        error = errno == EEXIST ? alreadyThere(path) : cannotCreate(path, std::strerror(errno));
        return false;
    }
    ::close(file);
    return initialiseFile(path, error);
}

bool CreateSqliteFileBeside(const std::string& path, std::string& made, std::string& error)
{
    error = FileNameProblem(path);
    if (!error.empty())
        return false;
    makeFolderOf(path);
    constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = path + ".partial-";
        for (int i = 0; i < 6; ++i)
            made += kLetters[random() % (sizeof kLetters - 1)];
        const int file = createExclusive(made);
        if (file >= 0) {
            ::close(file);
            return initialiseFile(made, error);
        }
        if (errno != EEXIST)
            break;
    }
    error = cannotCreate(made, std::strerror(errno));
    made.clear();
    return false;
}

}  // namespace store
