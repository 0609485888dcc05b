// SPDX-License-Identifier: MIT
#pragma once

#include "HelperClient.h"
#include "ThrottleError.h"

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

// Installs the helper for a window that shows the outcome: the failure's
// description, or none. The helper lives as long as the application.
inline QCoro::Task<std::optional<QString>> installHelperReportingFailure(HelperClient& helper) {
    std::optional<QString> failure;
    try {
        co_await helper.installHelper();
    } catch (const ThrottleError& error) {
        failure = error.description();
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    co_return failure;
}
