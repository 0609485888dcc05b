// SPDX-License-Identifier: MIT
#include "LifecycleLog.h"

#include "ThrottleError.h"

QString describeFailure(const std::exception& error) {
    if (const auto* throttleError = dynamic_cast<const ThrottleError*>(&error)) {
        return throttleError->description();
    }
    return QString::fromUtf8(error.what());
}
