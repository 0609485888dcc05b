// SPDX-License-Identifier: MIT
#pragma once

#include "CallBudget.h"
#include "CgroupMembers.h"
#include "EnginePaths.h"
#include "ThrottlingManager.h"
#include "Uplinks.h"

#include <QDBusConnection>

#include <functional>
#include <memory>
#include <string>

class CommandExecutor;
class Logger;

// What main() builds before the bus is touched.
struct HelperEngine {
    std::unique_ptr<ThrottlingManager> engine;
    // Why there is no engine: every call that needs it fails with this.
    std::string failure;
    // Present where the machine's uplinks are shaped and may change.
    std::unique_ptr<UplinkMonitor> uplinkMonitor;
};

// Builds the engine on the backend `makeBackend` returns. Never throws: a
// failure is logged and kept, so the daemon can still answer that it cannot
// throttle. What an earlier process left is dealt with once the bus can tell
// whether its holder is still there (runHelperDaemon).
HelperEngine buildHelperEngine(const Logger& logger,
                               const std::function<std::unique_ptr<ShapingBackend>()>& makeBackend,
                               bool watchUplinks);

// Serves the helper on `bus` until the bus connection is lost or SIGTERM or
// SIGINT arrives; then removes the shaping and exits within 5 seconds, ending
// any tool still running. Who owns each throttle is kept at
// `paths.ownerRecord`, a command's cgroup is looked up in `cgroups`; each
// changing call gets `budget`. Returns the exit status.
int runHelperDaemon(QDBusConnection bus, const Logger& logger, const CommandExecutor& executor,
                    HelperEngine parts, const EnginePaths& paths, const CgroupHierarchy& cgroups,
                    CallBudget budget = {});
