// SPDX-License-Identifier: MIT
#pragma once

#include "HelperConnection.h"
#include "HelperOnPrivateBus.h"
#include "NotificationCenter.h"
#include "SystemServiceRegistration.h"
#include "ThrottleService.h"

// The application's throttle control, wired as the application wires it,
// against the sandboxed daemon on a private bus.
struct ThrottleControlOnBus {
    static SystemServicePaths onBus(const QString& address) {
        SystemServicePaths paths;
        paths.bus = BusEndpoint(address);
        return paths;
    }

    HelperOnPrivateBus helper;
    SystemServiceRegistration registration{onBus(helper.bus().address())};
    HelperConnection connection{registration, {BusEndpoint(helper.bus().address())}};
    NotificationCenter notifications;
    ThrottleService service{connection, registration, notifications};
};
