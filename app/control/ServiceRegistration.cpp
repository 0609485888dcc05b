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
    }
    return {};
}
