// SPDX-License-Identifier: MIT
// The stores' files under root with a user's environment, and files that
// are not what they should be: links, pipes, and files far too large.
#include "FolderOwnership.h"
#include "ProfileJson.h"
#include "ProfileManager.h"
#include "ProfileTestSupport.h"
#include "SettingsKeys.h"
#include "SharedFile.h"
#include "UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using testing::HasSubstr;

namespace {

constexpr uid_t kSomeoneElse = 4242;

// A check as root of `path`, which belongs to someone else: for real when
// the tests run as root (chowned to another uid), otherwise through the
// seam, as root judging the test user's own path.
std::optional<QString> rootRefusal(const QString& path, const QString& owned) {
    if (::geteuid() == 0) {
        EXPECT_EQ(::lchown(QFile::encodeName(owned).constData(), kSomeoneElse, kSomeoneElse), 0);
        return FolderOwnership().refusal(path);
    }
    return FolderOwnership(0).refusal(path);
}

QString ownerText() {
    return QStringLiteral("(uid %1)").arg(::geteuid() == 0 ? kSomeoneElse : ::geteuid());
}

} // namespace

TEST(FolderOwnershipTest, rootWritesOnlyInFoldersRootOwns) {
    const QTemporaryDir home;
    const QString folder = home.filePath("data");
    ASSERT_TRUE(QDir().mkpath(folder));
    const std::optional<QString> refused = rootRefusal(folder, folder);
    ASSERT_TRUE(refused);
    EXPECT_THAT(refused->toStdString(), HasSubstr("'" + folder.toStdString() + "'"));
    EXPECT_THAT(refused->toStdString(), HasSubstr(ownerText().toStdString()));
    // A folder still to be made is judged by the one it would be made in.
    EXPECT_EQ(rootRefusal(folder + "/Veltrane/deeper", folder), refused);

    // A link is judged by its own owner, not by the root-owned folder it leads to.
    const QString link = home.filePath("link");
    ASSERT_TRUE(QFile::link("/usr", link));
    EXPECT_TRUE(rootRefusal(link, link));

    EXPECT_FALSE(FolderOwnership(0).refusal("/usr/share"));
    EXPECT_FALSE(FolderOwnership(0).refusal("/veltrane-missing/Veltrane"));
    // Only root is held back: anyone else can only write where they may.
    EXPECT_FALSE(FolderOwnership(kSomeoneElse + 1).refusal(folder));
}

TEST(SharedFileTest, noFileIsCreatedOrWrittenThroughALinkNorWaitedOnAsAPipe) {
    const QTemporaryDir home;
    const QString victim = home.filePath("victim");
    writeFile(victim, "untouched");
    ASSERT_EQ(::chmod(QFile::encodeName(victim).constData(), 0640), 0);
    const QString file = home.filePath("settings.json");
    SharedFile shared(file);
    QString error;
    const auto write = [&] {
        return shared.update([](auto&) { return QByteArray("{}"); }, &error);
    };

    // The link itself is replaced by the new file; what it led to stays.
    ASSERT_TRUE(QFile::link(victim, file));
    EXPECT_EQ(write(), SharedFile::Update::written);
    EXPECT_EQ(readFile(victim), "untouched");
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(victim).constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
    EXPECT_FALSE(QFileInfo(file).isSymLink());

    // A lock file that is a link, even one to nowhere, is not created through.
    const QString planted = home.filePath("planted");
    ASSERT_TRUE(QFile::remove(file + ".lock") && QFile::link(planted, file + ".lock"));
    EXPECT_EQ(write(), SharedFile::Update::failed);
    EXPECT_THAT(error.toStdString(), HasSubstr("it is a link"));
    EXPECT_FALSE(QFileInfo::exists(planted));

    // A pipe under either name fails at once instead of waiting for a writer.
    for (const QString& name : {file + ".lock", file}) {
        ASSERT_TRUE(QFile::remove(name));
        ASSERT_EQ(::mkfifo(QFile::encodeName(name).constData(), 0600), 0);
    }
    EXPECT_EQ(write(), SharedFile::Update::failed);
    EXPECT_FALSE(shared.read().error.isEmpty());
}

TEST(SharedFileTest, aFileOverSixteenMebibytesIsNeitherParsedNorLost) {
    const QTemporaryDir home;
    const QString settingsFile = home.filePath("settings.json");
    const QString customFile = home.filePath("data/Veltrane/CustomProfiles.json");
    // Valid files, padded with white space to the limit and one byte past it.
    const QByteArray record = QJsonDocument(QJsonArray{ProfileJson::encode(custom("Padded"))})
                                  .toJson(QJsonDocument::Compact);
    const QByteArray atLimit = record + QByteArray(SharedFile::kMaxSize - record.size(), ' ');
    writeFile(customFile, atLimit);
    writeFile(settingsFile, "{\"autoDisableMinutes\": 5}" + QByteArray(SharedFile::kMaxSize, ' '));
    {
        UserDefaults settings(settingsFile);
        EXPECT_EQ(settings.integerValue(SettingsKeys::autoDisableMinutes), 30);
        ProfileManager profiles(settings, home.filePath("data"), QString());
        profiles.loadCustomProfiles();
        EXPECT_EQ(profiles.customProfiles().size(), 1);
    }

    writeFile(customFile, atLimit + ' ');
    testing::internal::CaptureStdout();
    UserDefaults settings(settingsFile);
    ProfileManager profiles(settings, home.filePath("data"), QString());
    profiles.loadCustomProfiles();
    const std::string diagnostics = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(profiles.customProfiles().isEmpty());
    for (const QString& file : {settingsFile, customFile}) {
        EXPECT_THAT(diagnostics, HasSubstr(file.toStdString() + ": larger than 16 MiB, not read"));
    }

    // The first write keeps each aside whole, as any unreadable file.
    settings.setValue(SettingsKeys::autoDisableEnabled, true);
    EXPECT_TRUE(profiles.createProfile(custom("New")).ok());
    for (const QString& file : {settingsFile, customFile}) {
        const QFileInfoList kept = QFileInfo(file).dir().entryInfoList(
            {QFileInfo(file).fileName() + ".unreadable-*"}, QDir::Files);
        ASSERT_EQ(kept.size(), 1) << file.toStdString();
        EXPECT_GT(kept.first().size(), SharedFile::kMaxSize);
        EXPECT_LT(QFileInfo(file).size(), 1000);
    }
}
