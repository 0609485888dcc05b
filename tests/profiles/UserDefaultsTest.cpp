// SPDX-License-Identifier: MIT
#include "UserDefaults.h"

#include "FileLock.h"
#include "ProfileTestSupport.h"
#include "SettingsKeys.h"
#include "StatePersistenceService.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <thread>

using testing::ElementsAre;

TEST(UserDefaultsTest, everyKeyThatWasNeverWrittenReadsAsItsDefault) {
    const QTemporaryDir home;
    const UserDefaults defaults(home.filePath("settings.json"));
    const std::pair<QLatin1StringView, QVariant> table[] = {
        {SettingsKeys::hasCompletedOnboarding, false},
        {SettingsKeys::autoDisableEnabled, false},
        {SettingsKeys::autoDisableMinutes, 30},
        {SettingsKeys::autoDisableOnQuit, true},
        {SettingsKeys::showNotifications, true},
        {SettingsKeys::launchAtLogin, false},
        {SettingsKeys::defaultProfileID, QString()},
        {SettingsKeys::deletedBuiltInProfiles, QStringList()},
        {SettingsKeys::selectedProfileID, QVariant()},
        {SettingsKeys::wasEnabledOnQuit, QVariant()},
        {SettingsKeys::profileVisibilityOverrides, QVariant()},
    };
    for (const auto& [key, expected] : table) {
        EXPECT_EQ(defaults.value(key).typeId(), expected.typeId()) << key.data();
        EXPECT_EQ(defaults.value(key), expected) << key.data();
        EXPECT_FALSE(defaults.contains(key));
    }
}

TEST(UserDefaultsTest, valuesKeepTheirTypesInTheFile) {
    const QTemporaryDir home;
    const QString file = home.filePath("Veltrane/Veltrane.json");
    const QVariantMap written{
        {"autoDisableOnQuit", false},
        {"autoDisableMinutes", 45},
        {"defaultProfileID", "true"},
        {"deletedBuiltInProfiles", QStringList{"00000000-0000-0000-0000-000000000005"}},
        {"profileVisibilityOverrides",
         QVariantMap{{"00000000-0000-0000-0000-000000000007", false}}},
        {"emptyList", QStringList{}}};
    {
        UserDefaults writer(file);
        for (auto it = written.begin(); it != written.end(); ++it) {
            writer.setValue(it.key(), it.value());
        }
        ASSERT_TRUE(writer.sync());
    }
    const UserDefaults reader(file);
    for (auto it = written.begin(); it != written.end(); ++it) {
        EXPECT_EQ(reader.value(it.key()).typeId(), it.value().typeId()) << it.key().toStdString();
        EXPECT_EQ(reader.value(it.key()), it.value()) << it.key().toStdString();
    }
}

TEST(UserDefaultsTest, anUnreadableFileIsLeftAloneUntilTheFirstWriteKeepsACopy) {
    const QTemporaryDir home;
    const QString file = home.filePath("settings.json");
    const QByteArray garbage = "{\"autoDisableMinutes\": 45, oops";
    writeFile(file, garbage);

    testing::internal::CaptureStdout();
    UserDefaults defaults(file);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                testing::HasSubstr("Cannot read the settings file "));
    EXPECT_EQ(defaults.integerValue(SettingsKeys::autoDisableMinutes), 30);
    EXPECT_EQ(readFile(file), garbage);
    defaults.setValue(SettingsKeys::autoDisableEnabled, true);
    EXPECT_TRUE(defaults.sync());

    EXPECT_TRUE(UserDefaults(file).boolValue(SettingsKeys::autoDisableEnabled));
    const QStringList kept = QDir(home.path()).entryList({"settings.json.unreadable-*"});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readFile(home.filePath(kept.first())), garbage);
}

TEST(UserDefaultsTest, anotherWritersValuesAreReadAgainAndAnnouncedNeverUndone) {
    const QTemporaryDir home;
    const QString file = home.filePath("settings.json");
    UserDefaults mine(file);
    UserDefaults other(file);
    QSignalSpy reloaded(&mine, &UserDefaults::reloaded);

    other.setValue(SettingsKeys::autoDisableMinutes, 45);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !reloaded.isEmpty(); }));
    EXPECT_EQ(mine.integerValue(SettingsKeys::autoDisableMinutes), 45);
    EXPECT_EQ(reloaded.takeFirst().at(0).toStringList(), QStringList{"autoDisableMinutes"});

    // A write that comes before the watch has seen the other's announces it too.
    other.setValue(SettingsKeys::showNotifications, false);
    mine.setValue(SettingsKeys::launchAtLogin, true);
    EXPECT_FALSE(UserDefaults(file).boolValue(SettingsKeys::showNotifications));
    ASSERT_FALSE(reloaded.isEmpty());
    EXPECT_EQ(reloaded.takeFirst().at(0).toStringList(), QStringList{"showNotifications"});
}

TEST(UserDefaultsTest, aWriteDeadlineBoundsTheWaitForALockAnotherProgramHolds) {
    using namespace std::chrono_literals;
    const QTemporaryDir home;
    const QString file = home.filePath("settings.json");
    UserDefaults defaults(file);
    // A lock of its own open file excludes this store's as another process's would.
    const auto holdLockFor = [&file](std::chrono::milliseconds held) {
        auto lock = std::make_shared<FileLock>(file + ".lock");
        EXPECT_TRUE(lock->isLocked());
        return std::thread([lock = std::move(lock), held] { std::this_thread::sleep_for(held); });
    };

    // Past the deadline a held lock fails the write at once; waiting would
    // have seen the lock released and written.
    defaults.setWriteDeadline(QDeadlineTimer(0));
    std::thread holder = holdLockFor(1s);
    defaults.setValue(SettingsKeys::autoDisableMinutes, 45);
    holder.join();
    EXPECT_FALSE(defaults.sync());
    EXPECT_EQ(defaults.integerValue(SettingsKeys::autoDisableMinutes), 45);
    EXPECT_FALSE(UserDefaults(file).contains(SettingsKeys::autoDisableMinutes));

    // A free lock is still taken past the deadline.
    defaults.setValue(SettingsKeys::showNotifications, false);
    EXPECT_TRUE(defaults.sync());
    EXPECT_FALSE(UserDefaults(file).boolValue(SettingsKeys::showNotifications));

    // Before the deadline the write waits for the lock.
    defaults.setWriteDeadline(QDeadlineTimer(9s));
    holder = holdLockFor(200ms);
    defaults.setValue(SettingsKeys::launchAtLogin, true);
    holder.join();
    EXPECT_TRUE(defaults.sync());
    EXPECT_TRUE(UserDefaults(file).boolValue(SettingsKeys::launchAtLogin));
}

TEST(StatePersistenceServiceTest, theSelectionIsStoredAsUpperCaseTextAndRemovedByNoId) {
    const QTemporaryDir home;
    UserDefaults defaults(home.filePath("settings.json"));
    StatePersistenceService service(defaults);
    service.saveSelectedProfileID(QUuid::fromString(u"00000000-0000-0000-0000-00000000000a"));
    // An absent selection at quit leaves the stored one alone.
    service.saveQuitState(true, std::nullopt);
    EXPECT_EQ(service.selectedProfileID(), "00000000-0000-0000-0000-00000000000A");
    EXPECT_EQ(defaults.value(SettingsKeys::wasEnabledOnQuit), QVariant(true));
    service.saveSelectedProfileID(std::nullopt);
    EXPECT_FALSE(defaults.contains(SettingsKeys::selectedProfileID));
}
