// SPDX-License-Identifier: MIT
#pragma once

#include "HelperParameters.h"

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
    // Whether the daemon reports throttling active.
    virtual QCoro::Task<bool> getStatus() = 0;
    virtual QCoro::Task<> enableThrottling(HelperParameters parameters) = 0;
    virtual QCoro::Task<> disableThrottling() = 0;

Q_SIGNALS:
    void isConnectedChanged(bool isConnected);

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
