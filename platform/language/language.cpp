// Stand-in for the system's user-interface language setting.

#include "platform/language/language.h"

#include <cstdlib>
#include <optional>
#include <vector>

namespace lang {
namespace {

std::optional<Language> g_language;

Language fromEnvironment()
{
    // GNU order of precedence for message catalogues. LANGUAGE may list
    // several, separated by colons; its first entry is the user's choice.
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value)
            continue;
        const std::string v(value);
        return v.rfind("zh", 0) == 0 ? Language::Chinese : Language::English;
    }
    return Language::English;
}

}  // namespace

Language uiLanguage()
{
    if (!g_language)
        g_language = fromEnvironment();
    return *g_language;
}

void setUiLanguage(Language language) { g_language = language; }

void resetUiLanguage() { g_language.reset(); }

std::string tr(const char* english, const char* chinese)
{
    return uiLanguage() == Language::Chinese ? chinese : english;
}

std::string format(const std::string& pattern, std::initializer_list<std::string> arguments)
{
    const std::vector<std::string> args(arguments);
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const std::size_t index = std::size_t(pattern[i + 1] - '1');
            if (index < args.size()) {
                out += args[index];
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

std::string trf(const char* english, const char* chinese, std::initializer_list<std::string> arguments)
{
    return format(tr(english, chinese), arguments);
}

}  // namespace lang
