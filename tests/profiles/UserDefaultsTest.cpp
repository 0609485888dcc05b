// SPDX-License-Identifier: MIT
#include "UserDefaults.h"

#include "ProfileTestSupport.h"
#include "SettingsKeys.h"
#include "StatePersistenceService.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

const char* const childFileVariable = "VELTRANE_TEST_SETTINGS_FILE";

// Each key with the value the child process writes.
QVariantMap writtenValues() {
    return {{"autoDisableOnQuit", false},
            {"autoDisableMinutes", 45},
            {"defaultProfileID", "true"},
            {"deletedBuiltInProfiles", QStringList{"00000000-0000-0000-0000-000000000005"}},
            {"profileVisibilityOverrides",
             QVariantMap{{"00000000-0000-0000-0000-000000000007", false}}},
            {"emptyList", QStringList{}}};
}

} // namespace

TEST(UserDefaultsTest, anUnreadableSettingsFileIsKeptAsideAndLaterWritesSucceed) {
    const QTemporaryDir home;
    const QString file = home.filePath("settings.json");
    const QByteArray garbage = "{\"autoDisableMinutes\": 45, oops";
    writeFile(file, garbage);

    testing::internal::CaptureStdout();
    {
        UserDefaults defaults(file);
        EXPECT_EQ(defaults.integerValue(SettingsKeys::autoDisableMinutes), 30);
        defaults.setValue(SettingsKeys::autoDisableEnabled, true);
        EXPECT_TRUE(defaults.sync());
    }
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                testing::HasSubstr("Kept a copy of the unreadable settings file at "));
    EXPECT_TRUE(UserDefaults(file).boolValue(SettingsKeys::autoDisableEnabled));
    const QStringList kept = QDir(home.path()).entryList({"settings.json.unreadable-*"});
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(readFile(home.filePath(kept.first())), garbage);
}

// Runs only inside the process that the next test starts.
TEST(UserDefaultsChild, writesValues) {
    if (!qEnvironmentVariableIsSet(childFileVariable)) {
        GTEST_SKIP() << "only run as the writer of valuesKeepTheirTypesInANewProcess";
    }
    UserDefaults defaults(qEnvironmentVariable(childFileVariable));
    const QVariantMap values = writtenValues();
    for (auto it = values.begin(); it != values.end(); ++it) {
        defaults.setValue(it.key(), it.value());
    }
    ASSERT_TRUE(defaults.sync());
}

TEST(UserDefaultsTest, valuesKeepTheirTypesInANewProcess) {
    const QTemporaryDir home;
    const QString file = home.filePath("Veltrane/Veltrane.json");
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(childFileVariable, file);
    child.setProcessEnvironment(environment);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=UserDefaultsChild.writesValues"});
    ASSERT_TRUE(child.waitForFinished(30000));
    ASSERT_EQ(child.exitCode(), 0) << child.readAll().toStdString();

    const UserDefaults defaults(file);
    const QVariantMap expected = writtenValues();
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        const QVariant read = defaults.value(it.key());
        EXPECT_EQ(read.typeId(), it.value().typeId()) << it.key().toStdString();
        EXPECT_EQ(read, it.value()) << it.key().toStdString();
    }
    const QVariantMap overrides = defaults.value(SettingsKeys::profileVisibilityOverrides).toMap();
    EXPECT_EQ(overrides.first().typeId(), QMetaType::Bool);
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
