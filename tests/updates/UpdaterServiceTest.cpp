// SPDX-License-Identifier: MIT
#include "UpdaterService.h"

#include "AppFakes.h"
#include "AppcastUpdater.h"
#include "LocalHttpServer.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "TestSigningKey.h"
#include "UpdateSession.h"
#include "UserDefaults.h"
#include "WaitUntil.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class FakeTimer final : public UpdateCheckTimer {
public:
    std::vector<std::chrono::milliseconds> starts;
    bool active = false;
    void start(std::chrono::milliseconds delay) override {
        starts.push_back(delay);
        active = true;
    }
    void stop() override { active = false; }
    void fire() {
        active = false;
        Q_EMIT timeout();
    }
};

class FakeInstaller final : public UpdateInstaller {
public:
    bool fromPackage = true;
    // How the root-side installer answers.
    std::optional<InstallFailure> refusal;
    QByteArray installedBytes;
    QByteArray signature;
    int installs = 0;
    int relaunches = 0;
    QList<QUrl> pagesOpened;

    bool installsPackages() const override { return fromPackage; }
    void install(const QString& path, const QByteArray& givenSignature,
                 std::function<void(std::optional<InstallFailure>)> done) override {
        ++installs;
        signature = givenSignature;
        QFile file(path);
        installedBytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        done(refusal);
    }
    void relaunch() override { ++relaunches; }
    void openDownloadPage(const QUrl& page) override { pagesOpened.append(page); }
};

class Updates : public testing::Test {
protected:
    QTemporaryDir folder;
    LocalHttpServer server;
    TestSigningKey key;
    UserDefaults defaults{folder.filePath("settings.json")};
    FakeUserNotificationCenter userNotifications;
    NotificationCenter notifications;
    FakeWindowNavigator navigator;
    FakeTimer* timer = nullptr;
    FakeInstaller* installer = nullptr;
    bool inFocus = false;
    const QByteArray package = QByteArray("!<arch>\ndebian-binary").repeated(500);

    std::unique_ptr<UpdaterService> makeService(QByteArray publicKey = {}, bool plainHttp = true) {
        auto ownTimer = std::make_unique<FakeTimer>();
        auto ownInstaller = std::make_unique<FakeInstaller>();
        timer = ownTimer.get();
        installer = ownInstaller.get();
        UpdaterConfiguration configuration;
        configuration.feedUrl = server.url("/appcast.xml");
        configuration.publicKey = publicKey.isEmpty() ? key.publicKey() : publicKey;
        configuration.runningVersion = QStringLiteral("1.4.1");
        configuration.cacheDirectory = folder.filePath("cache");
        configuration.requestTimeout = 2s;
        configuration.allowPlainHttp = plainHttp;
        auto service = std::make_unique<UpdaterService>(
            userNotifications, notifications,
            UpdaterService::Parts{std::move(configuration), defaults, std::move(ownTimer),
                                  std::move(ownInstaller), [this] { return inFocus; }});
        service->setWindowNavigator(&navigator);
        return service;
    }

    // A feed whose newest item is `version`, with this package's length and signature.
    void serveFeed(const QByteArray& version, qint64 length = -1, QByteArray signature = {}) {
        if (signature.isNull()) {
            signature = key.sign(package);
        }
        const QByteArray enclosure =
            "<enclosure url=\"" + server.url("/veltrane.deb").toEncoded() + "\" length=\"" +
            QByteArray::number(length < 0 ? package.size() : length) +
            "\" type=\"application/vnd.debian.binary-package\" sparkle:edSignature=\"" + signature +
            "\"/>";
        server.serve("/appcast.xml",
                     {"<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
                      "<channel><item><sparkle:version>1.3</sparkle:version>" +
                          enclosure +
                          "</item><item><link>https://example.org/release</link><sparkle:version>" +
                          version + "</sparkle:version><description>&lt;p&gt;Notes&lt;/p&gt;" +
                          "</description>" + enclosure + "</item></channel></rss>",
                      "application/rss+xml"});
        server.serve("/veltrane.deb", {package});
    }

    static bool stageIs(UpdaterService& service, UpdateSession::Stage stage) {
        return service.updateSession().stage() == stage;
    }
    // How often the update window was opened, closed, and the update's
    // notification removed.
    qsizetype opened() const { return navigator.opened.count(WindowNavigator::softwareUpdate); }
    qsizetype closed() const { return navigator.closed.count(WindowNavigator::softwareUpdate); }
    qsizetype removals() const {
        return userNotifications.removed.count(UserNotificationId::updateAvailable);
    }
};

TEST_F(Updates, ChecksAMinuteAfterStartThenDailyWhileTheStoredSettingIsOn) {
    serveFeed("1.4.1");
    auto service = makeService();
    ASSERT_EQ(timer->starts, std::vector<std::chrono::milliseconds>{1min});
    EXPECT_TRUE(service->updater().automaticallyChecksForUpdates());

    timer->fire();
    EXPECT_FALSE(service->canCheckForUpdates());
    ASSERT_TRUE(waitUntil([&] { return service->canCheckForUpdates(); }));
    EXPECT_EQ(server.requests("/appcast.xml"), 1);
    EXPECT_EQ(timer->starts.back(), 24h);
    EXPECT_EQ(opened(), 0);

    service->updater().setAutomaticallyChecksForUpdates(false);
    EXPECT_FALSE(timer->active);
    service.reset();
    service = makeService();
    EXPECT_FALSE(service->updater().automaticallyChecksForUpdates());
    EXPECT_TRUE(timer->starts.empty());
}

TEST_F(Updates, NeverStartsWithAPlainHttpFeedOrAKeyThatIsNotOne) {
    for (const bool plainHttpAllowed : {false, true}) {
        auto service =
            makeService(plainHttpAllowed ? QByteArray("c2hvcnQ=") : QByteArray(), plainHttpAllowed);
        EXPECT_FALSE(service->canCheckForUpdates());
        EXPECT_TRUE(timer->starts.empty());
        service->updater().checkForUpdates();
        EXPECT_EQ(opened(), 0);
    }
}

TEST_F(Updates, AnUpdateFoundInTheBackgroundIsOneNotificationUntilTheUserTapsIt) {
    serveFeed("1.4.2");
    auto service = makeService();
    timer->fire();
    ASSERT_TRUE(waitUntil([&] { return !userNotifications.posted.isEmpty(); }));
    ASSERT_EQ(userNotifications.posted.size(), 1);
    EXPECT_EQ(userNotifications.posted[0], QStringLiteral("sparkle-update-available"));
    EXPECT_EQ(userNotifications.bodies[0],
              QStringLiteral("Version 1.4.2 is available. Click to view update details."));
    EXPECT_EQ(opened(), 0);
    // Waiting for the user blocks nothing: checking by hand shows it.
    EXPECT_TRUE(service->canCheckForUpdates());

    notifications.post(NotificationName::sparkleUpdateNotificationTapped);
    EXPECT_EQ(opened(), 1);
    EXPECT_TRUE(stageIs(*service, UpdateSession::Stage::updateFound));
    EXPECT_EQ(service->updateSession().releaseNotes(), QStringLiteral("<p>Notes</p>"));
    EXPECT_EQ(removals(), 1);
    EXPECT_FALSE(service->canCheckForUpdates());
    EXPECT_EQ(server.requests("/appcast.xml"), 1);

    service->updateSession().choose(UpdateSession::Choice::dismiss);
    EXPECT_EQ(closed(), 1);
    EXPECT_TRUE(service->canCheckForUpdates());
    EXPECT_EQ(userNotifications.posted.size(), 1);
}

TEST_F(Updates, AnUpdateFoundInFocusOpensTheWindowWithoutANotification) {
    serveFeed("1.4.2");
    inFocus = true;
    auto service = makeService();
    timer->fire();
    ASSERT_TRUE(waitUntil([&] { return opened() == 1; }));
    EXPECT_TRUE(userNotifications.posted.isEmpty());
}

TEST_F(Updates, EndingTheSessionRemovesTheNotificationAndATapAfterTheServiceIsGoneDoesNothing) {
    serveFeed("1.4.2");
    auto service = makeService();
    timer->fire();
    ASSERT_TRUE(waitUntil([&] { return !userNotifications.posted.isEmpty(); }));
    // The next scheduled check leaves the waiting update alone.
    timer->fire();
    EXPECT_EQ(server.requests("/appcast.xml"), 1);

    // Checking by hand shows the waiting update, as a tap does.
    service->updater().checkForUpdates();
    EXPECT_EQ(opened(), 1);
    EXPECT_EQ(removals(), 1);
    service->updateSession().choose(UpdateSession::Choice::dismiss);
    EXPECT_EQ(removals(), 2);

    service.reset();
    notifications.post(NotificationName::sparkleUpdateNotificationTapped);
    EXPECT_EQ(opened(), 1);
}

TEST_F(Updates, AManualCheckSaysWhyItFoundNothingOrFailed) {
    auto service = makeService();
    struct Case {
        LocalHttpServer::Response feed;
        UpdateSession::Stage stage;
        QString message;
    };
    for (const Case& c :
         {Case{{"<rss><channel></channel></rss>"}, UpdateSession::Stage::upToDate, QString()},
          Case{{"<rss><channel><item>"},
               UpdateSession::Stage::failed,
               QStringLiteral("not valid XML")},
          Case{{"gone", "text/plain", 404}, UpdateSession::Stage::failed, QStringLiteral("404")},
          Case{{{}, {}, 200, true}, UpdateSession::Stage::failed, QStringLiteral("in time")}}) {
        server.serve("/appcast.xml", c.feed);
        service->updater().checkForUpdates();
        EXPECT_TRUE(stageIs(*service, UpdateSession::Stage::checking));
        EXPECT_FALSE(service->canCheckForUpdates());
        ASSERT_TRUE(waitUntil([&] { return stageIs(*service, c.stage); }));
        EXPECT_TRUE(service->updateSession().errorMessage().contains(c.message))
            << service->updateSession().errorMessage().toStdString();
        EXPECT_FALSE(service->canCheckForUpdates());
        service->updateSession().choose(UpdateSession::Choice::dismiss);
        EXPECT_TRUE(service->canCheckForUpdates());
    }
}

TEST_F(Updates, OnlyAPackageOfTheRightLengthSignedWithTheBuiltInKeyIsInstalled) {
    const TestSigningKey otherKey;
    const QString notNewer = QStringLiteral("version 1.4.2 is not newer than the installed 1.4.2");
    struct Case {
        const char* name;
        qint64 length;
        QByteArray signature;
        // Whether the installer is asked, and how it answers.
        bool handedOver;
        std::optional<InstallFailure> refusal;
        QString message;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"signed", -1, key.sign(package), true, std::nullopt, QString()},
             {"other key", -1, otherKey.sign(package), false, std::nullopt,
              AppcastUpdater::improperlySignedMessage},
             {"tampered", -1, key.sign(package + "x"), false, std::nullopt,
              AppcastUpdater::improperlySignedMessage},
             {"unsigned", -1, "", false, std::nullopt, AppcastUpdater::improperlySignedMessage},
             {"longer than said", package.size() - 1, key.sign(package), false, std::nullopt,
              AppcastUpdater::improperlySignedMessage},
             {"shorter than said", package.size() + 1, key.sign(package), false, std::nullopt,
              AppcastUpdater::improperlySignedMessage},
             // What root installs may have changed after the check here.
             {"refused by the installer's own check", -1, key.sign(package), true,
              InstallFailure{true, QStringLiteral("the package does not match its signature")},
              AppcastUpdater::improperlySignedMessage},
             {"refused by the installer for another reason", -1, key.sign(package), true,
              InstallFailure{false, notNewer},
              QStringLiteral("The update could not be installed: %1.").arg(notNewer)}}) {
        SCOPED_TRACE(c.name);
        serveFeed("1.4.2", c.length, c.signature);
        auto service = makeService();
        installer->refusal = c.refusal;
        service->updater().checkForUpdates();
        ASSERT_TRUE(
            waitUntil([&] { return stageIs(*service, UpdateSession::Stage::updateFound); }));
        service->updateSession().choose(UpdateSession::Choice::installUpdate);
        ASSERT_TRUE(waitUntil([&] {
            return stageIs(*service, UpdateSession::Stage::failed) || installer->relaunches > 0;
        }));
        EXPECT_EQ(installer->installs, c.handedOver ? 1 : 0);
        EXPECT_EQ(installer->installedBytes, c.handedOver ? package : QByteArray());
        EXPECT_EQ(installer->signature, c.handedOver ? c.signature : QByteArray());
        EXPECT_EQ(installer->relaunches, c.handedOver && !c.refusal ? 1 : 0);
        EXPECT_EQ(service->updateSession().errorMessage(), c.message);
        EXPECT_TRUE(QDir(folder.filePath("cache")).isEmpty());
    }
}

TEST_F(Updates, WithoutAPackageManagerInstallingOpensTheDownloadPage) {
    serveFeed("1.4.2");
    auto service = makeService();
    installer->fromPackage = false;
    service->updater().checkForUpdates();
    ASSERT_TRUE(waitUntil([&] { return stageIs(*service, UpdateSession::Stage::updateFound); }));
    service->updateSession().choose(UpdateSession::Choice::installUpdate);
    EXPECT_EQ(installer->pagesOpened,
              QList<QUrl>{QUrl(QStringLiteral("https://example.org/release"))});
    EXPECT_TRUE(stageIs(*service, UpdateSession::Stage::idle));
    EXPECT_EQ(server.requests("/veltrane.deb"), 0);
}

} // namespace
