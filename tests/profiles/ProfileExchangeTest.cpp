// SPDX-License-Identifier: MIT
#include "ProfileExchange.h"

#include "ProfileJson.h"
#include "ProfileTestSupport.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

using testing::ElementsAre;
using testing::HasSubstr;
using Status = ProfileExchange::Outcome::Status;

namespace {

// A machine of its own: settings and a store in a home folder.
struct Machine {
    QTemporaryDir home;
    UserDefaults settings{home.filePath("settings.json")};
    ProfileManager store{settings, home.filePath("data"), QString()};

    Machine() {
        store.loadBuiltInProfiles();
        store.loadCustomProfiles();
    }
    QByteArray storeFile() const {
        return readFile(home.filePath("data/Veltrane/CustomProfiles.json"));
    }
};

ThrottleProfile rich(const QString& name) {
    ThrottleProfile profile = custom(name);
    profile.conditions.latency = 100;
    profile.conditions.jitter = 20;
    profile.conditions.packetLossCorrelationPercent = 25;
    profile.conditions.reorderPercent = 5;
    profile.conditions.duplicatePercent = 1.5;
    std::string ignored;
    profile.destinations = {*Destination::parse("api.example.com", ignored),
                            *Destination::parse(":5432", ignored)};
    profile.otherKeys.insert("aNewerBuildsKey", QJsonObject{{"x", 1}});
    return profile;
}

ThrottleProfile named(const ProfileManager& store, const QString& name) {
    for (const ThrottleProfile& profile : store.customProfiles()) {
        if (profile.name == name) {
            return profile;
        }
    }
    ADD_FAILURE() << "no profile " << name.toStdString();
    return custom(name);
}

} // namespace

TEST(ProfileExchangeTest, profilesArriveWhole_withNewIdsAndFreeNames_orNotAtAll) {
    Machine mine;
    ThrottleProfile hidden = custom("Plain");
    hidden.showInMenu = false;
    ASSERT_TRUE(mine.store.createProfile(rich("Jitter")).ok());
    ASSERT_TRUE(mine.store.createProfile(hidden).ok());
    const QString file = mine.home.filePath("shared.json");
    const ProfileExchange::Outcome exported =
        ProfileExchange::exportFile(mine.store.customProfiles(), file);
    EXPECT_EQ(exported.message, "Exported 2 profiles to " + file);

    // A colleague who has both names already, and the first copy's name.
    Machine theirs;
    for (const char* name : {"Jitter", "Jitter Copy", "plain"}) {
        ASSERT_TRUE(theirs.store.createProfile(custom(name)).ok());
    }
    const QByteArray before = theirs.storeFile();
    const ProfileExchange::Outcome refused =
        ProfileExchange::importFile(theirs.store, file, ProfileManager::NameClash::refuse);
    EXPECT_EQ(refused.status, Status::refused);
    EXPECT_EQ(refused.message, "Nothing imported: profiles named 'Jitter', 'Plain' already exist");
    EXPECT_EQ(theirs.storeFile(), before);

    const ProfileExchange::Outcome imported =
        ProfileExchange::importFile(theirs.store, file, ProfileManager::NameClash::rename);
    EXPECT_EQ(imported.message, "Imported 2 profiles: Jitter Copy Copy, Plain Copy");
    const ThrottleProfile original = named(mine.store, "Jitter");
    const ThrottleProfile arrived = named(theirs.store, "Jitter Copy Copy");
    EXPECT_NE(arrived.id(), original.id());
    EXPECT_EQ(arrived.conditions, original.conditions);
    EXPECT_EQ(arrived.destinations, original.destinations);
    EXPECT_EQ(arrived.otherKeys, original.otherKeys);
    EXPECT_FALSE(named(theirs.store, "Plain Copy").showInMenu);

    // Built-in profiles travel as the user's own; two of one name in one
    // file do not end with one name.
    ASSERT_TRUE(ProfileExchange::exportFile({preset("3G"), preset("3G")}, file).ok());
    EXPECT_EQ(
        ProfileExchange::importFile(theirs.store, file, ProfileManager::NameClash::rename).message,
        "Imported 2 profiles: 3G Copy, 3G Copy Copy");
    EXPECT_FALSE(named(theirs.store, "3G Copy").isBuiltIn());
}

TEST(ProfileExchangeTest, aBadFileIsRefusedNamingTheProblemAndAddsNothing) {
    Machine machine;
    const QString file = machine.home.filePath("in.json");
    const auto document = [](const QByteArray& profiles, const QByteArray& version = "1") {
        return R"({"format": "veltrane-profiles", "version": )" + version + R"(, "profiles": )" +
               profiles + "}";
    };
    QJsonObject fast = ProfileJson::encode(custom("Fast"));
    fast.insert("latency", -5);
    const QByteArray invalid = QJsonDocument(fast).toJson(QJsonDocument::Compact);
    const std::pair<QByteArray, const char*> cases[] = {
        {"{\n  \"format\": ,\n}", "not JSON: illegal value at line 2, column 14"},
        {"[]", "not a Veltrane profiles file"},
        {document("[]", "2"), "a profiles file of version 2; this Veltrane reads version 1"},
        {document("{}"), "\"profiles\" are not a list"},
        {document(R"([{"name": "Half"}])"), "Profile 'Half' is not a profile record"},
        {document("[" + invalid + "]"), "Profile 'Fast': Latency"},
        {QByteArray(16 << 20, ' '), "16 MiB or larger"},
    };
    for (const auto& [bytes, problem] : cases) {
        writeFile(file, bytes);
        const ProfileExchange::Outcome outcome =
            ProfileExchange::importFile(machine.store, file, ProfileManager::NameClash::rename);
        EXPECT_EQ(outcome.status, Status::badFile) << problem;
        EXPECT_THAT(outcome.message.toStdString(),
                    HasSubstr("Cannot import " + file.toStdString()));
        EXPECT_THAT(outcome.message.toStdString(), HasSubstr(problem));
    }
    // A pipe would block a plain open until a writer came.
    const QString pipe = machine.home.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_THAT(ProfileExchange::importFile(machine.store, pipe, ProfileManager::NameClash::rename)
                    .message.toStdString(),
                HasSubstr("not a regular file"));
    EXPECT_TRUE(machine.store.customProfiles().isEmpty());
    EXPECT_TRUE(machine.storeFile().isEmpty());
}
