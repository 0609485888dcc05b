// SPDX-License-Identifier: MIT
#pragma once

#include "HelperState.h"
#include "ShaperStatistics.h"
#include "ThrottleError.h"
#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"
#include "ThrottleScope.h"

#include <QCoro/QCoroTask>
#include <QObject>

// The application's side of the helper daemon, as the throttle service and
// the lifecycle code use it. Every operation throws ThrottleError.
class HelperClient : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The daemon is registered and enabled, or a connection has been opened
    // since; false again once the helper or the bus went away.
    bool isConnected() const { return m_isConnected; }

    // Registers the daemon when it is not, then connects.
    virtual QCoro::Task<> installHelper() = 0;
    // The explicit off: every throttle, as far as this user may end them.
    virtual QCoro::Task<> disableThrottling() = 0;

    // Switches a throttle of `scope` on beside those in force, with this
    // client as its owner, named by `description`; returns its id. An empty
    // scope is the whole machine's, which replaces the whole machine's. With
    // `hold`, the helper removes it when this client's bus connection
    // closes, however this process ends. The scope holds addresses only:
    // DestinationResolver turns host names into them. A schedule that is not
    // empty is played by the helper, from the parameters of its phases or the
    // steps of its trace.
    virtual QCoro::Task<quint64> startThrottle(ThrottleParameters parameters, ThrottleScope scope,
                                               ThrottleSchedule schedule, QString description,
                                               bool hold) = 0;
    // Ends the throttle of `id` and leaves the others.
    virtual QCoro::Task<> endThrottle(quint64 id) = 0;
    // Lets go of the hold this client has: throttling stays on, unheld.
    virtual QCoro::Task<> releaseThrottling() = 0;
    // The helper's state now; it answers at once, never behind a change.
    virtual QCoro::Task<HelperState> readState() = 0;
    // What the shaping in force has done, read by the helper within the last
    // half second; never behind a change.
    virtual QCoro::Task<ShaperStatistics> readStatistics() = 0;

    // From now on, publishes the helper's state through helperStateChanged:
    // once at once (as read), then after every change the helper announces,
    // and as unavailable when the helper leaves the bus.
    virtual void followState() = 0;

Q_SIGNALS:
    void isConnectedChanged(bool isConnected);
    // Newer states only: a read answered after a newer signal is dropped.
    void helperStateChanged(const HelperState& state);
    // A new bus connection replaced one that was lost: whatever this client
    // held went with the old one, and the helper has removed it.
    void connectionReplaced();

protected:
    void setConnected(bool connected) {
        if (m_isConnected != connected) {
            m_isConnected = connected;
            Q_EMIT isConnectedChanged(connected);
        }
    }

private:
    bool m_isConnected = false;
};
