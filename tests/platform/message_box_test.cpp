// The overwrite question that programs with a window hand to the image
// engine's saving.
#include <gtest/gtest.h>

#include "platform/ui/message_box.h"
#include "tests/support/fake_message_boxes.h"

namespace {

TEST(MessageBox, OverwriteQuestionAsksWithNoAsTheDefault)
{
    for (const ui::Result answer : {ui::Result::Yes, ui::Result::No}) {
        FakeMessageBoxes boxes;
        boxes.answers.push_back(answer);
        EXPECT_EQ(ui::confirmOverwrite(QStringLiteral("/tmp/picture.bmp")), answer == ui::Result::Yes);
        ASSERT_EQ(boxes.shown.size(), 1u);
        const ShownBox& box = boxes.shown.front();
        EXPECT_EQ(box.text, "Overwrite current file?");
        EXPECT_EQ(box.title, "Overwrite Confirmation");
        EXPECT_EQ(box.buttons, ui::Buttons::YesNo);
        EXPECT_EQ(box.icon, ui::Icon::Question);
        EXPECT_EQ(box.defaultButton, ui::Result::No);
    }
}

}  // namespace
