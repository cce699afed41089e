// The language follows the environment's precedence, and message patterns
// take their arguments once.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/language/language.h"

namespace {

struct EnvCase {
    const char* language;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    lang::Language expected;
};

void setOrUnset(const char* name, const char* value)
{
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}

TEST(Language, FollowsTheFirstSetVariable)
{
    const EnvCase cases[] = {
        {nullptr, nullptr, nullptr, nullptr, lang::Language::English},
        {nullptr, nullptr, nullptr, "zh_CN.UTF-8", lang::Language::Chinese},
        {nullptr, nullptr, nullptr, "de_DE.UTF-8", lang::Language::English},
        {nullptr, "en_US.UTF-8", nullptr, "zh_CN.UTF-8", lang::Language::English},
        {nullptr, nullptr, "zh_TW.UTF-8", "en_US.UTF-8", lang::Language::Chinese},
        {"zh_CN:en", "C", nullptr, nullptr, lang::Language::Chinese},
        {"", "", "", "zh_CN.GB18030", lang::Language::Chinese},  // empty values do not count
        {nullptr, "C.UTF-8", nullptr, nullptr, lang::Language::English},
    };
    for (const EnvCase& c : cases) {
        setOrUnset("LANGUAGE", c.language);
        setOrUnset("LC_ALL", c.lcAll);
        setOrUnset("LC_MESSAGES", c.lcMessages);
        setOrUnset("LANG", c.lang);
        lang::resetUiLanguage();
        EXPECT_EQ(lang::uiLanguage(), c.expected) << (c.lang ? c.lang : "") << " / " << (c.lcAll ? c.lcAll : "");
    }
    lang::setUiLanguage(lang::Language::Chinese);
    EXPECT_EQ(lang::tr("Yes", "是"), "是");
    lang::setUiLanguage(lang::Language::English);
    EXPECT_EQ(lang::tr("Yes", "是"), "Yes");
}

TEST(Language, FormatReplacesMarkersOnce)
{
    struct Case {
        const char* pattern;
        std::initializer_list<std::string> args;
        const char* expected;
    };
    const Case cases[] = {
        {"line %1: %2", {"7", "bad"}, "line 7: bad"},
        {"%2 before %1", {"a", "b"}, "b before a"},
        {"%1%1", {"x"}, "xx"},
        {"%1 and %2", {"%2"}, "%2 and %2"},  // an argument is not expanded again
        {"100% sure", {}, "100% sure"},
        {"ends with %", {"x"}, "ends with %"},
        {"找不到文件“%1”。", {"/tmp/a"}, "找不到文件“/tmp/a”。"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lang::format(c.pattern, c.args), c.expected) << c.pattern;
}

}  // namespace
