// SPDX-License-Identifier: MIT
#include "ProfileListViewModel.h"

#include "ProfileStatChips.h"
#include "SettingsKeys.h"
#include "UiWorld.h"
#include "WriteFile.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QStringList rowNames(const ProfileListRows& rows) {
    QStringList names;
    for (int row = 0; row < rows.rowCount(); ++row) {
        names << rows.data(rows.index(row), ProfileListRows::NameRole).toString();
    }
    return names;
}

bool rowShown(const ProfileListRows& rows, const QString& name) {
    const int row = static_cast<int>(rowNames(rows).indexOf(name));
    return rows.data(rows.index(row), ProfileListRows::ShowInMenuRole).toBool();
}

QString idOf(const ThrottleProfile& profile) {
    return ThrottleProfile::idText(profile.id());
}

class ProfileListViewModelTest : public testing::Test {
protected:
    UiWorld world;
    std::unique_ptr<ProfileListViewModel> model = world.profileList();
};

TEST_F(ProfileListViewModelTest, ListsCustomProfilesByCodePointAndFollowsTheStore) {
    world.addCustom("beta");
    const ThrottleProfile upper = world.addCustom("Alpha");
    const ThrottleProfile lower = world.addCustom("alpha");
    EXPECT_EQ(rowNames(*model->customRows()), (QStringList{"Alpha", "alpha", "beta"}));
    EXPECT_EQ(rowNames(*model->builtInRows()).size(), 13);
    EXPECT_EQ(rowNames(*model->builtInRows()).first(), "100% Loss");

    // A visibility flip updates the row in place, so its switch can animate.
    QSignalSpy resets(model->customRows(), &QAbstractItemModel::modelReset);
    model->toggleVisibility(idOf(lower));
    EXPECT_FALSE(rowShown(*model->customRows(), "alpha"));
    EXPECT_TRUE(rowShown(*model->customRows(), "Alpha"));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(world.profiles.menuCustomProfiles().size(), 2);

    const ThrottleProfile lte = preset("LTE");
    model->toggleVisibility(idOf(lte));
    EXPECT_FALSE(rowShown(*model->builtInRows(), "LTE"));
    EXPECT_EQ(
        world.defaults.value(SettingsKeys::profileVisibilityOverrides).toMap().value(idOf(lte)),
        false);

    // Each appearance reads the file again, so changes made elsewhere show up.
    ProfileManager elsewhere(world.defaults, world.home.path(), QString());
    elsewhere.loadCustomProfiles();
    elsewhere.deleteProfile(upper);
    model->appear();
    EXPECT_EQ(rowNames(*model->customRows()), (QStringList{"alpha", "beta"}));
}

TEST(ProfileListRows, SayWhatTrafficAProfileIsKeptToTheApplicationByItsName) {
    UiWorld world;
    writeFile(world.applicationsFolder + "/com.slack.Slack.desktop",
              "[Desktop Entry]\nType=Application\nName=Slack\nIcon=slack-icon\nExec=slack\n");
    ProfileListViewModel model(world.profiles, world.editorState, world.navigator,
                               &world.applicationNames);
    ThrottleProfile chat = world.addCustom("Chat");
    chat.application = "com.slack.Slack";
    world.profiles.saveProfile(chat);
    ThrottleProfile api = world.addCustom("API");
    std::string ignored;
    api.destinations = {*Destination::parse("api.example.com", ignored),
                        *Destination::parse(":443", ignored)};
    world.profiles.saveProfile(api);
    world.addCustom("Plain");

    const ProfileListRows& rows = *model.customRows();
    ASSERT_EQ(rowNames(rows), (QStringList{"API", "Chat", "Plain"}));
    const auto role = [&](int row, ProfileListRows::Role which) {
        return rows.data(rows.index(row), which).toString();
    };
    EXPECT_EQ(role(0, ProfileListRows::ScopeRole), "Only to api.example.com +1");
    EXPECT_EQ(role(0, ProfileListRows::ApplicationNameRole), QString());
    EXPECT_EQ(role(1, ProfileListRows::ScopeRole), "Only Slack");
    EXPECT_EQ(role(1, ProfileListRows::ApplicationNameRole), "Slack");
    EXPECT_EQ(role(1, ProfileListRows::ApplicationIconRole), "slack-icon");
    EXPECT_EQ(role(2, ProfileListRows::ScopeRole), QString());

    // Changed in place to another scope, the row says so.
    chat.application.clear();
    chat.destinations = {*Destination::parse("chat.example.com", ignored)};
    world.profiles.saveProfile(chat);
    EXPECT_EQ(role(1, ProfileListRows::ScopeRole), "Only to chat.example.com");
    EXPECT_EQ(role(1, ProfileListRows::ApplicationNameRole), QString());
}

TEST(ProfileStatChips, ShowOnlyTheConditionsThatThrottleInTheirOrder) {
    const auto chips = [](std::optional<Bandwidth> down, std::optional<Bandwidth> up,
                          std::optional<std::int64_t> latency, std::optional<double> loss,
                          std::optional<std::int64_t> dns) {
        QStringList texts;
        const ThrottleProfile profile(QUuid::createUuid(), "P", down, up, latency, loss, dns, false,
                                      true);
        for (const ProfileStatChip& chip : ProfileStatChips::of(profile)) {
            texts << chip.kind + u' ' + chip.symbol + chip.value;
        }
        return texts;
    };
    EXPECT_EQ(chips({}, {}, {}, {}, 3000), QStringList{"dnsDelay ◉3000ms"});
    EXPECT_EQ(chips({}, {}, 0, 2.5, 0), QStringList{"packetLoss △2%"});
    EXPECT_TRUE(chips({}, {}, {}, 0.0, {}).isEmpty());
    EXPECT_EQ(
        chips(Bandwidth{780, BandwidthUnit::kbps}, Bandwidth{2, BandwidthUnit::mbps}, 100, 1.0, 50),
        (QStringList{"download ↓780 Kbps", "upload ↑2 Mbps", "latency ◷100ms", "packetLoss △1%",
                     "dnsDelay ◉50ms"}));
}

TEST_F(ProfileListViewModelTest, DeletingAsksInTheWordsOfTheProfilesKindAndCancelKeepsIt) {
    const ThrottleProfile custom = world.addCustom("Slow Café");
    QSignalSpy changes(model.get(), &ProfileListViewModel::deleteConfirmationChanged);

    model->handleProfileAction(ProfileListViewModel::Action::Delete, idOf(preset("Edge")));
    EXPECT_TRUE(model->showingDeleteConfirmation());
    EXPECT_EQ(model->deleteConfirmationMessage(),
              "This is a built-in profile. Are you sure you want to delete 'Edge'? This cannot "
              "be undone.");
    model->cancelDelete();
    EXPECT_FALSE(model->showingDeleteConfirmation());
    EXPECT_EQ(model->deleteConfirmationMessage(), QString());
    EXPECT_TRUE(world.profiles.profile(preset("Edge").id()));

    model->handleProfileAction(ProfileListViewModel::Action::Delete, idOf(custom));
    EXPECT_EQ(model->deleteConfirmationMessage(),
              "Are you sure you want to delete 'Slow Café'? This action cannot be undone.");
    model->confirmDelete();
    EXPECT_FALSE(model->showingDeleteConfirmation());
    EXPECT_TRUE(rowNames(*model->customRows()).isEmpty());
    ProfileManager reread(world.defaults, world.home.path(), QString());
    reread.loadCustomProfiles();
    EXPECT_TRUE(reread.customProfiles().isEmpty());
    EXPECT_EQ(changes.count(), 4);
}

TEST_F(ProfileListViewModelTest, TheEditorGetsActionsThatOutliveTheWindow) {
    model->addNewProfile();
    EXPECT_EQ(world.navigator.opened, QStringList{WindowNavigator::profileEditor});
    EXPECT_FALSE(world.editorState.profile());
    EXPECT_EQ(world.editorState.mode(), ProfileEditorMode::create);
    EXPECT_FALSE(world.editorState.onDelete());
    ASSERT_TRUE(world.editorState.onSave());

    const ThrottleProfile custom = world.addCustom("Mine");
    model->handleProfileAction(ProfileListViewModel::Action::Edit, idOf(custom));
    EXPECT_EQ(world.editorState.mode(), ProfileEditorMode::edit);
    EXPECT_EQ(world.editorState.profile(), custom);
    ASSERT_TRUE(world.editorState.onDelete());

    // The list window may close while the editor stays open.
    model.reset();
    ThrottleProfile renamed = custom;
    renamed.name = "Mine, renamed";
    world.editorState.onSave()(renamed);
    EXPECT_EQ(world.profiles.profile(custom.id())->name, "Mine, renamed");
    world.editorState.onDelete()(renamed);
    EXPECT_FALSE(world.profiles.profile(custom.id()));

    world.profileList()->handleProfileAction(ProfileListViewModel::Action::Edit,
                                             idOf(preset("3G")));
    EXPECT_EQ(world.editorState.profile(), preset("3G"));
    EXPECT_FALSE(world.editorState.onDelete()) << "a built-in profile is deleted from the list";
}

TEST_F(ProfileListViewModelTest, DuplicateAddsAnEditableCopy) {
    model->handleProfileAction(ProfileListViewModel::Action::Duplicate, idOf(preset("3G")));
    EXPECT_EQ(rowNames(*model->customRows()), QStringList{"3G Copy"});
}

TEST_F(ProfileListViewModelTest, ExportAndImportEndInTheAlertWithTheCommandLinesWords) {
    QSignalSpy exportable(model.get(), &ProfileListViewModel::canExportChanged);
    EXPECT_FALSE(model->canExport());
    world.addCustom("beta");
    EXPECT_TRUE(model->canExport());
    EXPECT_EQ(exportable.size(), 1);

    const QString file = world.home.filePath("shared.json");
    model->exportProfiles(QUrl::fromLocalFile(file));
    EXPECT_EQ(model->exchangeAlertTitle(), "Profiles Exported");
    EXPECT_EQ(model->exchangeAlertMessage(), "Exported 1 profile to " + file);
    model->dismissExchangeAlert();
    EXPECT_FALSE(model->showingExchangeAlert());

    model->importProfiles(QUrl::fromLocalFile(file));
    EXPECT_EQ(model->exchangeAlertTitle(), "Profiles Imported");
    EXPECT_EQ(model->exchangeAlertMessage(), "Imported 1 profile: beta Copy");
    EXPECT_EQ(rowNames(*model->customRows()), (QStringList{"beta", "beta Copy"}));

    // Nothing is added from a file that is not one, nor from another machine.
    for (const QUrl& url : {QUrl::fromLocalFile(world.home.filePath("settings.json")),
                            QUrl("sftp://elsewhere/shared.json")}) {
        model->importProfiles(url);
        EXPECT_EQ(model->exchangeAlertTitle(), "Import Failed");
        EXPECT_TRUE(model->showingExchangeAlert());
    }
    EXPECT_EQ(model->exchangeAlertMessage(),
              "Choose a file on this computer, not sftp://elsewhere/shared.json");
    EXPECT_EQ(model->customRows()->rowCount(), 2);
}

} // namespace
