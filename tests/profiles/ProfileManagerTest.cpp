// SPDX-License-Identifier: MIT
#include "ProfileManager.h"

#include "ProfileExchange.h"
#include "ProfileFormData.h"
#include "ProfileJson.h"
#include "ProfileRecords.h"
#include "ProfileTestSupport.h"
#include "SharedFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <list>
#include <memory>

using testing::ElementsAre;
using Outcome = ProfileChange::Outcome;

namespace {

class ProfileManagerTest : public testing::Test {
protected:
    // A new store over the same files, as at the next start of the application.
    std::unique_ptr<ProfileManager> restart() {
        defaults = &settings.emplace_back(settingsFile());
        return loaded(*defaults);
    }

    // A second store over the same files, as another process has one.
    std::unique_ptr<ProfileManager> loaded(UserDefaults& settings) const {
        auto manager = std::make_unique<ProfileManager>(settings, home.filePath("data"), QString());
        manager->loadBuiltInProfiles();
        manager->loadCustomProfiles();
        return manager;
    }

    QString settingsFile() const { return home.filePath("settings.json"); }
    QDir folder() const { return QDir(home.filePath("data/Veltrane")); }
    QString customFile() const { return folder().filePath("CustomProfiles.json"); }
    QByteArray fileContents() const { return readFile(customFile()); }

    QTemporaryDir home;
    // Each store keeps its own settings object, as each process does.
    std::list<UserDefaults> settings;
    UserDefaults* defaults = nullptr;
};

} // namespace

TEST_F(ProfileManagerTest, customProfilesAreListedByComposedCodePointsButFiledInCreationOrder) {
    auto manager = restart();
    const QString composed = QStringLiteral("\u00e9");
    const QString decomposed = QStringLiteral("e\u0301");
    const QString fullwidth = QStringLiteral("\uFF01");
    const QString beyondBmp = QString::fromUcs4(U"\U0001F600");
    for (const QString& name : {beyondBmp, composed, QStringLiteral("f"), fullwidth,
                                QStringLiteral("A"), decomposed, QStringLiteral("a")}) {
        manager->createProfile(custom(name));
    }
    manager->toggleCustomProfileVisibility(manager->customProfiles().at(2));
    // The two spellings of "é" are one name, after "f", in creation order.
    EXPECT_THAT(namesOf(manager->allProfiles().mid(13)),
                ElementsAre("A", "a", "f", composed, decomposed, fullwidth, beyondBmp));
    EXPECT_THAT(namesOf(manager->menuCustomProfiles()),
                ElementsAre("A", "a", composed, decomposed, fullwidth, beyondBmp));
    EXPECT_THAT(namesOf(restart()->customProfiles()),
                ElementsAre(beyondBmp, composed, "f", fullwidth, "A", decomposed, "a"));
}

TEST_F(ProfileManagerTest, savingReplacesInPlaceAndDeletingIsWritten) {
    auto manager = restart();
    const ThrottleProfile a = custom("A");
    ThrottleProfile b = custom("B");
    for (const ThrottleProfile& profile : {a, b, custom("C")}) {
        manager->createProfile(profile);
    }
    b.name = "B2";
    b.showInMenu = false;
    EXPECT_EQ(manager->saveProfile(b).profile, b);
    EXPECT_TRUE(manager->deleteProfile(a).ok());
    EXPECT_THAT(namesOf(restart()->customProfiles()), ElementsAre("B2", "C"));
    EXPECT_FALSE(restart()->profile(b.id())->showInMenu);
}

TEST_F(ProfileManagerTest, duplicatingMakesAnEditableCopyEveryTime) {
    auto manager = restart();
    const ThrottleProfile threeG = preset("3G");
    const ThrottleProfile first = *manager->duplicateProfile(threeG).profile;
    const ThrottleProfile second = *manager->duplicateProfile(threeG).profile;
    EXPECT_NE(first.id(), second.id());
    EXPECT_NE(first.id(), threeG.id());
    ThrottleProfile expected = ProfileFormData::from(threeG).to(first.id(), false);
    expected.name = "3G Copy";
    expected.conditions.packetLossPercent = 0;
    EXPECT_EQ(first, expected);
    EXPECT_THAT(namesOf(restart()->customProfiles()), ElementsAre("3G Copy", "3G Copy"));
}

TEST_F(ProfileManagerTest, refusedChangesWriteNothing) {
    auto manager = restart();
    ThrottleProfile edited = preset("WiFi");
    edited.conditions.latency = 99;
    EXPECT_EQ(manager->saveProfile(edited).outcome, Outcome::refused);
    EXPECT_EQ(manager->toggleCustomProfileVisibility(edited).outcome, Outcome::refused);
    EXPECT_FALSE(QFile::exists(customFile()));

    const ThrottleProfile mine = custom("Mine");
    manager->createProfile(mine);
    const QByteArray before = fileContents();
    ThrottleProfile sameId = mine;
    sameId.name = "Other";
    const ProfileChange taken = manager->createProfile(sameId);
    EXPECT_EQ(taken.outcome, Outcome::refused);
    EXPECT_FALSE(taken.message.isEmpty());
    EXPECT_EQ(manager->toggleMenuVisibility(mine).outcome, Outcome::refused);
    EXPECT_EQ(fileContents(), before);
    EXPECT_THAT(namesOf(manager->customProfiles()), ElementsAre("Mine"));
    EXPECT_EQ(manager->profile(preset("WiFi").id())->conditions.latency, 1);
}

TEST_F(ProfileManagerTest, anotherWritersChangesAreNeitherUndoneNorMissed) {
    auto mine = restart();
    auto other = restart();
    QSignalSpy customChanged(mine.get(), &ProfileManager::customProfilesChanged);
    QSignalSpy builtInChanged(mine.get(), &ProfileManager::builtInProfilesChanged);

    // Each store changes what it has not seen the other change.
    mine->createProfile(custom("Mine"));
    other->createProfile(custom("Other"));
    mine->setShownInMenu(preset("Edge"), false);
    other->setShownInMenu(preset("LTE"), false);
    other->deleteProfile(preset("DSL"));

    const auto restarted = restart();
    EXPECT_THAT(namesOf(restarted->customProfiles()), ElementsAre("Mine", "Other"));
    EXPECT_THAT(namesOf(restarted->menuBuiltInProfiles()),
                ElementsAre("100% Loss", "3G", "3G (Lossy)", "Commuter Train", "Elevator",
                            "Flaky Wi-Fi", "High Latency DNS", "Very Bad Network", "WiFi",
                            "WiFi (Lossy)"));
    // The first store learns of the others' changes from the files.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return mine->customProfiles().size() == 2 && mine->builtInProfiles().size() == 12 &&
               !mine->profile(preset("LTE").id())->showInMenu;
    }));
    EXPECT_GE(customChanged.count(), 2);
    EXPECT_GE(builtInChanged.count(), 2);
}

TEST_F(ProfileManagerTest, anEditedOrDuplicatedProfileKeepsItsConditionsAndTheKeysOfANewerBuild) {
    ThrottleProfile rich = custom("Newer", 2.0);
    rich.conditions.latency = 40;
    rich.conditions.jitter = 5;
    rich.conditions.packetLossCorrelationPercent = 25;
    rich.conditions.reorderPercent = 1;
    rich.conditions.duplicatePercent = 0.5;
    QJsonObject newer = ProfileJson::encode(rich);
    const QJsonObject model{{"kind", "gilbertElliott"}, {"p", 0.5}};
    newer.insert("lossModel", model);
    newer.insert("mtu", 1280);
    writeFile(customFile(), QJsonDocument(QJsonArray{newer}).toJson());
    auto manager = restart();
    const ThrottleProfile loaded = manager->customProfiles().constFirst();

    // Edited the way the editor and veltranectl edit, then duplicated.
    ProfileFormData form = ProfileFormData::from(loaded);
    form.name = QStringLiteral("Renamed");
    ASSERT_TRUE(manager->saveProfile(form.to(loaded.id(), false)).ok());
    ASSERT_TRUE(manager->duplicateProfile(*manager->profile(loaded.id())).ok());

    const QJsonArray records = QJsonDocument::fromJson(fileContents()).array();
    ASSERT_EQ(records.size(), 2);
    for (const QJsonValue record : records) {
        EXPECT_EQ(record["lossModel"].toObject(), model);
        EXPECT_EQ(record["mtu"].toInteger(), 1280);
        // And every condition this build knows, copied whole.
        EXPECT_EQ(ProfileJson::decode(record)->conditions, rich.conditions);
    }
    EXPECT_EQ(records[0]["name"].toString(), "Renamed");
}

TEST_F(ProfileManagerTest, noChangeMakesTheFileLargerThanTheStoreReadsAgain) {
    // One profile whose keys of a newer build fill the file to just under
    // the bound that reading keeps to.
    ThrottleProfile large = custom("Large");
    large.otherKeys.insert("notes", QString(100, u'x'));
    const qsizetype overhead = ProfileRecords::encode({large}).size() - 100;
    large.otherKeys.insert("notes", QString(SharedFile::kMaxSize - overhead - 40, u'x'));
    writeFile(customFile(), ProfileRecords::encode({large}));
    ASSERT_EQ(fileContents().size(), SharedFile::kMaxSize - 40);
    auto manager = restart();
    ASSERT_EQ(manager->customProfiles().size(), 1);
    const QByteArray before = fileContents();

    const QString tooLarge =
        QStringLiteral(" would make the custom profiles file larger than 16 MiB");
    const ProfileChange created = manager->createProfile(custom("New"));
    EXPECT_EQ(created.outcome, Outcome::refused);
    EXPECT_EQ(created.message, "The new profile" + tooLarge);
    EXPECT_EQ(manager->duplicateProfile(large).message, "The new profile" + tooLarge);
    ThrottleProfile renamed = large;
    renamed.name = QString(100, u'L');
    EXPECT_EQ(manager->saveProfile(renamed).message, "The change" + tooLarge);
    const QString exported = home.filePath("two.json");
    ASSERT_TRUE(ProfileExchange::exportFile({custom("A"), custom("B")}, exported).ok());
    const ProfileExchange::Outcome imported =
        ProfileExchange::importFile(*manager, exported, ProfileManager::NameClash::rename);
    EXPECT_EQ(imported.status, ProfileExchange::Outcome::Status::refused);
    EXPECT_EQ(imported.message, "Nothing imported: the profiles" + tooLarge);

    // Nothing written, nothing kept to be written later; what shrinks it goes.
    EXPECT_EQ(fileContents(), before);
    EXPECT_EQ(manager->customProfiles(), QList<ThrottleProfile>{large});
    EXPECT_EQ(manager->deleteProfile(large).outcome, Outcome::done);
    EXPECT_TRUE(manager->customProfiles().isEmpty());
}
