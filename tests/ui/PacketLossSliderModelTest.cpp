// SPDX-License-Identifier: MIT
#include "ProfileEditorOpener.h"

#include <gtest/gtest.h>

namespace {

// The slider under the packet loss field.
class PacketLossSliderModelTest : public testing::Test, protected ProfileEditorOpener {};

TEST_F(PacketLossSliderModelTest, TheLossSliderFollowsANumberAndWritesWholeNumbers) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    EXPECT_FALSE(editor->lossSlider()->showsPacketLossSlider());
    editor->fields()->setHasPacketLoss(true);
    EXPECT_FALSE(editor->lossSlider()->showsPacketLossSlider());
    for (const char* text : {"abc", "nan", "12,5"}) {
        editor->fields()->setPacketLoss(text);
        EXPECT_FALSE(editor->lossSlider()->showsPacketLossSlider()) << text;
    }
    editor->fields()->setPacketLoss("12.5");
    EXPECT_TRUE(editor->lossSlider()->showsPacketLossSlider());
    EXPECT_EQ(editor->lossSlider()->packetLossSliderValue(), 12.5);
    editor->lossSlider()->setPacketLossFromSlider(40);
    EXPECT_EQ(editor->fields()->packetLoss(), "40");
}

} // namespace
