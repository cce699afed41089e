#include "store/settings_file.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/language/language.h"
#include "store/data_source.h"
#include "store/text.h"

namespace store {

const char* const kSettingsFileName = "sortia.ini";

namespace {

constexpr std::size_t kExcerptBytes = 24;

// What a message may quote of a line it does not understand: the name-like
// characters it starts with, not what follows a ':', '/', '@' or '=' (a
// mistyped line may hold the address with its password).
std::string excerpt(std::string_view line)
{
    const auto nameLike = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
               c == '.' || c == '[' || c == ']' || c == ' ';
    };
    std::size_t end = 0;
    while (end < line.size() && end < kExcerptBytes && nameLike(line[end]))
        ++end;
    const std::string_view start = Trimmed(line.substr(0, end));
    return std::string(start) + (start.size() < Trimmed(line).size() ? "…" : "");
}

// Whether anyone but the owner may read the file.
bool readableByOthers(const std::filesystem::path& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace

Settings ReadSettings(const std::string& folder)
{
    Settings settings;
    const std::filesystem::path path = std::filesystem::path(folder) / kSettingsFileName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return settings;
    std::ifstream in(path);
    if (!in) {
        settings.error = lang::trf("'%1' cannot be read", "无法读取“%1”", {path.string()});
        return settings;
    }
    std::optional<std::string> dataSource;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)  // a byte-order mark from a Windows editor
            line.erase(0, 3);
        const std::string_view text = Trimmed(line);
        if (text.empty() || text[0] == ';' || text[0] == '#' || LowerAscii(text) == "[database]")
            continue;
        const std::size_t equals = text.find('=');
        const std::string where = path.string() + ":" + std::to_string(number);
        if (equals == std::string::npos || LowerAscii(Trimmed(text.substr(0, equals))) != "data_source") {
            settings.error =
                lang::trf("%1: only 'data_source = ...' (under [database]) is understood here, not '%2'",
                          "%1：这里只认得“data_source = ...”（在 [database] 下），不认得“%2”", {where, excerpt(text)});
            return settings;
        }
        dataSource = std::string(Trimmed(text.substr(equals + 1)));
        if (dataSource->empty()) {
            settings.error = lang::trf("%1: data_source is empty", "%1：data_source 是空的", {where});
            return settings;
        }
    }
    if (dataSource && HoldsPassword(*dataSource) && readableByOthers(path))
        settings.warning = lang::trf("%1 holds a password, and other users of this computer may read the file. Keep "
                                     "the password in ~/.pgpass (mode 600) instead, or let only the file's owner "
                                     "read it (chmod 600).",
                                     "%1 中有密码，而本机的其他用户可以读取这个文件。请改把密码放在 ~/.pgpass"
                                     "（权限 600）中，或只让文件的所有者读取它（chmod 600）。",
                                     {path.string()});
    if (dataSource && !IsServerDataSource(*dataSource) && std::filesystem::path(*dataSource).is_relative())
        dataSource = (std::filesystem::path(folder) / *dataSource).string();
    settings.dataSource = std::move(dataSource);
    return settings;
}

}  // namespace store
