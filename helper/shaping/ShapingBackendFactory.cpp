// SPDX-License-Identifier: MIT
#include "ShapingBackendFactory.h"

#include "Logger.h"
#include "PfDummynetBackend.h"
#include "TrafficControlBackend.h"
#include "Uplinks.h"

#include <unistd.h>

std::optional<BackendKind> backendKindFromName(std::string_view name) {
    if (name == "pf") {
        return BackendKind::pfDummynet;
    }
    if (name == "tc") {
        return BackendKind::trafficControl;
    }
    return std::nullopt;
}

BackendKind detectBackendKind(const EnginePaths& paths) {
    const bool pfToolsUsable =
        ::access(paths.pfctl.c_str(), X_OK) == 0 && ::access(paths.dnctl.c_str(), X_OK) == 0;
    return pfToolsUsable ? BackendKind::pfDummynet : BackendKind::trafficControl;
}

std::unique_ptr<ShapingBackend>
makeShapingBackend(const Logger& logger, const CommandExecutor& executor, const EnginePaths& paths,
                   std::optional<BackendKind> forced,
                   std::optional<std::vector<std::string>> fixedInterfaces,
                   bool devicesOverNetlink) {
    if (forced.value_or(detectBackendKind(paths)) == BackendKind::pfDummynet) {
        logger.log("Using pf/dummynet");
        return std::make_unique<PfDummynetBackend>(logger, executor, paths);
    }
    std::unique_ptr<UplinkSource> uplinks;
    if (fixedInterfaces) {
        uplinks = std::make_unique<FixedUplinks>(std::move(*fixedInterfaces));
    } else {
        uplinks = std::make_unique<SystemUplinks>();
    }
    logger.log("Using Linux traffic control");
    return std::make_unique<TrafficControlBackend>(
        logger, executor, paths, std::move(uplinks),
        devicesOverNetlink ? TrafficControlBackend::Devices::overNetlink
                           : TrafficControlBackend::Devices::throughTools);
}
