// SPDX-License-Identifier: MIT
#include "ServiceRegistration.h"

QString ServiceRegistration::statusName(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::notRegistered:
        return QStringLiteral("not registered");
    case ServiceStatus::enabled:
        return QStringLiteral("enabled");
    case ServiceStatus::requiresApproval:
        return QStringLiteral("requires approval");
    case ServiceStatus::notFound:
        return QStringLiteral("not found");
    case ServiceStatus::busUnreachable:
        return QStringLiteral("system bus unreachable");
    }
    return {};
}

QString ServiceRegistration::unavailableText(ServiceStatus status) {
    switch (status) {
    case ServiceStatus::busUnreachable:
        return QStringLiteral("Veltrane cannot reach the system bus.");
    case ServiceStatus::notRegistered:
    case ServiceStatus::notFound:
        return QStringLiteral("The helper is not installed.");
    case ServiceStatus::enabled:
    case ServiceStatus::requiresApproval:
        break;
    }
    return QStringLiteral("The helper is installed but not responding.");
}
