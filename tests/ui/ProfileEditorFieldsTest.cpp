// SPDX-License-Identifier: MIT
#include "ProfileDestinations.h"
#include "ProfileEditorOpener.h"

#include <QSignalSpy>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

// The form's fields, and the Advanced section typed into row by row.
class ProfileEditorFieldsTest : public testing::Test, protected ProfileEditorOpener {};

TEST_F(ProfileEditorFieldsTest, AdvancedConditionsAreTypedNumbersThatSurviveASaveAndReopen) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    EXPECT_FALSE(editor->fields()->showsAdvanced());
    editor->fields()->setName("Train");
    // Nothing typed, or a zero, is no condition.
    editor->fields()->setAdvancedCondition(Condition::jitter, "30");
    EXPECT_TRUE(editor->fields()->formData()[Condition::jitter].isOn);
    for (const char* none : {"0", " 0.0 ", ""}) {
        editor->fields()->setAdvancedCondition(Condition::jitter, none);
        EXPECT_FALSE(editor->fields()->formData()[Condition::jitter].isOn) << none;
    }
    // The section's rows, as the view types into them.
    AdvancedConditionsModel& rows = *editor->fields()->advancedConditions();
    const auto row = [&](int at, AdvancedConditionsModel::Role role) {
        return rows.data(rows.index(at), role).toString();
    };
    ASSERT_EQ(rows.rowCount(), 4);
    const QStringList texts{"30", "25", "5", "1,5"};
    for (int at = 0; at < rows.rowCount(); ++at) {
        editor->fields()->setAdvancedRow(at, texts[at]);
    }

    // A fault in a folded section opens it.
    editor->actions()->saveProfile();
    EXPECT_TRUE(editor->fields()->showsAdvanced());
    EXPECT_THAT(editor->messages()->errorLines(),
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

    editor->fields()->setHasLatency(true);
    editor->fields()->setLatency("100");
    editor->fields()->setHasPacketLoss(true);
    editor->fields()->setPacketLoss("2");
    editor->fields()->setAdvancedCondition(Condition::duplicate, "1.5");
    EXPECT_FALSE(editor->messages()->showsErrorBox());
    EXPECT_EQ(row(3, AdvancedConditionsModel::MessageRole), QString());
    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].conditions.jitter, 30);
    EXPECT_EQ(saved[0].conditions.packetLossCorrelationPercent, 25.0);
    EXPECT_EQ(saved[0].conditions.reorderPercent, 5.0);
    EXPECT_EQ(saved[0].conditions.duplicatePercent, 1.5);

    // Reopened, the section shows them; clearing one drops it alone.
    auto reopened = open(saved[0], ProfileEditorMode::edit);
    EXPECT_TRUE(reopened->fields()->showsAdvanced());
    AdvancedConditionsModel& reopenedRows = *reopened->fields()->advancedConditions();
    EXPECT_EQ(reopenedRows.data(reopenedRows.index(0), AdvancedConditionsModel::TextRole), "30");
    EXPECT_EQ(reopenedRows.data(reopenedRows.index(3), AdvancedConditionsModel::TextRole), "1.5");
    reopened->fields()->toggleAdvanced();
    EXPECT_FALSE(reopened->fields()->showsAdvanced());
    reopened->fields()->setAdvancedCondition(Condition::duplicate, "");
    reopened->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[1].id(), saved[0].id());
    EXPECT_EQ(saved[1].conditions.duplicatePercent, std::nullopt);
    EXPECT_EQ(saved[1].conditions.jitter, 30);

    // A profile without them opens folded and is saved as it was.
    const ThrottleProfile plain = world.addCustom("Plain");
    reopened = open(plain, ProfileEditorMode::edit);
    EXPECT_FALSE(reopened->fields()->showsAdvanced());
    reopened->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 3);
    EXPECT_EQ(saved[2].conditions, plain.conditions);
}

TEST_F(ProfileEditorFieldsTest, TheDestinationsAreCheckedAsTypedAndSavedOnlyWhenChosen) {
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    ProfileEditorFields& fields = *editor->fields();
    fields.setName("Scoped");
    EXPECT_EQ(fields.appliesTo(), 0);
    EXPECT_FALSE(fields.showsDestinations());
    fields.setDestinations("api.example.com\nexample.com:99999");
    // Not shown, not checked, while all traffic is chosen.
    EXPECT_EQ(fields.destinationsMessage(), QString());

    QSignalSpy messageChanges(&fields, &ProfileEditorFields::destinationsMessageChanged);
    fields.setAppliesTo(1);
    EXPECT_TRUE(fields.showsDestinations());
    EXPECT_EQ(fields.destinationsMessage(),
              "'example.com:99999': a port is a number from 1 to 65535");
    EXPECT_GE(messageChanges.size(), 1);
    fields.setDestinations("api.example.com\n:443\n");
    EXPECT_EQ(fields.destinationsMessage(), QString());

    // An empty list says so once a save is tried, and the save is refused.
    fields.setDestinations(" \n");
    EXPECT_EQ(fields.destinationsMessage(), QString());
    editor->actions()->saveProfile();
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(fields.destinationsMessage(),
              "List at least one destination, or apply the profile to all traffic");
    EXPECT_THAT(editor->messages()->errorLines(),
                ElementsAre("• Applies to: List at least one destination, or apply the profile "
                            "to all traffic"));

    fields.setDestinations("API.example.com\n:443");
    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(ProfileDestinations::texts(saved[0].destinations),
              (QStringList{"api.example.com", ":443"}));

    // Reopened it shows them; all traffic again saves none.
    const auto reopened = open(saved[0], ProfileEditorMode::edit);
    EXPECT_EQ(reopened->fields()->appliesTo(), 1);
    EXPECT_EQ(reopened->fields()->destinations(), "api.example.com\n:443");
    reopened->fields()->setAppliesTo(0);
    reopened->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_TRUE(saved[1].destinations.empty());
}

} // namespace
