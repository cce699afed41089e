// Reading the window's design data into property bags.

#include <gtest/gtest.h>

#include "app/design_data.h"

TEST(DesignData, ParsesBlocksKeysAndValues)
{
    const auto bags = design::ParseDesignData(QStringLiteral(
        "# comment\n"
        "Begin LumenButton B1\n"
        "   Caption = \"   开奖!\"\n"
        "   theme = 6\n"
        "   font = \"宋体\", 26.25, 400, 134\n"
        "   broken line\n"
        "End\n"
        "Begin LumenButton B2\n"
        "   enabled = false\n"
        "End\n"));
    ASSERT_EQ(bags.size(), 2);
    const PropertyBag& b1 = bags["B1"];
    EXPECT_EQ(b1.ReadProperty("caption").toString(), QStringLiteral("   开奖!"));
    EXPECT_EQ(b1.ReadProperty("Theme").toInt(), 6);
    const QVariantMap font = b1.ReadProperty("font").toMap();
    EXPECT_EQ(font["name"].toString(), QStringLiteral("宋体"));
    EXPECT_DOUBLE_EQ(font["size"].toDouble(), 26.25);
    EXPECT_EQ(font["charset"].toInt(), 134);
    EXPECT_EQ(bags["B2"].ReadProperty("Enabled", true).toBool(), false);
}

TEST(DesignData, TheWindowsButtonsAreAllThere)
{
    const auto& bags = design::Form1Design();
    for (const char* name : {"LumenButton1", "LumenButton2", "LumenButton4", "LumenButton6", "LumenButton7",
                             "LumenButton8"})
        EXPECT_TRUE(bags.contains(QString::fromLatin1(name))) << name;
    EXPECT_EQ(bags["LumenButton1"].ReadProperty("theme").toInt(), 6);
    EXPECT_EQ(bags["LumenButton8"].ReadProperty("captioneffect").toInt(), 4);
}
