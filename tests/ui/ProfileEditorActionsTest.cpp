// SPDX-License-Identifier: MIT
#include "ProfileEditorOpener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// Saving, duplicating and deleting, as the store answers them.
class ProfileEditorActionsTest : public testing::Test, protected ProfileEditorOpener {};

TEST_F(ProfileEditorActionsTest, ASaveTheStoreDoesNotTakeKeepsTheFormAndSaysWhy) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    editor->fields()->setName("Hotel");
    answer = [](const ThrottleProfile&) { return ProfileChange::refused("Taken meanwhile"); };
    editor->actions()->saveProfile();
    EXPECT_THAT(editor->messages()->errorLines(), ElementsAre("• Taken meanwhile"));
    EXPECT_EQ(editor->title(), "Create Profile");
    EXPECT_THAT(world.navigator.closed, IsEmpty());

    // Kept in memory but not written: saving again retries that same profile.
    answer = [](const ThrottleProfile& p) { return ProfileChange::failed("Disk full", p); };
    editor->actions()->saveProfile();
    EXPECT_THAT(editor->messages()->errorLines(), ElementsAre("• Disk full"));
    EXPECT_EQ(editor->title(), "Edit Profile");
    answer = [](const ThrottleProfile& p) { return ProfileChange::done(p); };
    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[2].id(), saved[1].id());
    EXPECT_FALSE(editor->messages()->showsErrorBox());
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));
}

TEST_F(ProfileEditorActionsTest, DuplicatingMakesANewProfileAndEditingKeepsTheId) {
    const ThrottleProfile threeG = world.named("3G");
    auto editor = open(threeG, ProfileEditorMode::duplicate);
    EXPECT_EQ(editor->title(), "Duplicate Profile");
    EXPECT_EQ(editor->fields()->name(), "3G Copy");
    EXPECT_FALSE(editor->isReadOnly());
    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_NE(saved[0].id(), threeG.id());
    EXPECT_EQ(saved[0].conditions.downloadBandwidth, threeG.conditions.downloadBandwidth);

    // Editing a hidden custom profile through the panel's actions replaces
    // it in place and shows it in the menu again; its own name is no clash.
    const ThrottleProfile custom = world.addCustom("Office", false);
    world.addCustom("Attic");
    const auto panel = world.panel();
    panel->editProfile(custom);
    editor = world.editor();
    EXPECT_EQ(editor->title(), "Edit Profile");
    EXPECT_TRUE(editor->showsDelete());
    editor->fields()->setName("office");
    editor->actions()->saveProfile();
    EXPECT_FALSE(editor->messages()->showsErrorBox());
    ASSERT_EQ(world.profiles.customProfiles().size(), 2);
    EXPECT_EQ(world.profiles.customProfiles()[0].id(), custom.id());
    EXPECT_EQ(world.profiles.customProfiles()[0].name, "office");
    EXPECT_TRUE(world.profiles.customProfiles()[0].showInMenu);

    // Without a profile, editing is still "Edit Profile" and makes a new one.
    world.editorState.prepare(std::nullopt, ProfileEditorMode::edit, {}, {});
    EXPECT_EQ(editor->title(), "Edit Profile");
    EXPECT_EQ(editor->fields()->downloadSpeed(), "10");
}

TEST_F(ProfileEditorActionsTest, DeletingNeedsConfirmationAndAnOpenersAction) {
    const ThrottleProfile custom = world.addCustom("Basement");
    auto editor = open(custom, ProfileEditorMode::edit);
    editor->actions()->requestDelete();
    EXPECT_TRUE(editor->actions()->showingDeleteConfirmation());
    editor->actions()->cancelDelete();
    EXPECT_EQ(world.profiles.profile(custom.id()), custom);
    editor->actions()->requestDelete();
    editor->actions()->confirmDelete();
    EXPECT_EQ(world.profiles.profile(custom.id()), std::nullopt);
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));

    // An opener without actions: deleting does nothing, saving still stores.
    const ThrottleProfile other = world.addCustom("Garage");
    world.editorState.prepare(other, ProfileEditorMode::edit, {}, {});
    editor->actions()->requestDelete();
    editor->actions()->confirmDelete();
    EXPECT_EQ(world.profiles.profile(other.id()), other);
    editor->fields()->setLatency("80");
    editor->fields()->setHasLatency(true);
    editor->actions()->saveProfile();
    EXPECT_EQ(world.profiles.profile(other.id())->conditions.latency, 80);
}

} // namespace
