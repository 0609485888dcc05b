// SPDX-License-Identifier: MIT
#include "CustomProfilesFile.h"

#include "ProfileJson.h"
#include "ProfileTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

class CustomProfilesFileTest : public testing::Test {
protected:
    // Adds `profile` through a file of its own, as each change of the store does.
    ProfileChange add(const ThrottleProfile& profile) {
        CustomProfilesFile file(path());
        return file.change(
            [&profile](QList<ThrottleProfile>& stored) {
                stored.append(profile);
                return ProfileChange::done(profile);
            },
            inMemory);
    }

    QList<ThrottleProfile> read() const { return CustomProfilesFile(path()).read(); }
    QString path() const { return folder().filePath("CustomProfiles.json"); }
    QDir folder() const { return QDir(home.path()); }

    QTemporaryDir home;
    // The list as the store knows it.
    QList<ThrottleProfile> inMemory;
};

} // namespace

TEST_F(CustomProfilesFileTest, holdsSortedReadableRecordsThatReadBackEqual) {
    ThrottleProfile full = custom("Full", 2.5);
    full.conditions.uploadBandwidth = Bandwidth{256, BandwidthUnit::kbps};
    full.conditions.dnsDelay = 0;
    add(full);
    add(custom("Plain", std::nullopt));
    const QString text = QString::fromUtf8(readFile(path()));
    const QStringList order{"dnsDelay",          "downloadBandwidth", "id",
                            "isBuiltIn",         "latency",           "name",
                            "packetLossPercent", "showInMenu",        "uploadBandwidth"};
    qsizetype position = 0;
    for (const QString& key : order) {
        const qsizetype next = text.indexOf(u'"' + key + u'"', position);
        EXPECT_GT(next, position) << key.toStdString();
        position = next;
    }
    EXPECT_LT(text.indexOf("\"unit\""), text.indexOf("\"value\""));
    EXPECT_THAT(text.toStdString(), HasSubstr("\n        \"name\": \"Full\""));
    EXPECT_THAT(text.toStdString(), testing::Not(HasSubstr("null")));
    EXPECT_EQ(read(), inMemory);
    EXPECT_THAT(namesOf(inMemory), ElementsAre("Full", "Plain"));
}

TEST_F(CustomProfilesFileTest, aRecordClaimingToBeBuiltInReadsAsAnEditableProfile) {
    ThrottleProfile claimed(QUuid::createUuid(), "Claimed", std::nullopt, std::nullopt, 7,
                            std::nullopt, 3, true, false);
    claimed.conditions.packetLossPercent = 150;
    ThrottleProfile unclamped = custom("Unclamped");
    unclamped.conditions.packetLossPercent = 150;
    writeFile(path(), QJsonDocument(
                          QJsonArray{ProfileJson::encode(claimed), ProfileJson::encode(unclamped)})
                          .toJson());
    // A record claiming to be built in is rebuilt as a new editable profile,
    // clamping included; the others load exactly as written.
    const ThrottleProfile editable(claimed.id(), "Claimed", std::nullopt, std::nullopt, 7, 100.0, 3,
                                   false, true);
    EXPECT_THAT(read(), ElementsAre(editable, unclamped));
}

TEST_F(CustomProfilesFileTest, anUnreadableFileReadsEmptyAndIsKeptBeforeTheFirstWrite) {
    QJsonObject broken = ProfileJson::encode(custom("Mine"));
    broken.remove("showInMenu");
    const QByteArray original =
        QJsonDocument(QJsonArray{ProfileJson::encode(custom("Other")), broken}).toJson();
    writeFile(path(), original);
    testing::internal::CaptureStdout();
    EXPECT_TRUE(read().isEmpty());
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("Cannot read the custom profiles file " + path().toStdString() +
                          ": record 2 is not a profile"));
    EXPECT_EQ(readFile(path()), original);

    testing::internal::CaptureStdout();
    EXPECT_TRUE(add(custom("New")).ok());
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("Kept a copy of the unreadable custom profiles file at "));

    const QStringList copies = folder().entryList({"CustomProfiles.json.unreadable-*"});
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(readFile(folder().filePath(copies.first())), original);
    EXPECT_THAT(namesOf(read()), ElementsAre("New"));

    // Kept once: later writes replace the now readable file as usual.
    add(custom("Newer"));
    EXPECT_EQ(folder().entryList({"CustomProfiles.json.unreadable-*"}).size(), 1);
}

TEST_F(CustomProfilesFileTest, aChangeThatCannotBeWrittenIsKeptInMemoryAndSaysWhy) {
    add(custom("Mine"));
    // A folder where the file belongs: nothing can be written.
    ASSERT_TRUE(QFile::remove(path()));
    ASSERT_TRUE(QDir().mkdir(path()));
    testing::internal::CaptureStdout();
    const ProfileChange unsaved = add(custom("Unsaved"));
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("Failed to persist custom profiles: "));
    EXPECT_EQ(unsaved.outcome, ProfileChange::Outcome::failed);
    EXPECT_FALSE(unsaved.message.isEmpty());
    EXPECT_EQ(unsaved.profile->name, "Unsaved");
    EXPECT_THAT(namesOf(inMemory), ElementsAre("Mine", "Unsaved"));
}
