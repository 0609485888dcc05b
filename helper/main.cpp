// SPDX-License-Identifier: MIT
// com.veltrane.helper: the root daemon, started by the system bus on demand.
// It takes no arguments and reads no configuration: every path is fixed.
#include "CommandExecutor.h"
#include "HelperDaemon.h"
#include "Logger.h"
#include "ShapingBackendFactory.h"
#include "StopSignals.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    StopSignals::blockInEveryThread();
    QCoreApplication app(argc, argv);
    const Logger logger;
    const CommandExecutor executor(logger);
    const EnginePaths paths;
    const BackendKind kind = detectBackendKind(paths);
    HelperEngine engine = buildHelperEngine(
        logger, [&] { return makeShapingBackend(logger, executor, paths, kind); },
        kind == BackendKind::trafficControl);
    return runHelperDaemon(QDBusConnection::systemBus(), logger, executor, std::move(engine), paths,
                           CgroupHierarchy::of(paths.cgroupRoot));
}
