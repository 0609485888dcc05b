// SPDX-License-Identifier: MIT
#include "ProfileStoreActions.h"
#include "UiWorld.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class ProfileEditorViewModelTest : public testing::Test {
protected:
    // Opens the editor as the panel and the profile list do.
    std::unique_ptr<ProfileEditorViewModel> open(std::optional<ThrottleProfile> profile,
                                                 ProfileEditorMode mode) {
        world.editorState.prepare(
            std::move(profile), mode,
            [this](const ThrottleProfile& p) {
                saved << p;
                return answer(p);
            },
            ProfileStoreActions::deleteAction(world.profiles));
        return world.editor();
    }

    UiWorld world;
    QList<ThrottleProfile> saved;
    // What the store makes of a save.
    ProfileEditorState::Action answer = [](const ThrottleProfile& p) {
        return ProfileChange::done(p);
    };
};

TEST_F(ProfileEditorViewModelTest, ANewProfileStartsWithTwoLimitsAndShowsErrorsOnlyAfterSaving) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    EXPECT_EQ(editor->title(), "Create Profile");
    ProfileFormData expected;
    expected[Condition::download] = {"10", true, BandwidthUnit::mbps};
    expected[Condition::upload] = {"5", true, BandwidthUnit::mbps};
    EXPECT_EQ(editor->formData(), expected);

    editor->setLatency("soon");
    editor->setHasLatency(true);
    EXPECT_FALSE(editor->showsErrorBox());
    EXPECT_EQ(editor->latencyMessage(), QString());

    editor->saveProfile();
    EXPECT_THAT(editor->errorLines(), ElementsAre("• Profile name cannot be empty",
                                                  "• Latency: Latency must be a valid number"));
    EXPECT_EQ(editor->nameMessage(), "Profile name cannot be empty");
    EXPECT_EQ(editor->latencyMessage(), "Latency must be a valid number");
    EXPECT_THAT(saved, IsEmpty());
    EXPECT_THAT(world.navigator.closed, IsEmpty());

    // From now on every change is checked as it is typed.
    editor->setName("Hotel");
    EXPECT_EQ(editor->nameMessage(), QString());
    editor->setLatency("250");
    EXPECT_FALSE(editor->showsErrorBox());

    editor->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].name, "Hotel");
    EXPECT_EQ(saved[0].conditions.latency, 250);
    EXPECT_FALSE(saved[0].isBuiltIn());
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));
}

TEST_F(ProfileEditorViewModelTest, ASaveTheStoreDoesNotTakeKeepsTheFormAndSaysWhy) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    editor->setName("Hotel");
    answer = [](const ThrottleProfile&) { return ProfileChange::refused("Taken meanwhile"); };
    editor->saveProfile();
    EXPECT_THAT(editor->errorLines(), ElementsAre("• Taken meanwhile"));
    EXPECT_EQ(editor->title(), "Create Profile");
    EXPECT_THAT(world.navigator.closed, IsEmpty());

    // Kept in memory but not written: saving again retries that same profile.
    answer = [](const ThrottleProfile& p) { return ProfileChange::failed("Disk full", p); };
    editor->saveProfile();
    EXPECT_THAT(editor->errorLines(), ElementsAre("• Disk full"));
    EXPECT_EQ(editor->title(), "Edit Profile");
    answer = [](const ThrottleProfile& p) { return ProfileChange::done(p); };
    editor->saveProfile();
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[2].id(), saved[1].id());
    EXPECT_FALSE(editor->showsErrorBox());
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));
}

TEST_F(ProfileEditorViewModelTest, NoConditionAtAllIsReportedInTheBoxOnly) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    editor->setName("Nothing");
    editor->setHasDownloadLimit(false);
    editor->setHasUploadLimit(false);
    editor->saveProfile();
    EXPECT_THAT(editor->errorLines(),
                ElementsAre("• Profile must have at least one throttling option enabled"));
    // Nothing under the fields: the box is the one place for it.
    for (const QString& message :
         {editor->nameMessage(), editor->downloadMessage(), editor->uploadMessage(),
          editor->latencyMessage(), editor->packetLossMessage(), editor->dnsDelayMessage()}) {
        EXPECT_EQ(message, QString());
    }
}

TEST_F(ProfileEditorViewModelTest, AdvancedConditionsAreTypedNumbersThatSurviveASaveAndReopen) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    EXPECT_FALSE(editor->showsAdvanced());
    editor->setName("Train");
    // Nothing typed, or a zero, is no condition.
    editor->setAdvancedCondition(Condition::jitter, "30");
    EXPECT_TRUE(editor->formData()[Condition::jitter].isOn);
    for (const char* none : {"0", " 0.0 ", ""}) {
        editor->setAdvancedCondition(Condition::jitter, none);
        EXPECT_FALSE(editor->formData()[Condition::jitter].isOn) << none;
    }
    // The section's rows, as the view types into them.
    AdvancedConditionsModel& rows = *editor->advancedConditions();
    const auto row = [&](int at, AdvancedConditionsModel::Role role) {
        return rows.data(rows.index(at), role).toString();
    };
    ASSERT_EQ(rows.rowCount(), 4);
    const QStringList texts{"30", "25", "5", "1,5"};
    for (int at = 0; at < rows.rowCount(); ++at) {
        editor->setAdvancedRow(at, texts[at]);
    }

    // A fault in a folded section opens it.
    editor->saveProfile();
    EXPECT_TRUE(editor->showsAdvanced());
    EXPECT_THAT(editor->errorLines(),
                ElementsAre("• Duplication: Duplication must be a valid number",
                            "• Jitter: Jitter needs a latency at least as large",
                            "• Loss Correlation: Loss correlation needs a packet loss",
                            "• Reordering: Reordering needs a latency of at least 2 ms"));
    // Each row with its own message, in the order of the conditions.
    const QStringList titles{"Jitter", "Loss Correlation", "Reordering", "Duplication"};
    const QStringList messages{
        "Jitter needs a latency at least as large", "Loss correlation needs a packet loss",
        "Reordering needs a latency of at least 2 ms", "Duplication must be a valid number"};
    for (int at = 0; at < rows.rowCount(); ++at) {
        EXPECT_EQ(row(at, AdvancedConditionsModel::TitleRole), titles[at]);
        EXPECT_EQ(row(at, AdvancedConditionsModel::TextRole), texts[at]);
        EXPECT_EQ(row(at, AdvancedConditionsModel::MessageRole), messages[at]);
    }
    EXPECT_EQ(row(0, AdvancedConditionsModel::SuffixRole), "ms");
    EXPECT_EQ(row(3, AdvancedConditionsModel::SuffixRole), "%");

    editor->setHasLatency(true);
    editor->setLatency("100");
    editor->setHasPacketLoss(true);
    editor->setPacketLoss("2");
    editor->setAdvancedCondition(Condition::duplicate, "1.5");
    EXPECT_FALSE(editor->showsErrorBox());
    EXPECT_EQ(row(3, AdvancedConditionsModel::MessageRole), QString());
    editor->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].conditions.jitter, 30);
    EXPECT_EQ(saved[0].conditions.packetLossCorrelationPercent, 25.0);
    EXPECT_EQ(saved[0].conditions.reorderPercent, 5.0);
    EXPECT_EQ(saved[0].conditions.duplicatePercent, 1.5);

    // Reopened, the section shows them; clearing one drops it alone.
    auto reopened = open(saved[0], ProfileEditorMode::edit);
    EXPECT_TRUE(reopened->showsAdvanced());
    AdvancedConditionsModel& reopenedRows = *reopened->advancedConditions();
    EXPECT_EQ(reopenedRows.data(reopenedRows.index(0), AdvancedConditionsModel::TextRole), "30");
    EXPECT_EQ(reopenedRows.data(reopenedRows.index(3), AdvancedConditionsModel::TextRole), "1.5");
    reopened->toggleAdvanced();
    EXPECT_FALSE(reopened->showsAdvanced());
    reopened->setAdvancedCondition(Condition::duplicate, "");
    reopened->saveProfile();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[1].id(), saved[0].id());
    EXPECT_EQ(saved[1].conditions.duplicatePercent, std::nullopt);
    EXPECT_EQ(saved[1].conditions.jitter, 30);

    // A profile without them opens folded and is saved as it was.
    const ThrottleProfile plain = world.addCustom("Plain");
    reopened = open(plain, ProfileEditorMode::edit);
    EXPECT_FALSE(reopened->showsAdvanced());
    reopened->saveProfile();
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[2].conditions, plain.conditions);
}

TEST_F(ProfileEditorViewModelTest, ABuiltInProfileIsShownReadOnlyAndCanOnlyBeDuplicated) {
    const auto editor = open(world.named("LTE"), ProfileEditorMode::edit);
    EXPECT_EQ(editor->title(), "View Profile");
    EXPECT_TRUE(editor->isReadOnly());
    EXPECT_FALSE(editor->showsSave());
    EXPECT_FALSE(editor->showsDelete());
    // Its loss is a present 0: switched off.
    EXPECT_FALSE(editor->hasPacketLoss());
    EXPECT_EQ(editor->downloadSpeed(), "50");

    editor->setName("Changed");
    editor->setHasPacketLoss(true);
    editor->saveProfile();
    EXPECT_EQ(editor->name(), "LTE");
    EXPECT_FALSE(editor->hasPacketLoss());
    EXPECT_THAT(saved, IsEmpty());

    // That every duplicate is a new profile is the store's business.
    editor->duplicateProfile();
    ASSERT_EQ(world.profiles.customProfiles().size(), 1);
    EXPECT_EQ(world.profiles.customProfiles()[0].name, "LTE Copy");
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));
}

TEST_F(ProfileEditorViewModelTest, DuplicatingMakesANewProfileAndEditingKeepsTheId) {
    const ThrottleProfile threeG = world.named("3G");
    auto editor = open(threeG, ProfileEditorMode::duplicate);
    EXPECT_EQ(editor->title(), "Duplicate Profile");
    EXPECT_EQ(editor->name(), "3G Copy");
    EXPECT_FALSE(editor->isReadOnly());
    editor->saveProfile();
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
    editor->setName("office");
    editor->saveProfile();
    EXPECT_FALSE(editor->showsErrorBox());
    ASSERT_EQ(world.profiles.customProfiles().size(), 2);
    EXPECT_EQ(world.profiles.customProfiles()[0].id(), custom.id());
    EXPECT_EQ(world.profiles.customProfiles()[0].name, "office");
    EXPECT_TRUE(world.profiles.customProfiles()[0].showInMenu);

    // Without a profile, editing is still "Edit Profile" and makes a new one.
    world.editorState.prepare(std::nullopt, ProfileEditorMode::edit, {}, {});
    EXPECT_EQ(editor->title(), "Edit Profile");
    EXPECT_EQ(editor->downloadSpeed(), "10");
}

TEST_F(ProfileEditorViewModelTest, TheLossSliderFollowsANumberAndWritesWholeNumbers) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    EXPECT_FALSE(editor->showsPacketLossSlider());
    editor->setHasPacketLoss(true);
    EXPECT_FALSE(editor->showsPacketLossSlider());
    for (const char* text : {"abc", "nan", "12,5"}) {
        editor->setPacketLoss(text);
        EXPECT_FALSE(editor->showsPacketLossSlider()) << text;
    }
    editor->setPacketLoss("12.5");
    EXPECT_TRUE(editor->showsPacketLossSlider());
    EXPECT_EQ(editor->packetLossSliderValue(), 12.5);
    editor->setPacketLossFromSlider(40);
    EXPECT_EQ(editor->packetLoss(), "40");
}

TEST_F(ProfileEditorViewModelTest, DeletingNeedsConfirmationAndAnOpenersAction) {
    const ThrottleProfile custom = world.addCustom("Basement");
    auto editor = open(custom, ProfileEditorMode::edit);
    editor->requestDelete();
    EXPECT_TRUE(editor->showingDeleteConfirmation());
    editor->cancelDelete();
    EXPECT_EQ(world.profiles.profile(custom.id()), custom);
    editor->requestDelete();
    editor->confirmDelete();
    EXPECT_EQ(world.profiles.profile(custom.id()), std::nullopt);
    EXPECT_THAT(world.navigator.closed, ElementsAre("profile-editor"));

    // An opener without actions: deleting does nothing, saving still stores.
    const ThrottleProfile other = world.addCustom("Garage");
    world.editorState.prepare(other, ProfileEditorMode::edit, {}, {});
    editor->requestDelete();
    editor->confirmDelete();
    EXPECT_EQ(world.profiles.profile(other.id()), other);
    editor->setLatency("80");
    editor->setHasLatency(true);
    editor->saveProfile();
    EXPECT_EQ(world.profiles.profile(other.id())->conditions.latency, 80);
}

TEST_F(ProfileEditorViewModelTest, PreparingTheStateAgainRefillsTheOpenEditorAndStartsOver) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    editor->saveProfile();
    ASSERT_TRUE(editor->showsErrorBox());
    world.editorState.prepare(world.named("Edge"), ProfileEditorMode::duplicate, {}, {});
    EXPECT_EQ(editor->name(), "Edge Copy");
    EXPECT_FALSE(editor->hasAttemptedSave());
    EXPECT_FALSE(editor->showsErrorBox());
}

} // namespace
