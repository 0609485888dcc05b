// SPDX-License-Identifier: MIT
#pragma once

#include "HelperClient.h"
#include "NotificationCenter.h"
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
    // A switch-on has been sent and not answered yet.
    bool isApplying() const { return m_applying > 0; }
    // Throttling this application switched on, or is switching on: what it
    // must not leave behind when it goes.
    bool ownsThrottling() const { return m_state.isOwnedByThisApplication() || isApplying(); }
    // The helper has published its state since this service was made: what
    // the state says of throttling is the helper's word, not a guess.
    bool knowsHelperState() const { return m_stateFollower.helperState().available; }

    QCoro::Task<> applyProfile(ThrottleProfile profile);
    // Switches off whatever runs, whoever switched it on, and an enable still
    // in flight; does nothing otherwise.
    QCoro::Task<> removeThrottling();
    // Records the choice; re-applies at once only while throttling is on.
    QCoro::Task<> selectProfile(ThrottleProfile profile);
    // Records the choice only, whatever runs.
    void recordSelection(const ThrottleProfile& profile);
    // Refreshes isHelperReady from the daemon's registration.
    void checkHelperStatus();

Q_SIGNALS:
    void stateChanged(const ThrottleState& state);

private:
    void helperStateChanged(const HelperState& helper);
    void profilesChanged();
    // Takes the lost hold again on the new connection.
    void connectionReplaced();

    void setState(ThrottleState state);
    void storeFailure(const ThrottleError& error);
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
    int m_applying = 0;
};
