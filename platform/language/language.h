#pragma once
// The user's interface language, as the system reports it, and the program's
// own messages in that language. The program speaks Chinese to a Chinese
// system and English to every other; texts that are fixed by the window's
// design stay as they are whatever the language.
//
// Pure C++: usable from the store and the command-line tools as well as the
// window.

#include <initializer_list>
#include <string>

namespace lang {

enum class Language { English, Chinese };

// The language of the user's system: the first of LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG that is set decides; "zh..." is Chinese, anything else
// (or nothing) English. Read once, unless overridden.
Language uiLanguage();
// Overrides the system's language (tests; a window that asked its toolkit).
void setUiLanguage(Language language);
// Forgets an override; the next uiLanguage() reads the environment again.
void resetUiLanguage();

// One of the two texts, by uiLanguage().
std::string tr(const char* english, const char* chinese);

// Replaces %1 .. %9 in pattern by the arguments, in one pass (an argument
// that itself holds "%2" is not expanded again). Missing arguments leave
// their marker in place.
std::string format(const std::string& pattern, std::initializer_list<std::string> arguments);

// tr() then format(): trf("Could not find file '%1'.", "找不到文件“%1”。", {path}).
std::string trf(const char* english, const char* chinese, std::initializer_list<std::string> arguments);

}  // namespace lang
