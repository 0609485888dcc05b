// SPDX-License-Identifier: MIT
// The veltrane program as a user runs it: on an X display, with a tray host
// and a notification server on its session bus and the sandboxed helper (or
// none) on its system bus, and as it ends: quit, signals, a lost display,
// SIGKILL, a frozen bus.
#include "FakeDesktop.h"
#include "FakeLogin1.h"
#include "FileLock.h"
#include "HelperOnPrivateBus.h"
#include "SettingsKeys.h"

#include <QElapsedTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

using namespace std::chrono_literals;

// The clean-up waits 2 s at most, a call or a settings lock left to its own
// timeout 10 s or more; the margin is a sanitizer build's slow exit on a busy
// machine.
constexpr auto kWithinTheBound = 6s;
// The application under the sanitizers, on a busy machine, takes seconds to
// show its tray item: a bound that only tells a start that never comes.
constexpr auto kStarted = 30s;

const QString kThreeGId = QStringLiteral("00000000-0000-0000-0000-000000000002");
const QString kHelperMissing = QStringLiteral("The helper is not installed.");
const QString kNoTray = QStringLiteral("This desktop shows no tray icons, so Veltrane opens in a "
                                       "window. Start Veltrane again to bring the window back.");
const QString kLeftActive = QStringLiteral("Throttling was still active from a previous session "
                                           "and has been disabled for safety.");

class VeltraneProcessTest : public testing::Test {
protected:
    static void SetUpTestSuite() { display = new VirtualDisplay; }
    static void TearDownTestSuite() { delete std::exchange(display, nullptr); }

    ~VeltraneProcessTest() override {
        app.kill();
        app.waitForFinished();
    }

    void start(const QString& systemBus, const VirtualDisplay& on = *display,
               const QProcessEnvironment& extra = {}) {
        QProcessEnvironment environment = desktop.environment(on, systemBus);
        environment.insert(extra);
        app.setProcessEnvironment(environment);
        app.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&app, &QProcess::readyReadStandardOutput,
                         [this] { output += QString::fromUtf8(app.readAllStandardOutput()); });
        app.start(QStringLiteral(VELTRANE_PATH), {});
        ASSERT_TRUE(app.waitForStarted());
    }

    QStringList lines() const { return output.split(u'\n', Qt::SkipEmptyParts); }
    bool waitForLine(const QString& line) {
        return waitUntil([this, &line] { return lines().contains(line); }, 10s);
    }

    // How long the program took to end after the signal; `meanwhile` runs
    // as soon as the signal is sent.
    std::chrono::milliseconds stopWith(int signalNumber,
                                       const std::function<void()>& meanwhile = {}) {
        QElapsedTimer elapsed;
        elapsed.start();
        signalProcess(app.processId(), signalNumber);
        if (meanwhile) {
            meanwhile();
        }
        EXPECT_TRUE(waitUntil([this] { return app.state() == QProcess::NotRunning; }, 10s));
        const std::chrono::milliseconds took(elapsed.elapsed());
        output += QString::fromUtf8(app.readAllStandardOutput());
        EXPECT_EQ(app.exitCode(), 0);
        return took;
    }

    // Windows whose title and size start so, e.g. "Veltrane 272x" for the panel.
    static qsizetype windows(const QString& start) {
        const QStringList all = display->windows();
        return std::count_if(all.begin(), all.end(),
                             [&start](const QString& window) { return window.startsWith(start); });
    }

    void switchOnFromTheTray(HelperOnPrivateBus& helper) {
        ASSERT_TRUE(waitUntil([this] { return tray.item().has_value(); }, kStarted));
        ASSERT_TRUE(waitForLine("Restored selected profile: 3G"));
        ASSERT_TRUE(tray.clickMenu(QStringLiteral("Turn Throttling On")));
        ASSERT_TRUE(waitUntil([&helper] { return throttlingActive(helper); }));
    }

    static bool throttlingActive(HelperOnPrivateBus& helper) {
        QDBusConnection client = helper.bus().connect("status");
        return HelperOnPrivateBus::call(client, QStringLiteral("GetStatus"))
            .arguments()[0]
            .toBool();
    }

    // Another client's throttle of one destination, held by a connection of
    // the test's own that stays open: however the application ends, it
    // stays. Its id.
    static quint64 startBeside(HelperOnPrivateBus& helper) {
        QDBusConnection other = helper.bus().connect("another-client");
        const QVariantMap parameters{
            {"downloadBytesPerSecond", qlonglong(1000)},
            {"scope", QVariantMap{{"destinations", QStringList{"192.0.2.7"}}}}};
        const QDBusMessage reply =
            HelperOnPrivateBus::call(other, QStringLiteral("EnableThrottlingWithParameters"),
                                     {parameters, QStringLiteral("veltranectl run: make"), true});
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        return reply.arguments().value(0).toULongLong();
    }

    // The ids of the throttles the helper has on.
    static QList<quint64> listed(HelperOnPrivateBus& helper) {
        QDBusConnection client = helper.bus().connect("status");
        QList<quint64> ids;
        for (const QVariant& each : HelperOnPrivateBus::state(client).value("throttles").toList()) {
            ids << each.toMap().value("id").toULongLong();
        }
        return ids;
    }

    static inline VirtualDisplay* display = nullptr;
    FakeDesktop desktop;
    FakeTrayHost& tray = desktop.tray;
    FakeNotificationServer& notifications = desktop.notifications;
    QProcess app;
    QString output;
};

class SignalTest : public VeltraneProcessTest, public testing::WithParamInterface<int> {};

TEST_P(SignalTest, ThrottlingSwitchedOnFromTheTrayIsRemovedWithinTheBound) {
    HelperOnPrivateBus helper;
    desktop.setting(SettingsKeys::selectedProfileID, kThreeGId);
    // Launchers may hand their blocked signals down; the application still ends on them.
    app.setChildProcessModifier([] {
        sigset_t blocked;
        sigemptyset(&blocked);
        for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP, SIGQUIT}) {
            sigaddset(&blocked, signalNumber);
        }
        ::sigprocmask(SIG_BLOCK, &blocked, nullptr);
    });
    start(helper.bus().address());
    ASSERT_TRUE(waitUntil([this] { return tray.item().has_value(); }, kStarted));
    ASSERT_TRUE(waitUntil([this] { return tray.toolTip() == u"Veltrane - OFF"; }))
        << tray.toolTip().toStdString();
    EXPECT_THAT(tray.menuLabels(), ElementsAre("Open Veltrane", "Turn Throttling On",
                                               "Manage Profiles…", "Settings…", "Quit"));

    switchOnFromTheTray(helper);
    const QString on = QStringLiteral("Veltrane - ON\nProfile: 3G\nDownload: 780 Kbps\n"
                                      "Upload: 330 Kbps\nLatency: +100ms");
    EXPECT_TRUE(waitUntil([this, &on] { return tray.toolTip() == on; }))
        << tray.toolTip().toStdString();
    EXPECT_THAT(tray.menuLabels(), Contains("Turn Throttling Off"));

    const quint64 others = startBeside(helper);
    const int signalNumber = GetParam();
    EXPECT_LT(stopWith(signalNumber), kWithinTheBound);
    EXPECT_THAT(listed(helper), ElementsAre(others));
    EXPECT_THAT(
        lines(),
        Contains(QStringLiteral("Received signal %1, performing cleanup...").arg(signalNumber)));
    EXPECT_THAT(lines(), Contains("Throttling disabled via registered service"));
    EXPECT_EQ(lines().constLast(), "Veltrane terminating");
}

INSTANTIATE_TEST_SUITE_P(EveryEndingSignal, SignalTest,
                         testing::Values(SIGTERM, SIGINT, SIGHUP, SIGQUIT));

TEST_F(VeltraneProcessTest, ThrottlingHeldByAKilledApplicationIsRemovedByTheHelper) {
    HelperOnPrivateBus helper;
    desktop.setting(SettingsKeys::selectedProfileID, kThreeGId);
    start(helper.bus().address());
    switchOnFromTheTray(helper);
    const quint64 others = startBeside(helper);

    app.kill();
    EXPECT_TRUE(waitUntil([&] { return listed(helper) == QList<quint64>{others}; }));
}

TEST_F(VeltraneProcessTest, ALostDisplayEndsTheApplicationWithTheCleanup) {
    HelperOnPrivateBus helper;
    desktop.setting(SettingsKeys::selectedProfileID, kThreeGId);
    auto ownDisplay = std::make_unique<VirtualDisplay>();
    // Qt ends the process with exit(), by design without the destructors of
    // what main() holds: under the sanitizers that is no leak to report.
    QProcessEnvironment noLeakCheck;
    noLeakCheck.insert("ASAN_OPTIONS",
                       qEnvironmentVariable("ASAN_OPTIONS") + QStringLiteral(":detect_leaks=0"));
    start(helper.bus().address(), *ownDisplay, noLeakCheck);
    switchOnFromTheTray(helper);
    const quint64 others = startBeside(helper);

    // As at logout: the X server goes, and Qt ends the process with exit().
    ownDisplay.reset();
    ASSERT_TRUE(waitUntil([this] { return app.state() == QProcess::NotRunning; }, 10s));
    output += QString::fromUtf8(app.readAllStandardOutput());
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    // Before the process, and with it the helper's hold, went.
    EXPECT_THAT(lines(), Contains("Ending before the quit steps ran"));
    EXPECT_THAT(lines(), Contains("Throttling disabled via fallback connection"));
    EXPECT_THAT(listed(helper), ElementsAre(others));
}

TEST_F(VeltraneProcessTest, ASecondApplicationOpensTheFirstOnesPanelAndLeavesItsThrottling) {
    HelperOnPrivateBus helper;
    desktop.setting(SettingsKeys::selectedProfileID, kThreeGId);
    start(helper.bus().address());
    switchOnFromTheTray(helper);
    const std::optional<QString> firstItem = tray.item();

    QProcess second;
    second.setProcessEnvironment(app.processEnvironment());
    second.start(QStringLiteral(VELTRANE_PATH), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(second.readAllStandardOutput(), "Veltrane is already running\n");

    EXPECT_TRUE(waitUntil([] { return windows("Veltrane 272x") == 1; }));
    EXPECT_EQ(app.state(), QProcess::Running);
    EXPECT_EQ(tray.item(), firstItem);
    EXPECT_TRUE(throttlingActive(helper));
}

TEST_F(VeltraneProcessTest, WhenTheTrayGoesThePanelOpensAsAWindowOnceSaidAndOnEveryStart) {
    HelperOnPrivateBus helper;
    start(helper.bus().address());
    ASSERT_TRUE(waitUntil([this] { return tray.item().has_value(); }, kStarted));
    EXPECT_EQ(windows("Veltrane 272x"), 0);

    tray.leave();
    ASSERT_TRUE(waitUntil([this] { return notifications.withBody(kNoTray) != nullptr; }));
    EXPECT_THAT(notifications.withBody(kNoTray)->actions, Contains("default"));
    EXPECT_TRUE(waitUntil([] { return windows("Veltrane 272x") == 1; }));

    QProcess second;
    second.setProcessEnvironment(app.processEnvironment());
    second.start(QStringLiteral(VELTRANE_PATH), {});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.readAllStandardOutput(), "Veltrane is already running\n");
    EXPECT_EQ(windows("Veltrane 272x"), 1);
    const std::vector<FakeNotificationServer::Shown>& shown = notifications.shown();
    EXPECT_EQ(std::count_if(shown.begin(), shown.end(),
                            [](const auto& notification) { return notification.body == kNoTray; }),
              1);
}

TEST_F(VeltraneProcessTest, AFrozenSystemBusAndAHeldSettingsLockHoldTheExitForTheBoundOnly) {
    HelperOnPrivateBus helper;
    desktop.setting(SettingsKeys::selectedProfileID, kThreeGId);
    start(helper.bus().address());
    switchOnFromTheTray(helper);
    const quint64 others = startBeside(helper);

    const auto bus = static_cast<pid_t>(helper.bus().ownerPid("org.freedesktop.DBus"));
    ASSERT_GT(bus, 0);
    ::kill(bus, SIGSTOP);
    std::shared_ptr<void> thaw(nullptr, [bus](void*) { ::kill(bus, SIGCONT); });
    std::unique_ptr<FileLock> settingsLock;
    const std::chrono::milliseconds took = stopWith(SIGTERM, [&] {
        // Taken once the quit began: a write of the running application
        // would wait for it as long as ever. The quit state is written after
        // the clean-up.
        ASSERT_TRUE(
            waitForLine(QStringLiteral("Received signal %1, performing cleanup...").arg(SIGTERM)));
        settingsLock = std::make_unique<FileLock>(
            desktop.home.filePath(QStringLiteral("config/Veltrane/Veltrane.json.lock")));
        ASSERT_TRUE(settingsLock->isLocked());
    });
    EXPECT_GE(took, 1900ms);
    EXPECT_LT(took, kWithinTheBound);
    EXPECT_THAT(lines(), Contains("Cleanup timed out"));
    EXPECT_THAT(lines(), Contains(testing::Truly([](const QString& line) {
                    return line.startsWith(u"Failed to write the settings file");
                })));
    EXPECT_EQ(lines().constLast(), "Veltrane terminating");
    // The helper ends the application's held throttle as its connection
    // goes, and only that one.
    thaw.reset();
    EXPECT_TRUE(waitUntil([&] { return listed(helper) == QList<quint64>{others}; }));
}

TEST_F(VeltraneProcessTest, AnotherClientsThrottlingShowsInTheTrayAndOutlivesTheApplication) {
    HelperOnPrivateBus helper;
    FakeLogin1 login1(helper.bus().connect("login1"));
    desktop.setting(SettingsKeys::selectedProfileID, kThreeGId);
    start(helper.bus().address());
    ASSERT_TRUE(waitUntil([this] { return tray.item().has_value(); }, kStarted));
    const auto veltranectl = [this](const QStringList& arguments) {
        QProcess command;
        command.setProcessEnvironment(app.processEnvironment());
        command.start(QStringLiteral(VELTRANECTL_PATH), arguments);
        EXPECT_TRUE(command.waitForFinished(10000));
        return command.exitCode();
    };

    ASSERT_EQ(veltranectl({QStringLiteral("apply"), QStringLiteral("3G")}), 0);
    EXPECT_TRUE(waitUntil([this] {
        const QString toolTip = tray.toolTip();
        return toolTip.startsWith(u"Veltrane - ON\n") && toolTip.contains(u"veltranectl apply: 3G");
    })) << tray.toolTip().toStdString();
    ASSERT_EQ(veltranectl({QStringLiteral("off")}), 0);
    EXPECT_TRUE(waitUntil([this] { return tray.toolTip() == u"Veltrane - OFF"; }));

    // The application's own beside another client's of one destination.
    switchOnFromTheTray(helper);
    ASSERT_EQ(veltranectl({QStringLiteral("apply"), QStringLiteral("--only-to"),
                           QStringLiteral("192.0.2.7"), QStringLiteral("3G")}),
              0);
    EXPECT_TRUE(waitUntil([this] {
        const QString toolTip = tray.toolTip();
        return toolTip.startsWith(u"Veltrane: 2 throttles on\n") &&
               toolTip.contains(u"(veltranectl apply: 3G)");
    })) << tray.toolTip().toStdString();

    // Sleep and wake change nothing.
    login1.prepareForSleep(true);
    login1.prepareForSleep(false);
    ASSERT_TRUE(waitForLine("System woke from sleep"));
    EXPECT_THAT(lines(), Contains("System going to sleep"));

    EXPECT_LT(stopWith(SIGTERM), kWithinTheBound);
    QDBusConnection client = helper.bus().connect("status");
    const QVariantList throttles = HelperOnPrivateBus::state(client).value("throttles").toList();
    ASSERT_EQ(throttles.size(), 1);
    EXPECT_EQ(throttles[0].toMap().value("owner").toMap().value("description"),
              "veltranectl apply: 3G");
}

TEST_F(VeltraneProcessTest, ThrottlingLeftByAnEarlierRunIsRemovedAtStartAndAnnounced) {
    HelperOnPrivateBus helper;
    const quint64 others = startBeside(helper);
    QDBusConnection client = helper.bus().connect("earlier-run");
    ASSERT_TRUE(
        HelperOnPrivateBus::call(client, QStringLiteral("EnableThrottling"),
                                 {qint64(97500), qint64(41250), qint64(100), 0.0, qint64(0)})
            .arguments()
            .value(0)
            .toBool());
    start(helper.bus().address());
    ASSERT_TRUE(waitForLine("Disabled orphaned throttling from previous session"));
    EXPECT_THAT(listed(helper), ElementsAre(others));
    EXPECT_THAT(lines(), Contains("Warning: Throttling is still active from previous session"));

    ASSERT_TRUE(waitUntil([this] { return notifications.withBody(kLeftActive) != nullptr; }));
    const FakeNotificationServer::Shown& shown = *notifications.withBody(kLeftActive);
    EXPECT_EQ(shown.summary, "Veltrane");
    EXPECT_EQ(shown.appName, "Veltrane");
    // A tap on it would open nothing: nothing to click, but the application's icon.
    EXPECT_THAT(shown.actions, IsEmpty());
    EXPECT_EQ(shown.hints.value("image-path"), "com.veltrane.Veltrane");
    EXPECT_TRUE(shown.hints.contains("sound-name"));
    // Onboarding was never completed: it opens once.
    EXPECT_TRUE(waitUntil([] { return windows("Welcome 450x") == 1; }));
}

TEST_F(VeltraneProcessTest, WithoutAHelperTheNotificationLeadsToTheSettings) {
    PrivateBus systemBus({});
    desktop.setting(SettingsKeys::hasCompletedOnboarding, true);
    start(systemBus.address());
    // Posted at launch and again when the services are registered: one
    // notification, the second post replacing the first.
    ASSERT_TRUE(waitUntil([this] { return notifications.shown().size() == 2; }));
    EXPECT_EQ(notifications.shown()[1].replaces, notifications.shown()[0].id);
    EXPECT_EQ(notifications.shown()[1].body, kHelperMissing);
    EXPECT_THAT(notifications.shown()[1].actions, Contains("default"));
    EXPECT_EQ(windows("Welcome "), 0);

    notifications.click(notifications.withBody(kHelperMissing)->id);
    EXPECT_TRUE(waitUntil([] { return windows("Veltrane Settings 450x") == 1; }));

    // A click on the icon opens the panel.
    ASSERT_TRUE(waitUntil([this] { return tray.item().has_value(); }, kStarted));
    tray.activate(100, 10);
    EXPECT_TRUE(waitUntil([] { return windows("Veltrane 272x") == 1; }));
    EXPECT_LT(stopWith(SIGTERM), kWithinTheBound);
}

} // namespace
