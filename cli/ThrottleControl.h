// SPDX-License-Identifier: MIT
#pragma once

#include "HelperConnection.h"
#include "SystemServiceRegistration.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <chrono>
#include <optional>

// The same objects as the application, on the system bus (or the one that
// DBUS_SYSTEM_BUS_ADDRESS names). Throttling held by a command lasts as long
// as `connection`, which is as long as its process. Throws CliError when
// the bus is out of reach.
struct ThrottleControl {
    ThrottleControl();

    SystemServiceRegistration registration;
    HelperConnection connection;
};

// The bus ends an unanswered call after the connection's reply timeout;
// this only guards against waiting on something that never reports back.
extern const std::chrono::milliseconds kHelperDeadline;

struct HelperFailure {
    QString description;
    // No answer came: the helper may have carried the call out all the same.
    bool unanswered = false;
};

// Waits for a call to the helper to end, within the deadline; what went
// wrong, if anything.
std::optional<HelperFailure> waitForHelper(QCoro::Task<> call);
