// SPDX-License-Identifier: MIT
#pragma once

#include "CallFailure.h"
#include "HelperClient.h"
#include "ServiceRegistration.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QTextStream>

#include <optional>

// What a window says when installing the helper failed: one sentence on what
// happened and what to do, decided by what the system has now.
inline QString installFailureText(ServiceStatus status) {
    if (status == ServiceStatus::notRegistered || status == ServiceStatus::notFound) {
        return QStringLiteral("The helper is not installed on this system. Install the Veltrane "
                              "package, or run scripts/install-helper as root.");
    }
    return ServiceRegistration::unavailableText(status);
}

// Installs the helper for a window that shows the outcome: none, or the
// sentence for the user. The failure's own description (codes, domains,
// the installer's output) is for the log. The helper lives as long as the
// application.
inline QCoro::Task<std::optional<QString>>
installHelperReportingFailure(HelperClient& helper, const ServiceRegistration& registration) {
    const std::optional<ThrottleError> failure = co_await failureOf(helper.installHelper());
    if (!failure) {
        co_return std::nullopt;
    }
    QTextStream(stdout) << "Failed to install helper: " << failure->description() << Qt::endl;
    co_return installFailureText(registration.daemonStatus());
}

// Whether a helper the system has answers at all: a read of its state. Why
// it did not is for the log.
inline QCoro::Task<> readStateOnly(HelperClient& helper) {
    co_await helper.readState(); // answered is enough; the state is not needed here
}
inline QCoro::Task<bool> helperAnswers(HelperClient& helper) {
    const std::optional<ThrottleError> failure = co_await failureOf(readStateOnly(helper));
    if (failure) {
        QTextStream(stdout) << "The helper did not answer: " << failure->description() << Qt::endl;
    }
    co_return !failure;
}
