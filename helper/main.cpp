// SPDX-License-Identifier: MIT
// com.veltrane.helper: the root daemon, started by the system bus on demand.
// It takes no arguments and reads no configuration: every path is fixed.
#include "HelperDaemon.h"
#include "Logger.h"
#include "ShapingBackendFactory.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const Logger logger;
    return runHelperDaemon(QDBusConnection::systemBus(), logger,
                           engineOnFirstUse(logger, makeShapingBackend(logger, EnginePaths{})));
}
