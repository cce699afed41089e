#include "store/settings_file.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/language/language.h"
#include "store/postgres_backend.h"

namespace store {

const char* const kSettingsFileName = "sortia.ini";

namespace {

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

}  // namespace

std::optional<std::string> ConfiguredDataSource(const std::string& folder, std::string& error)
{
    error.clear();
    const std::filesystem::path path = std::filesystem::path(folder) / kSettingsFileName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec))
        return std::nullopt;
    std::ifstream in(path);
    if (!in) {
        error = lang::trf("'%1' cannot be read", "无法读取“%1”", {path.string()});
        return std::nullopt;
    }
    std::optional<std::string> dataSource;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (number == 1 && line.rfind("\xEF\xBB\xBF", 0) == 0)  // a byte-order mark from a Windows editor
            line.erase(0, 3);
        const std::string text = trimmed(line);
        if (text.empty() || text[0] == ';' || text[0] == '#' || lowered(text) == "[database]")
            continue;
        const std::size_t equals = text.find('=');
        const std::string where = path.string() + ":" + std::to_string(number);
        if (equals == std::string::npos || lowered(trimmed(text.substr(0, equals))) != "data_source") {
            error = lang::trf("%1: only 'data_source = ...' (under [database]) is understood here, not '%2'",
                              "%1：这里只认得“data_source = ...”（在 [database] 下），不认得“%2”", {where, text});
            return std::nullopt;
        }
        dataSource = trimmed(text.substr(equals + 1));
        if (dataSource->empty()) {
            error = lang::trf("%1: data_source is empty", "%1：data_source 是空的", {where});
            return std::nullopt;
        }
    }
    if (dataSource && !IsServerDataSource(*dataSource) && std::filesystem::path(*dataSource).is_relative())
        dataSource = (std::filesystem::path(folder) / *dataSource).string();
    return dataSource;
}

}  // namespace store
