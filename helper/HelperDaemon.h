// SPDX-License-Identifier: MIT
#pragma once

#include "VeltraneHelper.h"

#include <QDBusConnection>

class Logger;

// Runs the daemon on an open bus connection: exports the helper object, owns
// the service name and serves calls until the bus connection is lost.
// Returns the process exit status.
int runHelperDaemon(QDBusConnection bus, const Logger& logger,
                    VeltraneHelper::EngineFactory engineFactory);
