// SPDX-License-Identifier: MIT
#pragma once

#include "HelperClient.h"
#include "NotificationCenter.h"
#include "ServiceRegistration.h"
#include "ThrottleState.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QPointer>

#include <functional>

// The one way the application switches throttling on and off. Owns the
// published ThrottleState, turns every failure into a ThrottleError (stored
// in the state and thrown) and posts "ThrottlingEnabled" and
// "ThrottlingDisabled". Lives on the main thread; operations may interleave
// at their awaits, and the later completion writes the state last.
class ThrottleService final : public QObject {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    ThrottleService(HelperClient& helperConnection, ServiceRegistration& registration,
                    NotificationCenter& notifications, Clock clock = &QDateTime::currentDateTimeUtc,
                    QObject* parent = nullptr);

    const ThrottleState& state() const { return m_state; }
    HelperClient& helperConnection() const { return m_helper; }

    QCoro::Task<> applyProfile(ThrottleProfile profile);
    // Does nothing while this service has not switched throttling on.
    QCoro::Task<> removeThrottling();
    // Records the choice; re-applies at once only while throttling is on.
    QCoro::Task<> selectProfile(ThrottleProfile profile);
    // Refreshes isHelperReady from the daemon's registration.
    void checkHelperStatus();

Q_SIGNALS:
    void stateChanged(const ThrottleState& state);

private:
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
};
