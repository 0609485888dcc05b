// SPDX-License-Identifier: MIT
#pragma once

#include "BesideThrottles.h"
#include "DestinationResolver.h"
#include "HelperClient.h"
#include "NotificationCenter.h"
#include "OwnThrottles.h"
#include "ProfileManager.h"
#include "ReconnectTakeBack.h"
#include "RunningProfileRecognizer.h"
#include "ServiceRegistration.h"
#include "ThrottleState.h"
#include "ThrottleStateFollower.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

// The one way the application switches throttling on and off, and the one
// place that knows what the helper is doing: it follows the helper's
// published state, whoever changes it, and owns the ThrottleState built
// from it. Turns every failure into a ThrottleError (stored in the state and
// thrown) and posts "ThrottlingEnabled" and "ThrottlingDisabled" for its own
// successful switches only. Lives on the main thread; operations may
// interleave at their awaits, and the later completion writes the state last.
// Following the helper, recognising the running profile and taking
// throttling back after a reconnect are jobs of its parts.
class ThrottleService final : public QObject {
    Q_OBJECT

public:
    using Clock = ThrottleStateFollower::Clock;

    // How long quitting may wait for the helper, whatever it and the bus do.
    static constexpr std::chrono::milliseconds kQuitBound{2000};

    ThrottleService(HelperClient& helperConnection, ServiceRegistration& registration,
                    NotificationCenter& notifications, Clock clock = &QDateTime::currentDateTimeUtc,
                    QObject* parent = nullptr);

    const ThrottleState& state() const { return m_state; }
    HelperClient& helperConnection() const { return m_helper; }

    // How this service's throttling is owned in the helper: the description
    // it shows ("Veltrane" unless told), and whether the helper removes it
    // when this process ends, asked at every switch-on (not held unless told).
    void setOwnership(QString description, std::function<bool()> holds);
    // The profiles that another client's throttling is recognised by; a
    // selected or running profile deleted from them is dropped from the state.
    void followProfiles(ProfileManager& profiles);
    // How a profile's host names become addresses when it is switched on.
    void setResolver(DestinationResolver resolver) { m_resolver = std::move(resolver); }
    // A switch-on has been sent and not answered yet, or waits for its
    // host names to resolve.
    bool isApplying() const { return !m_pendingSwitchOns.empty(); }
    // Throttling this application switched on, or is switching on: what it
    // must not leave behind when it goes.
    bool ownsThrottling() const { return !m_own.isEmpty() || isApplying(); }
    // The ids of this application's own throttles that the helper still has.
    const std::vector<quint64>& ownThrottles() const { return m_own.ids(); }
    // The helper has published its state since this service was made: what
    // the state says of throttling is the helper's word, not a guess.
    bool knowsHelperState() const { return m_stateFollower.helperState().available; }

    // A profile with destinations switches on a throttle of just them, its
    // host names resolved now; either kind replaces this application's own
    // throttle of the whole machine or of destinations, and leaves every
    // other client's. A profile for an application switches on that
    // application's throttle beside them, replacing only an earlier one of
    // the same application.
    QCoro::Task<> applyProfile(ThrottleProfile profile);
    // Switches `profile`'s conditions on for the application `desktopId`
    // beside everything else that runs, as applyProfile does for a profile
    // for it; gives the new throttle's id.
    QCoro::Task<quint64> applyProfileToApplication(ThrottleProfile profile, QString desktopId);
    // Switches `profile`'s conditions on for the processes of `cgroup` alone
    // (`commandLine` launched throttled), beside everything else that runs;
    // gives the new throttle's id.
    QCoro::Task<quint64> applyProfileToCgroup(ThrottleProfile profile, QString cgroup,
                                              QString commandLine);
    // The explicit "off": switches off whatever runs, whoever switched it
    // on, and an enable still in flight; does nothing otherwise.
    QCoro::Task<> removeThrottling();
    // Ends this application's own throttles and leaves every other client's:
    // how quitting, the auto-off timer and the panel's Quit end throttling.
    // A switch-on sent before it is ended too, once the helper has answered
    // it with its id.
    QCoro::Task<> endOwnThrottling();
    // Ends one throttle of the helper's list and leaves the others; another
    // client's only when the helper authorizes it.
    QCoro::Task<> endThrottle(quint64 id);
    // Records the choice; re-applies at once only while throttling is on.
    QCoro::Task<> selectProfile(ThrottleProfile profile);
    // Records the choice only, whatever runs.
    void recordSelection(const ThrottleProfile& profile);
    // Refreshes isHelperReady from the daemon's registration.
    void checkHelperStatus();

Q_SIGNALS:
    void stateChanged(const ThrottleState& state);
    // A switch-on was answered, failed or given up: what endOwnThrottling
    // waits for.
    void switchOnSettled();

private:
    void helperStateChanged(const HelperState& helper);
    void profilesChanged();
    // Takes the lost hold again on the new connection.
    void connectionReplaced();

    // The conditions and schedule of `profile` as the helper takes them;
    // throws what keeps it from being switched on.
    std::pair<ThrottleParameters, ThrottleSchedule>
    checkedForSwitchOn(const ThrottleProfile& profile);
    void setState(ThrottleState state);
    void storeFailure(const ThrottleError& error);
    void clearError();
    // The new id of what was taken back replaces the old ones.
    QCoro::Task<> takenBack(quint64 id);
    // Switches on a throttle of one application or one command beside
    // this application's others, and records its profile for its row.
    QCoro::Task<quint64> applyBeside(ThrottleProfile profile, ThrottleScope scope,
                                     QString commandLine = {});
    // The beside throttles that are no longer this application's leave the
    // state's names.
    void forgetEndedBeside();
    // Ends each of these own throttles and forgets it; one already gone is
    // no failure. Carries on past a failure, and hands back the first.
    QCoro::Task<std::optional<ThrottleError>> endEach(std::vector<quint64> ids);
    // Ends what a switch-on replaced.
    QCoro::Task<> endReplaced(std::vector<quint64> ids);
    // Stores and throws a failure of a helper call; otherwise whether the
    // service still exists to take the result.
    static bool settled(const QPointer<ThrottleService>& service,
                        const std::optional<ThrottleError>& failure);

    HelperClient& m_helper;
    ServiceRegistration& m_registration;
    NotificationCenter& m_notifications;
    Clock m_clock;
    ThrottleState m_state;
    QString m_description = ThrottleState::applicationOwner;
    std::function<bool()> m_holds = [] { return false; };
    RunningProfileRecognizer m_runningProfile;
    ThrottleStateFollower m_stateFollower;
    ReconnectTakeBack m_takeBack;
    // Switch-ons resolving or sent and not yet answered, numbered in the
    // order they began.
    std::set<quint64> m_pendingSwitchOns;
    quint64 m_switchOnsBegun = 0;
    // Switch-offs asked for, of everything or of this application's own: a
    // switch-on that began before one is given up, so that its throttle never
    // starts after the "off" (or is ended at once, when it already has).
    quint64 m_switchOffs = 0;
    DestinationResolver m_resolver;
    OwnThrottles m_own;
    // The scope of the last switch-on as sent, to take it back after a
    // reconnect.
    ThrottleScope m_ownScope;
    ThrottleSchedule m_ownSchedule;
    // The throttles of one application or one command this application
    // switched on beside its own: what a reconnect takes back.
    BesideThrottles m_beside;
};
