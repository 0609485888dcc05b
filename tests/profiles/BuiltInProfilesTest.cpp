// SPDX-License-Identifier: MIT
#include "BuiltInProfiles.h"

#include "ProfileTestSupport.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <list>

using testing::Contains;
using testing::ElementsAre;
using testing::Not;

namespace {

class BuiltInProfilesTest : public testing::Test {
protected:
    // New settings and profiles over the same file, as at the next start.
    BuiltInProfiles& restart() {
        defaults = &settings.emplace_back(home.filePath("settings.json"));
        return builtIns.emplace_back(*defaults, QString());
    }

    static bool shownInMenu(const BuiltInProfiles& builtIns, const ThrottleProfile& profile) {
        for (const ThrottleProfile& current : builtIns.current()) {
            if (current.id() == profile.id()) {
                return current.showInMenu;
            }
        }
        ADD_FAILURE() << "no built-in profile " << profile.name.toStdString();
        return false;
    }

    QTemporaryDir home;
    std::list<UserDefaults> settings;
    std::list<BuiltInProfiles> builtIns;
    UserDefaults* defaults = nullptr;
};

} // namespace

TEST_F(BuiltInProfilesTest, aDeletedProfileStaysDeletedAndIsRecordedOnceUntilRestored) {
    const ThrottleProfile edge = preset("Edge");
    BuiltInProfiles* profiles = &restart();
    EXPECT_TRUE(profiles->remove(edge).ok());
    EXPECT_TRUE(profiles->remove(edge).ok());
    EXPECT_EQ(defaults->stringListValue(SettingsKeys::deletedBuiltInProfiles),
              QStringList{"00000000-0000-0000-0000-000000000005"});
    EXPECT_EQ(defaults->value(SettingsKeys::profileVisibilityOverrides).toMap().size(), 12);

    profiles = &restart();
    EXPECT_THAT(namesOf(profiles->current()), Not(Contains("Edge")));
    EXPECT_THAT(namesOf(profiles->deleted()), ElementsAre("Edge"));
    EXPECT_TRUE(profiles->restore({edge.id()}).ok());
    EXPECT_TRUE(shownInMenu(restart(), edge));

    // Only a list of texts lists deleted profiles: a bare text is not one.
    defaults->setValue(SettingsKeys::deletedBuiltInProfiles, edge.idText(edge.id()));
    EXPECT_EQ(restart().current().size(), 13);
}

TEST_F(BuiltInProfilesTest, hidingOneWritesTheWholeVisibilityMap) {
    const ThrottleProfile lte = preset("LTE");
    const ProfileChange hidden = restart().change([&lte](QList<ThrottleProfile>& profiles) {
        for (ThrottleProfile& profile : profiles) {
            profile.showInMenu = profile.id() != lte.id();
        }
        return ProfileChange::done();
    });
    ASSERT_TRUE(hidden.ok());
    const QVariantMap overrides = defaults->value(SettingsKeys::profileVisibilityOverrides).toMap();
    EXPECT_EQ(overrides.size(), 13);
    EXPECT_EQ(overrides.value("00000000-0000-0000-0000-000000000007"), QVariant(false));
    EXPECT_EQ(overrides.value("00000000-0000-0000-0000-000000000002"), QVariant(true));
    EXPECT_FALSE(shownInMenu(restart(), lte));

    // A map with any value that is not a Boolean was not written here: ignored whole.
    QVariantMap foreign = overrides;
    foreign.insert("00000000-0000-0000-0000-000000000001", QStringLiteral("false"));
    defaults->setValue(SettingsKeys::profileVisibilityOverrides, foreign);
    EXPECT_TRUE(shownInMenu(restart(), lte));
}

TEST_F(BuiltInProfilesTest, aBuiltInProfileAppliesToAllTrafficWhateverItsTableSays) {
    const QString table = home.filePath("table.json");
    writeFile(table, R"([{"id":"00000000-0000-0000-0000-000000000002","name":"3G",
        "isBuiltIn":true,"showInMenu":true,"latency":100,"destinations":["api.example.com"]}])");
    UserDefaults defaults(home.filePath("settings.json"));
    const BuiltInProfiles fromTable(defaults, table);
    ASSERT_EQ(fromTable.current().size(), 1);
    EXPECT_EQ(fromTable.current().first().conditions.latency, 100);
    EXPECT_TRUE(fromTable.current().first().destinations.empty());
}
