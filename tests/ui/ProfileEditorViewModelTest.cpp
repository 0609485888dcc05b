// SPDX-License-Identifier: MIT
#include "ProfileEditorOpener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// The editor as opened: what the opened profile allows, and loading afresh.
class ProfileEditorViewModelTest : public testing::Test, protected ProfileEditorOpener {};

TEST_F(ProfileEditorViewModelTest, ABuiltInProfileIsShownReadOnlyAndCanOnlyBeDuplicated) {
    const auto editor = open(world.named("LTE"), ProfileEditorMode::edit);
    EXPECT_EQ(editor->title(), "View Profile");
    EXPECT_TRUE(editor->isReadOnly());
    EXPECT_FALSE(editor->showsSave());
    EXPECT_FALSE(editor->showsDelete());
    // Its loss is a present 0: switched off.
    EXPECT_FALSE(editor->fields()->hasPacketLoss());
    EXPECT_EQ(editor->fields()->downloadSpeed(), "50");

    editor->fields()->setName("Changed");
    editor->fields()->setHasPacketLoss(true);
    editor->actions()->saveProfile();
    EXPECT_EQ(editor->fields()->name(), "LTE");
    EXPECT_FALSE(editor->fields()->hasPacketLoss());
    EXPECT_THAT(saved, IsEmpty());

    // That every duplicate is a new profile is the store's business.
    editor->actions()->duplicateProfile();
    ASSERT_EQ(world.profiles.customProfiles().size(), 1);
    EXPECT_EQ(world.profiles.customProfiles()[0].name, "LTE Copy");
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));
}

TEST_F(ProfileEditorViewModelTest, PreparingTheStateAgainRefillsTheOpenEditorAndStartsOver) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    editor->actions()->saveProfile();
    ASSERT_TRUE(editor->messages()->showsErrorBox());
    world.editorState.prepare(world.named("Edge"), ProfileEditorMode::duplicate, {}, {});
    EXPECT_EQ(editor->fields()->name(), "Edge Copy");
    EXPECT_FALSE(editor->messages()->hasAttemptedSave());
    EXPECT_FALSE(editor->messages()->showsErrorBox());
}

} // namespace
