// SPDX-License-Identifier: MIT
#pragma once

#include "VeltraneHelper.h"

#include <QDBusConnection>

#include <memory>

class Logger;
class ShapingBackend;

// The engine factory of the daemon: the backend is chosen (and its choice
// logged) at start-up, the engine itself is made on the first call.
VeltraneHelper::EngineFactory engineOnFirstUse(const Logger& logger,
                                               std::unique_ptr<ShapingBackend> backend);

// Runs the daemon on an open bus connection: exports the helper object, owns
// the service name and serves calls until the bus connection is lost.
// Returns the process exit status.
int runHelperDaemon(QDBusConnection bus, const Logger& logger,
                    VeltraneHelper::EngineFactory engineFactory);
