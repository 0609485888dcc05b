// SPDX-License-Identifier: MIT
#pragma once

#include "EnginePaths.h"
#include "ShapingBackend.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CommandExecutor;
class Logger;

enum class BackendKind { pfDummynet, trafficControl };

// "pf" or "tc", as the sandbox daemon's --backend takes them; nothing for any
// other text.
std::optional<BackendKind> backendKindFromName(std::string_view name);

// pf and dummynet when both of their tools exist and are executable, Linux
// traffic control otherwise.
BackendKind detectBackendKind(const EnginePaths& paths);

// The backend the daemon shapes with, logged as "Using pf/dummynet" or "Using
// Linux traffic control". `forced` overrides the detection; `fixedInterfaces`
// replaces the machine's uplinks, and without `devicesOverNetlink` traffic
// control makes its IFB devices and reads qdiscs with the ip and tc of
// `paths` instead of asking the kernel itself (traffic control only).
std::unique_ptr<ShapingBackend>
makeShapingBackend(const Logger& logger, const CommandExecutor& executor, const EnginePaths& paths,
                   std::optional<BackendKind> forced = std::nullopt,
                   std::optional<std::vector<std::string>> fixedInterfaces = std::nullopt,
                   bool devicesOverNetlink = true);
