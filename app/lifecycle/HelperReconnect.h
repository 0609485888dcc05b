// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleService.h"

#include <QCoro/QCoroTask>
#include <QPointer>

// Each time the application becomes active: the helper's status is read
// again, and a helper the system has, whose connection was lost meanwhile,
// is connected again.
class HelperReconnect final {
public:
    explicit HelperReconnect(ThrottleService& service);

    void applicationBecameActive();

private:
    static QCoro::Task<> reconnect(QPointer<ThrottleService> service);

    QPointer<ThrottleService> m_service;
};
