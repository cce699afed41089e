// Well-formed UTF-8 as RFC 3629 draws its edges: every lead byte's range,
// overlong forms, surrogates, the last code point and cut sequences.

#include <gtest/gtest.h>

#include "store/utf8.h"

namespace {

TEST(IsValidUtf8, FollowsTheEdgesOfTheSyntax)
{
    struct Case {
        std::string bytes;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain ASCII", true},
        {std::string("nul \0 inside", 12), true},          // well-formed, whatever a database makes of it
        {"\xC2\x80", true},                                // U+0080, the first two-byte form
        {"\xC1\xBF", false},                               // overlong U+007F
        {"\xE0\xA0\x80", true},                            // U+0800
        {"\xE0\x9F\xBF", false},                           // overlong U+07FF
        {"\xED\x9F\xBF", true},                            // U+D7FF
        {"\xED\xA0\x80", false},                           // U+D800, a surrogate
        {"\xEF\xBF\xBF", true},                            // U+FFFF
        {"\xF0\x90\x80\x80", true},                        // U+10000
        {"\xF0\x8F\xBF\xBF", false},                       // overlong U+FFFF
        {"\xF4\x8F\xBF\xBF", true},                        // U+10FFFF, the last
        {"\xF4\x90\x80\x80", false},                       // beyond it
        {"\xF5\x80\x80\x80", false},                       // no lead byte
        {"\x80", false},                                   // a stray continuation byte
        {"ab\xE6\x9D", false},                             // cut at the end
        {"\xE6\x9D" "a", false},                           // cut in the middle
        {"\xE6\x9D\x8E\xE5\xB0\x8F\xE9\xBE\x99", true},    // 李小龙
    };
    for (const Case& c : cases)
        EXPECT_EQ(store::IsValidUtf8(c.bytes), c.valid) << testing::PrintToString(c.bytes);
}

}  // namespace
