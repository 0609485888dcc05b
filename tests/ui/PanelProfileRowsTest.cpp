// SPDX-License-Identifier: MIT
#include "PanelProfileRows.h"

#include "UiWorld.h"
#include "WriteFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using testing::ElementsAre;

namespace {

QStringList marks(const ProfileRowsModel* rows) {
    QStringList marked;
    for (const ProfileRowsModel::Row& row : rows->rows()) {
        marked << row.profile.name + (row.isSelected ? "+selected" : "") +
                      (row.isActive ? "+active" : "");
    }
    return marked;
}

TEST(PanelProfileRows, MarkTheSelectedProfileWhileOffAndTheAppliedOneWhileOn) {
    UiWorld world;
    PanelProfileRows rows(world.service, world.profiles);
    const ThrottleProfile custom = world.addCustom("Train Wi-Fi");
    world.addCustom("Hidden", false);
    ASSERT_TRUE(rows.hasCustom());
    EXPECT_EQ(rows.builtIn()->rowCount(), 13);
    EXPECT_THAT(marks(rows.custom()), ElementsAre("Train Wi-Fi"));
    EXPECT_TRUE(rows.custom()->index(0).data(ProfileRowsModel::IsEditableRole).toBool());
    EXPECT_FALSE(rows.builtIn()->index(0).data(ProfileRowsModel::IsEditableRole).toBool());

    finish(world.service.selectProfile(custom));
    EXPECT_THAT(marks(rows.custom()), ElementsAre("Train Wi-Fi+selected"));
    finish(world.service.applyProfile(custom));
    EXPECT_THAT(marks(rows.custom()), ElementsAre("Train Wi-Fi+selected+active"));

    // A selection that fails to apply leaves the marks on what really runs.
    const ThrottleProfile threeG = world.named("3G");
    world.helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("x"));
    EXPECT_THROW(finish(world.service.selectProfile(threeG)), ThrottleError);
    EXPECT_THAT(marks(rows.custom()), ElementsAre("Train Wi-Fi+selected+active"));
    EXPECT_FALSE(rows.isProfileSelected(threeG));
}

TEST(PanelProfileRows, AProfileForSomeDestinationsNamesThemOnALineOfTheirOwn) {
    UiWorld world;
    PanelProfileRows rows(world.service, world.profiles);
    ThrottleProfile api = world.addCustom("API");
    std::string ignored;
    api.destinations = {*Destination::parse("api.example.com", ignored),
                        *Destination::parse(":443", ignored)};
    world.profiles.saveProfile(api);
    const QModelIndex row = rows.custom()->index(0);
    EXPECT_EQ(row.data(ProfileRowsModel::SummaryRole), "D: 2 Mbps, 100ms");
    EXPECT_EQ(row.data(ProfileRowsModel::ScopeRole), "Only to api.example.com +1");
    EXPECT_EQ(row.data(ProfileRowsModel::DescriptionRole),
              "D: 2 Mbps, 100ms, only to api.example.com, :443");
    EXPECT_EQ(rows.builtIn()->index(0).data(ProfileRowsModel::ScopeRole), QString());
}

TEST(PanelProfileRows, AProfileForAnApplicationNamesItAsItsDesktopEntryDoes) {
    UiWorld world;
    writeFile(world.applicationsFolder + "/com.slack.Slack.desktop",
              "[Desktop Entry]\nType=Application\nName=Slack\nIcon=slack-icon\nExec=slack\n");
    PanelProfileRows rows(world.service, world.profiles);
    ThrottleProfile chat = world.addCustom("Chat");
    chat.application = "com.slack.Slack";
    world.profiles.saveProfile(chat);
    // Without an entry, by its desktop id and without an icon.
    ThrottleProfile old = world.addCustom("Old chat");
    old.application = "com.example.Gone";
    world.profiles.saveProfile(old);

    const auto role = [&](int row, ProfileRowsModel::Role which) {
        return rows.custom()->index(row).data(which).toString();
    };
    // By its desktop id until the names are known.
    EXPECT_EQ(role(0, ProfileRowsModel::ScopeRole), "Only com.slack.Slack");
    rows.setApplicationNames(world.applicationNames);
    EXPECT_EQ(role(0, ProfileRowsModel::ScopeRole), "Only Slack");
    EXPECT_EQ(role(0, ProfileRowsModel::ApplicationNameRole), "Slack");
    EXPECT_EQ(role(0, ProfileRowsModel::ApplicationIconRole), "slack-icon");
    EXPECT_EQ(role(0, ProfileRowsModel::DescriptionRole), "D: 2 Mbps, 100ms, only for Slack");
    EXPECT_EQ(role(1, ProfileRowsModel::ScopeRole), "Only com.example.Gone");
    EXPECT_EQ(role(1, ProfileRowsModel::ApplicationNameRole), "com.example.Gone");
    EXPECT_EQ(role(1, ProfileRowsModel::ApplicationIconRole), QString());
    EXPECT_EQ(rows.builtIn()->index(0).data(ProfileRowsModel::ApplicationNameRole), QString());
}

} // namespace
