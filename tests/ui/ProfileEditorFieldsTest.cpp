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

// The rows of the applications' list: name, detail, and a + when chosen.
QStringList rowsOf(const ApplicationChoiceModel& applications) {
    QStringList rows;
    for (int row = 0; row < applications.rowCount(); ++row) {
        const QModelIndex index = applications.index(row);
        rows << index.data(ApplicationChoiceModel::NameRole).toString() + " | " +
                    index.data(ApplicationChoiceModel::DetailRole).toString() +
                    (index.data(ApplicationChoiceModel::IsChosenRole).toBool() ? " +" : "");
    }
    return rows;
}

TEST_F(ProfileEditorFieldsTest, AnApplicationIsChosenFromTheInstalledOnesAndNeededToSave) {
    install("org.mozilla.firefox", "Firefox", "firefox");
    install("com.slack.Slack", "Slack", "com.slack.Slack");
    // A file name a throttle cannot name is not offered.
    install("My Tool", "My Tool");
    const auto editor = open(std::nullopt, ProfileEditorMode::create);
    ProfileEditorFields& fields = *editor->fields();
    ApplicationChoiceModel& applications = *fields.applications();
    fields.setName("Chat");
    EXPECT_EQ(fields.appliesToChoices().size(), 3);
    // Not read while another choice is shown: one installed meanwhile is listed.
    EXPECT_EQ(applications.rowCount(), 0);
    install("org.gnome.Terminal", "Terminal", "utilities-terminal");
    fields.setAppliesTo(2);
    EXPECT_TRUE(fields.showsApplications());
    EXPECT_FALSE(fields.showsDestinations());
    EXPECT_THAT(rowsOf(applications),
                ElementsAre("Firefox | org.mozilla.firefox", "Slack | com.slack.Slack",
                            "Terminal | org.gnome.Terminal"));
    EXPECT_EQ(applications.index(1).data(ApplicationChoiceModel::IconNameRole), "com.slack.Slack");
    EXPECT_EQ(applications.chosenRow(), -1);
    EXPECT_EQ(fields.applicationMessage(), QString());

    // None chosen: refused, saying so under the list and in the box.
    editor->actions()->saveProfile();
    EXPECT_TRUE(saved.isEmpty());
    EXPECT_EQ(fields.applicationMessage(),
              "Choose an application, or apply the profile to all traffic");
    EXPECT_THAT(editor->messages()->errorLines(),
                ElementsAre("• Applies to: Choose an application, or apply the profile to all "
                            "traffic"));

    // Searched by name or by desktop id, in any case.
    applications.setSearchText(" SLACK");
    EXPECT_THAT(rowsOf(applications), ElementsAre("Slack | com.slack.Slack"));
    applications.setSearchText("gnome");
    EXPECT_THAT(rowsOf(applications), ElementsAre("Terminal | org.gnome.Terminal"));
    applications.setSearchText("zoom");
    EXPECT_EQ(applications.rowCount(), 0);
    EXPECT_EQ(applications.notice(), "No installed application matches \u201czoom\u201d.");
    applications.setSearchText("sla");
    applications.choose(0);
    EXPECT_EQ(fields.formData().application, "com.slack.Slack");
    EXPECT_THAT(rowsOf(applications), ElementsAre("Slack | com.slack.Slack +"));
    EXPECT_EQ(applications.chosenRow(), 0);
    EXPECT_EQ(fields.applicationMessage(), QString());
    EXPECT_FALSE(editor->messages()->showsErrorBox());

    // Hidden, the list is let go and its search starts over; shown again,
    // it is read again.
    fields.setAppliesTo(0);
    EXPECT_EQ(applications.rowCount(), 0);
    EXPECT_EQ(applications.searchText(), QString());
    install("org.example.Zed", "Zed");
    fields.setAppliesTo(2);
    EXPECT_EQ(applications.rowCount(), 4);
    EXPECT_EQ(applications.chosenRow(), 1);

    // Destinations typed before stay in the form, but only the application is saved.
    fields.setDestinations("api.example.com");
    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].application, "com.slack.Slack");
    EXPECT_TRUE(saved[0].destinations.empty());
}

TEST_F(ProfileEditorFieldsTest, AnApplicationNoLongerInstalledIsShownByItsIdAndKept) {
    install("com.slack.Slack", "Slack");
    ThrottleProfile gone = world.addCustom("Old chat");
    gone.application = "com.example.Gone";
    const auto editor = open(gone, ProfileEditorMode::edit);
    ProfileEditorFields& fields = *editor->fields();
    ApplicationChoiceModel& applications = *fields.applications();
    EXPECT_EQ(fields.appliesTo(), 2);
    EXPECT_THAT(rowsOf(applications),
                ElementsAre("com.example.Gone | Not installed +", "Slack | com.slack.Slack"));

    // Another chosen, it stays to be chosen again.
    applications.choose(1);
    EXPECT_THAT(rowsOf(applications),
                ElementsAre("com.example.Gone | Not installed", "Slack | com.slack.Slack +"));
    applications.choose(0);
    editor->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 1);
    EXPECT_EQ(saved[0].application, "com.example.Gone");

    // Limited to destinations instead, it is for no application any more.
    const auto reopened = open(saved[0], ProfileEditorMode::edit);
    reopened->fields()->setAppliesTo(1);
    reopened->fields()->setDestinations(":443");
    EXPECT_EQ(reopened->fields()->applications()->rowCount(), 0);
    reopened->actions()->saveProfile();
    ASSERT_EQ(saved.size(), 2);
    EXPECT_EQ(saved[1].application, QString());
    EXPECT_EQ(ProfileDestinations::texts(saved[1].destinations), QStringList{":443"});
}

} // namespace
