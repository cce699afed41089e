// The made-up participants of sortia-db create --demo.

#include <set>

#include <gtest/gtest.h>

#include "store/utf8.h"
#include "tools/demo_participants.h"

namespace {

TEST(DemoParticipants, AreRepeatableWithDistinctPhoneLikeNumbers)
{
    const auto first = dbtool::makeDemoParticipants(20000);
    const auto again = dbtool::makeDemoParticipants(20000);
    std::set<std::string> numbers;
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].name, again[i].name);
        EXPECT_EQ(first[i].number, again[i].number);
        ASSERT_EQ(first[i].number.size(), 11u);
        EXPECT_EQ(first[i].number[0], '1');
        EXPECT_EQ(first[i].number.find_first_not_of("0123456789"), std::string::npos);
        // two or three Chinese characters, three UTF-8 bytes each
        EXPECT_TRUE(first[i].name.size() == 6 || first[i].name.size() == 9) << first[i].name;
        EXPECT_TRUE(store::IsValidUtf8(first[i].name));
        numbers.insert(first[i].number.substr(3));
    }
    EXPECT_EQ(numbers.size(), first.size());
}

}  // namespace
