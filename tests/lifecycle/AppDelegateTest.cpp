// SPDX-License-Identifier: MIT
#include "AppDelegate.h"

#include "AppFakes.h"
#include "ApplicationEvents.h"
#include "ControlFakes.h"
#include "PrivateBus.h"
#include "SettingsKeys.h"
#include "TimerSource.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <ostream>
#include <vector>

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Pair;

// Found by argument-dependent lookup: beside QString, not in the namespace below.
void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

using namespace std::chrono_literals;

class FakeApplicationEvents final : public ApplicationEvents {
public:
    std::vector<int> watched;
    int terminations = 0;

    void watchSignal(int signalNumber) override { watched.push_back(signalNumber); }
    void terminate() override { ++terminations; }
};

// Time moves only when the test says so.
class ManualTimerSource final : public TimerSource {
public:
    std::chrono::milliseconds now{0};

    std::unique_ptr<ScheduledAction> schedule(std::chrono::milliseconds delay,
                                              std::function<void()> action) override {
        auto handle = std::make_unique<Handle>(m_due);
        m_due.emplace(now + delay, Entry{handle.get(), std::move(action)});
        return handle;
    }
    // Runs what falls due on the way, each at its own time.
    void advance(std::chrono::milliseconds by) {
        const std::chrono::milliseconds end = now + by;
        while (!m_due.empty() && m_due.begin()->first <= end) {
            auto [due, entry] = std::move(*m_due.begin());
            m_due.erase(m_due.begin());
            now = due;
            entry.action();
        }
        now = end;
    }
    std::size_t pending() const { return m_due.size(); }

private:
    struct Entry;
    using Due = std::multimap<std::chrono::milliseconds, Entry>;
    struct Handle final : ScheduledAction {
        explicit Handle(Due& due)
            : due(due) {}
        ~Handle() override {
            std::erase_if(due, [this](const auto& entry) { return entry.second.handle == this; });
        }
        Due& due;
    };
    struct Entry {
        Handle* handle;
        std::function<void()> action;
    };
    Due m_due;
};

// A connection of its own to the same fake helper, as a fresh connection
// reaches the same daemon.
class ConnectionTo final : public HelperClient {
public:
    explicit ConnectionTo(FakeHelperClient& helper)
        : m_helper(helper) {}

    QCoro::Task<> installHelper() override { return m_helper.installHelper(); }
    QCoro::Task<bool> getStatus() override { return m_helper.getStatus(); }
    QCoro::Task<> enableThrottling(ThrottleParameters parameters) override {
        return m_helper.enableThrottling(parameters);
    }
    QCoro::Task<> disableThrottling() override { return m_helper.disableThrottling(); }
    QCoro::Task<> takeThrottling(ThrottleParameters parameters, QString description,
                                 bool hold) override {
        return m_helper.takeThrottling(parameters, description, hold);
    }
    QCoro::Task<> releaseThrottling() override { return m_helper.releaseThrottling(); }
    // Seen from here, the service's connection is another client.
    QCoro::Task<HelperState> readState() override {
        HelperState state = co_await m_helper.readState();
        if (state.owner) {
            state.owner->isThisClient = false;
        }
        co_return state;
    }
    void followState() override {}

private:
    FakeHelperClient& m_helper;
};

const QString kEdgeId = QStringLiteral("00000000-0000-0000-0000-000000000005");
const QDateTime kLaunch = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

// The delegate over the real service and profile store, with a fake helper
// behind both the service's connection and any fresh one.
class AppDelegateTest : public testing::Test {
protected:
    AppDelegateContext context() {
        return {.defaults = defaults,
                .persistence = persistence,
                .registration = registration,
                .userNotifications = userNotifications,
                .notifications = notifications,
                .events = events,
                .timers = timers,
                .windows = windows,
                .newHelperConnection =
                    [this] {
                        // Only inside the clean-up's bounded wait.
                        connectedInLoop.push_back(QThread::currentThread()->loopLevel() > 0);
                        return std::make_unique<ConnectionTo>(helper);
                    },
                .log = [this](const QString& line) { lines << line; },
                .clock = [this] { return kLaunch.addMSecs((timers.now + slept).count()); }};
    }
    void launch() {
        AppDelegateContext quick = context();
        quick.cleanupDeadline = 200ms;
        delegate = std::make_unique<AppDelegate>(std::move(quick));
        delegate->applicationDidFinishLaunching();
        QCoreApplication::processEvents(); // the helper check queued by the launch
    }
    // Keeps what synchronising with the helper logged; the restore's own
    // line is the restore test's business.
    void launchAndRegister() {
        launch();
        lines.clear();
        delegate->registerServices(service, profiles);
        lines.removeIf([](const QString& line) {
            return line.startsWith(u"No saved profile") || line.startsWith(u"Restored selected");
        });
    }
    void switchOn(const QString& name = QStringLiteral("3G")) {
        finish(service.applyProfile(preset(name)));
    }
    void autoDisableAfter(int minutes) {
        defaults.setValue(SettingsKeys::autoDisableEnabled, true);
        defaults.setValue(SettingsKeys::autoDisableMinutes, minutes);
    }
    const QStringList& notified() const { return userNotifications.posted; }

    QTemporaryDir folder;
    UserDefaults defaults{folder.filePath("Veltrane.json")};
    StatePersistenceService persistence{defaults};
    FakeServiceRegistration registration;
    FakeHelperClient helper;
    NotificationCenter notifications;
    ThrottleService service{helper, registration, notifications};
    ProfileManager profiles{defaults, folder.path(), QString()};
    FakeUserNotificationCenter userNotifications;
    FakeApplicationEvents events;
    ManualTimerSource timers;
    FakeWindowNavigator windows;
    QStringList lines;
    std::vector<bool> connectedInLoop;
    // Wall-clock time that the timers did not count.
    std::chrono::milliseconds slept{0};
    std::unique_ptr<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, LaunchWatchesTheEndingSignalsAndAfterOnboardingReportsAMissingHelper) {
    EXPECT_EQ(context().cleanupDeadline, 2s);
    defaults.setValue(SettingsKeys::hasCompletedOnboarding, true);
    registration.status = ServiceStatus::requiresApproval;
    launch();
    EXPECT_THAT(lines,
                ElementsAre("Notification permissions granted", "Veltrane launched successfully"));
    EXPECT_THAT(events.watched, ElementsAre(SIGTERM, SIGINT, SIGHUP, SIGQUIT));
    EXPECT_THAT(notified(), ElementsAre("helper-not-installed"));
    EXPECT_THAT(userNotifications.bodies,
                ElementsAre("The helper is installed but not responding."));
}

TEST_F(AppDelegateTest, BeforeOnboardingNothingIsCheckedAndFailuresToNotifyAreLogged) {
    registration.status = ServiceStatus::notRegistered;
    userNotifications.authorization = {false, QStringLiteral("no server")};
    userNotifications.addFailure = QStringLiteral("no server");
    launch();
    EXPECT_THAT(lines, ElementsAre("Failed to request notification permissions: no server",
                                   "Veltrane launched successfully"));
    EXPECT_THAT(notified(), IsEmpty());
    // Registering checks the helper regardless.
    delegate->registerServices(service, profiles);
    EXPECT_THAT(lines, Contains("Failed to show notification: no server"));
}

struct RestoreCase {
    const char* name;
    std::optional<QString> stored;
    QStringList deleted;
    QStringList expectedLines;

    friend void PrintTo(const RestoreCase& restore, std::ostream* out) { *out << restore.name; }
};

class RestoreTest : public AppDelegateTest, public testing::WithParamInterface<RestoreCase> {};

TEST_P(RestoreTest, SelectsTheStoredProfileOrElseTheFirst) {
    if (GetParam().stored) {
        defaults.setValue(SettingsKeys::selectedProfileID, *GetParam().stored);
    }
    defaults.setValue(SettingsKeys::deletedBuiltInProfiles, GetParam().deleted);
    launch();
    lines.clear();
    delegate->registerServices(service, profiles);
    EXPECT_EQ(lines, GetParam().expectedLines);
    const std::optional<ThrottleProfile>& selected = service.state().selectedProfile;
    EXPECT_EQ(selected.has_value(), !lines.isEmpty());
    EXPECT_TRUE(!selected || lines.constFirst().endsWith(selected->name));
}

QStringList allBuiltInIds() {
    QStringList ids;
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        ids << ThrottleProfile::idText(profile.id());
    }
    return ids;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreTest,
    testing::Values(
        RestoreCase{"stored", kEdgeId, {}, {"Restored selected profile: Edge"}},
        RestoreCase{"deleted", kEdgeId, {kEdgeId}, {"No saved profile, defaulting to: 100% Loss"}},
        RestoreCase{"noProfiles", std::nullopt, allBuiltInIds(), {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct OrphanCase {
    const char* name;
    std::optional<ThrottleOwner> owner;
    bool leftBehind;

    friend void PrintTo(const OrphanCase& orphan, std::ostream* out) { *out << orphan.name; }
};

class OrphanTest : public AppDelegateTest, public testing::WithParamInterface<OrphanCase> {};

TEST_P(OrphanTest, OnlyThrottlingNobodyIsResponsibleForIsRemovedAndAnnouncedOnceOff) {
    const bool removed = GetParam().leftBehind;
    helper.takenBy(GetParam().owner);
    helper.gated = true;
    launchAndRegister();
    delegate->registerServices(service, profiles);
    EXPECT_THAT(notified(), IsEmpty()); // not before the removal succeeded
    helper.release();
    EXPECT_EQ(helper.disables, removed ? 1 : 0);
    EXPECT_EQ(service.state().isEnabled, !removed);
    const QStringList removal{"Warning: Throttling is still active from previous session",
                              "Disabled orphaned throttling from previous session"};
    EXPECT_EQ(lines, removed ? removal : QStringList());
    EXPECT_EQ(notified(), removed ? QStringList("throttling-cleanup") : QStringList());
}

ThrottleOwner otherClient(const QString& description, bool held) {
    ThrottleOwner owner = FakeHelperClient::ownerOf(description, held, false);
    owner.pid = 1;
    return owner;
}

INSTANTIATE_TEST_SUITE_P(
    Owners, OrphanTest,
    testing::Values(OrphanCase{"unowned", std::nullopt, true},
                    OrphanCase{"olderClient", otherClient("", false), true},
                    OrphanCase{"earlierRun", otherClient("Veltrane", false), true},
                    OrphanCase{"liveHolder", otherClient("Veltrane", true), false},
                    OrphanCase{"commandLine", otherClient("veltranectl apply: 3G", false), false},
                    OrphanCase{"heldRun", otherClient("veltranectl run: make", true), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AppDelegateTest, AHelperThatIsMissingCannotSayOrCannotRemoveIsOnlyReported) {
    helper.active = true;
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("denied"));
    launchAndRegister();
    EXPECT_THAT(lines, ElementsAre("Failed to query helper status: Helper error: denied"));
    // Installed, yet silent: said as such, not as a missing helper.
    EXPECT_THAT(userNotifications.bodies,
                ElementsAre("The helper is installed but not responding."));
    userNotifications.posted.clear();

    delegate.reset();
    helper.gated = true;
    launchAndRegister();
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    helper.release();
    EXPECT_THAT(lines, ElementsAre("Warning: Throttling is still active from previous session",
                                   "Failed to disable orphaned throttling: Helper error: busy"));
    EXPECT_THAT(notified(), IsEmpty());

    delegate.reset();
    for (const auto& [status, body] :
         {std::pair{ServiceStatus::notFound, "The helper is not installed."},
          std::pair{ServiceStatus::busUnreachable, "Veltrane cannot reach the system bus."}}) {
        registration.status = status;
        userNotifications.bodies.clear();
        launchAndRegister();
        delegate.reset();
        EXPECT_THAT(userNotifications.bodies, ElementsAre(body));
    }
    EXPECT_EQ(helper.statusQueries, 2);
    EXPECT_EQ(helper.disables, 1);
    EXPECT_THAT(notified(), ElementsAre("helper-not-installed", "helper-not-installed"));
}

TEST_F(AppDelegateTest, QuittingRemovesThrottlingBeforeStoringTheStateOrElseLetsGoOfTheHold) {
    launchAndRegister();
    switchOn("Edge");
    // The settings file may be locked by another process: the network first.
    std::optional<bool> storedBeforeOff;
    QObject::connect(&service, &ThrottleService::stateChanged, [&](const ThrottleState& state) {
        if (!state.isEnabled) {
            storedBeforeOff = defaults.contains(SettingsKeys::wasEnabledOnQuit);
        }
    });
    Q_EMIT events.willTerminate();
    EXPECT_THAT(lines,
                ElementsAre("Performing throttling cleanup...",
                            "Throttling disabled via registered service", "Veltrane terminating"));
    EXPECT_EQ(storedBeforeOff, false);
    EXPECT_TRUE(defaults.boolValue(SettingsKeys::wasEnabledOnQuit));
    EXPECT_EQ(defaults.stringValue(SettingsKeys::selectedProfileID), kEdgeId);

    // Switched on while the setting asked for a hold, quit after it changed:
    // the hold goes, throttling stays. A selection deleted meanwhile is not
    // stored.
    delegate.reset();
    launchAndRegister();
    switchOn();
    defaults.setValue(SettingsKeys::autoDisableOnQuit, false);
    const ThrottleProfile mine(QUuid::createUuid(), "Mine", {}, {}, 5, {}, {}, false, true);
    profiles.createProfile(mine);
    service.recordSelection(mine);
    profiles.deleteProfile(mine);
    Q_EMIT events.willTerminate();
    EXPECT_THAT(lines, ElementsAre("Veltrane terminating"));
    EXPECT_EQ(helper.releases, 1);
    EXPECT_TRUE(helper.active);
    EXPECT_EQ(defaults.stringValue(SettingsKeys::selectedProfileID), kEdgeId);
    // Every switch-on asks the setting again.
    switchOn("Edge");
    EXPECT_THAT(helper.takes, ElementsAre(Pair("Veltrane", true), Pair("Veltrane", true),
                                          Pair("Veltrane", false)));
}

TEST_F(AppDelegateTest, QuittingWhileAnEnableIsInFlightSendsTheDisableBehindIt) {
    launchAndRegister();
    helper.gated = true;
    const QCoro::Task<> enabling = service.applyProfile(preset("3G"));
    Q_EMIT events.willTerminate();
    EXPECT_EQ(helper.disables, 1);
    EXPECT_THAT(lines, Contains("Cleanup timed out"));
    // The helper carries out one client's calls in order.
    helper.release();
    EXPECT_FALSE(helper.active);
}

TEST_F(AppDelegateTest, TheFallbackConnectionIsMadeWithinTheBoundAndRemovesOnlyWhatIsOurs) {
    // Before the services are known: a fresh connection asks, and leaves a
    // live client's throttling alone.
    helper.takenBy(otherClient("veltranectl run: make", true));
    launch();
    lines.clear();
    delegate->performCleanup();
    EXPECT_THAT(lines, ElementsAre("Performing throttling cleanup..."));
    EXPECT_TRUE(helper.active);
    EXPECT_THAT(connectedInLoop, ElementsAre(true));

    // The service followed the helper: nothing of ours runs, nobody is asked.
    delegate.reset();
    helper.takenBy(otherClient("veltranectl apply: 3G", false));
    launchAndRegister();
    delegate->performCleanup();
    EXPECT_TRUE(helper.active);
    EXPECT_EQ(connectedInLoop.size(), 1u);

    // Seen from the fresh connection, this process's throttling is still ours.
    delegate.reset();
    launchAndRegister();
    switchOn();
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    delegate->performCleanup();
    EXPECT_THAT(lines, ElementsAre("Performing throttling cleanup...",
                                   "Failed to disable throttling via service: Helper error: busy",
                                   "Throttling disabled via fallback connection"));
    EXPECT_FALSE(helper.active);
}

TEST_F(AppDelegateTest, ASignalCleansUpOnceAndAHelperThatNeverAnswersHoldsItUntilTheDeadline) {
    // A signal does not ask the setting.
    defaults.setValue(SettingsKeys::autoDisableOnQuit, false);
    launchAndRegister();
    switchOn();
    helper.gated = true;
    // A second signal while waiting neither restarts nor cuts short the wait.
    QTimer::singleShot(20ms, &events, [this] { Q_EMIT events.signalReceived(SIGTERM); });
    Q_EMIT events.signalReceived(SIGTERM);
    EXPECT_THAT(lines,
                ElementsAre("Received signal 15, performing cleanup...",
                            "Performing throttling cleanup...",
                            "Received signal 15, performing cleanup...", "Cleanup timed out"));
    EXPECT_EQ(events.terminations, 1);
    Q_EMIT events.willTerminate();
    EXPECT_EQ(lines.constLast(), "Veltrane terminating");

    // A late answer starts no fallback: the application is going away.
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("late"));
    helper.release();
    EXPECT_TRUE(waitUntil([this] { return lines.size() == 6; }));
    EXPECT_EQ(lines.constLast(), "Failed to disable throttling via service: Helper error: late");
    EXPECT_EQ(helper.statusQueries, 1);
}

TEST_F(AppDelegateTest, ARunWarnsAMinuteBeforeItsWallClockEndUnlessItLastsOneMinute) {
    autoDisableAfter(1);
    launchAndRegister();
    switchOn();
    timers.advance(59s);
    EXPECT_TRUE(helper.active);
    timers.advance(1s);
    EXPECT_FALSE(helper.active);
    EXPECT_THAT(lines, ElementsAre("Auto-disable timer started: 1 minutes",
                                   "Auto-disable: Throttling has been automatically disabled"));

    autoDisableAfter(5);
    switchOn();
    timers.advance(239s);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-completed"));
    timers.advance(1s);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-completed", "auto-disable-warning"));
    // Asleep past the end, which the timers did not count: it ends at wake.
    slept += 61s;
    Q_EMIT events.systemDidWake();
    EXPECT_FALSE(helper.active);
    EXPECT_EQ(notified().size(), 3);

    // Asleep past the warning only: it comes at wake, and the run goes on.
    switchOn();
    slept += 250s;
    Q_EMIT events.systemDidWake();
    EXPECT_EQ(notified().constLast(), "auto-disable-warning");
    timers.advance(49s);
    EXPECT_TRUE(helper.active);
    timers.advance(1s);
    EXPECT_FALSE(helper.active);
}

TEST_F(AppDelegateTest, AReapplyOrTheSettingStartsAFullRunFromNowAndSwitchingOffStopsIt) {
    const auto settingChanged = [this](const QVariantMap& info) {
        notifications.post(QStringLiteral("AutoDisableSettingChanged"), info);
    };
    autoDisableAfter(5);
    launchAndRegister();
    switchOn();
    timers.advance(200s);
    switchOn("Edge");
    timers.advance(299s);
    EXPECT_TRUE(service.state().isEnabled);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-warning"));
    finish(service.removeThrottling());
    EXPECT_EQ(timers.pending(), 0u);
    // Taken over by another client: not this application's to end.
    switchOn();
    helper.takenBy(otherClient("veltranectl apply: 3G", false));
    EXPECT_EQ(timers.pending(), 0u);
    helper.switchedOff();

    settingChanged({{"enabled", true}, {"minutes", 2}});
    EXPECT_EQ(timers.pending(), 0u); // throttling is off: the next switch-on starts it
    switchOn();
    timers.advance(100s);
    settingChanged({{"enabled", true}, {"minutes", 2}});
    timers.advance(119s);
    EXPECT_TRUE(service.state().isEnabled);
    EXPECT_THAT(notified(), ElementsAre("auto-disable-warning", "auto-disable-warning"));
    settingChanged({{"enabled", false}, {"minutes", 2}});
    EXPECT_EQ(timers.pending(), 0u);

    for (const QVariantMap& malformed :
         {QVariantMap{{"enabled", "yes"}, {"minutes", 2}}, QVariantMap{{"enabled", true}},
          QVariantMap{{"enabled", true}, {"minutes", "2"}},
          QVariantMap{{"enabled", true}, {"minutes", 2.5}}}) {
        settingChanged(malformed);
    }
    EXPECT_EQ(timers.pending(), 0u);
}

TEST_F(AppDelegateTest, WithNotificationsOffAThirtyMinuteDefaultRunStillEnds) {
    defaults.setValue(SettingsKeys::autoDisableEnabled, true);
    defaults.setValue(SettingsKeys::showNotifications, false);
    launchAndRegister();
    switchOn();
    EXPECT_THAT(lines, ElementsAre("Auto-disable timer started: 30 minutes"));
    timers.advance(30min);
    EXPECT_FALSE(service.state().isEnabled);
    EXPECT_THAT(notified(), IsEmpty());

    // A removal that fails at the end leaves throttling on, and no new run.
    switchOn();
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    timers.advance(30min);
    EXPECT_THAT(lines, Contains("Auto-disable failed: Helper error: busy"));
    EXPECT_TRUE(service.state().isEnabled);
    EXPECT_EQ(timers.pending(), 0u);
}

TEST_F(AppDelegateTest, SleepAndWakeAreLoggedAndTapsActByIdentifier) {
    launchAndRegister();
    Q_EMIT events.systemWillSleep();
    Q_EMIT events.systemDidWake();
    EXPECT_THAT(lines, ElementsAre("System going to sleep", "System woke from sleep"));

    QStringList posted;
    QObject::connect(&notifications, &NotificationCenter::posted,
                     [&posted](const QString& name) { posted << name; });
    for (const char* identifier :
         {"auto-disable-warning", "helper-not-installed", "sparkle-update-available"}) {
        userNotifications.tap(QString::fromLatin1(identifier));
    }
    EXPECT_THAT(windows.opened, ElementsAre("settings"));
    EXPECT_THAT(posted, ElementsAre("SparkleUpdateNotificationTapped"));
}

} // namespace
