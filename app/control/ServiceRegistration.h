// SPDX-License-Identifier: MIT
#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// What the platform's service management knows about a registered service.
// The values appear in messages. busUnreachable: the bus that would start the
// daemon cannot be reached, so nothing is known about the daemon itself.
enum class ServiceStatus {
    notRegistered = 0,
    enabled = 1,
    requiresApproval = 2,
    notFound = 3,
    busUnreachable = 4
};

struct RegistrationError {
    QString domain;
    qint64 code = 0;
    QString description;

    bool operator==(const RegistrationError&) const = default;
};

// Registration of the helper daemon and of the application as a login item.
// All calls are made on the main thread.
class ServiceRegistration {
public:
    virtual ~ServiceRegistration() = default;

    virtual ServiceStatus daemonStatus() const = 0;
    // Asynchronous because registering may wait for the user to authorise
    // it. A success may still leave the daemon awaiting approval: callers
    // read the status again.
    virtual QCoro::Task<std::optional<RegistrationError>> registerDaemon() = 0;

    virtual ServiceStatus loginItemStatus() const = 0;
    virtual std::optional<RegistrationError> registerLoginItem() = 0;
    virtual std::optional<RegistrationError> unregisterLoginItem() = 0;

    // The lower-case name of a status, e.g. "requires approval".
    static QString statusName(ServiceStatus status);
    // One sentence for the user on why the daemon cannot be used. A daemon
    // the system has (enabled or awaiting approval) is one that does not
    // answer.
    static QString unavailableText(ServiceStatus status);
};
