// SPDX-License-Identifier: MIT
#include "ProfileEditorOpener.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// The form's messages: none before the first save attempt, then at every change.
class ProfileEditorMessagesTest : public testing::Test, protected ProfileEditorOpener {};

TEST_F(ProfileEditorMessagesTest, ANewProfileStartsWithTwoLimitsAndShowsErrorsOnlyAfterSaving) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    EXPECT_EQ(editor->title(), "Create Profile");
    ProfileFormData expected;
    expected[Condition::download] = {"10", true, BandwidthUnit::mbps};
    expected[Condition::upload] = {"5", true, BandwidthUnit::mbps};
    EXPECT_EQ(editor->fields()->formData(), expected);

    editor->fields()->setLatency("soon");
    editor->fields()->setHasLatency(true);
    EXPECT_FALSE(editor->messages()->showsErrorBox());
    EXPECT_EQ(editor->messages()->latencyMessage(), QString());

    editor->actions()->saveProfile();
    EXPECT_THAT(
        editor->messages()->errorLines(),
        ElementsAre("• Profile name cannot be empty", "• Latency: Latency must be a valid number"));
    EXPECT_EQ(editor->messages()->nameMessage(), "Profile name cannot be empty");
    EXPECT_EQ(editor->messages()->latencyMessage(), "Latency must be a valid number");
    EXPECT_THAT(saved, IsEmpty());
    EXPECT_THAT(world.navigator.closed, IsEmpty());

    // From now on every change is checked as it is typed.
    editor->fields()->setName("Hotel");
    EXPECT_EQ(editor->messages()->nameMessage(), QString());
    editor->fields()->setLatency("250");
    EXPECT_FALSE(editor->messages()->showsErrorBox());

    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].name, "Hotel");
    EXPECT_EQ(saved[0].conditions.latency, 250);
    EXPECT_FALSE(saved[0].isBuiltIn());
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));
}

TEST_F(ProfileEditorMessagesTest, NoConditionAtAllIsReportedInTheBoxOnly) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    editor->fields()->setName("Nothing");
    editor->fields()->setHasDownloadLimit(false);
    editor->fields()->setHasUploadLimit(false);
    editor->actions()->saveProfile();
    EXPECT_THAT(editor->messages()->errorLines(),
                ElementsAre("• Profile must have at least one throttling option enabled"));
    // Nothing under the fields: the box is the one place for it.
    for (const QString& message :
         {editor->messages()->nameMessage(), editor->messages()->downloadMessage(),
          editor->messages()->uploadMessage(), editor->messages()->latencyMessage(),
          editor->messages()->packetLossMessage(), editor->messages()->dnsDelayMessage()}) {
        EXPECT_EQ(message, QString());
    }
}

} // namespace
