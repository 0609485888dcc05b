// SPDX-License-Identifier: MIT
// veltrane-helper-sandbox: the daemon for tests, never installed. Every path
// the engine uses lies under --root; --bus picks the bus.
#include "EnginePaths.h"
#include "HelperDaemon.h"
#include "Logger.h"
#include "ThrottlingManager.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

QDBusConnection chooseBus(const QString& address) {
    // Without --bus: the bus that started us, else the system bus.
    QString chosen = address;
    if (chosen.isEmpty()) {
        chosen = qEnvironmentVariable("DBUS_STARTER_ADDRESS");
    }
    if (chosen.isEmpty()) {
        return QDBusConnection::systemBus();
    }
    return QDBusConnection::connectToBus(chosen, QStringLiteral("veltrane-helper"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("The Veltrane helper daemon with its paths moved into a sandbox folder."));
    parser.addHelpOption();
    const QCommandLineOption rootOption(
        QStringLiteral("root"),
        QStringLiteral("Folder under which every path of the engine lies (required)."),
        QStringLiteral("DIR"));
    const QCommandLineOption busOption(
        QStringLiteral("bus"),
        QStringLiteral("Bus address (default: the activating bus, else the system bus)."),
        QStringLiteral("ADDRESS"));
    parser.addOptions({rootOption, busOption});
    parser.process(app);

    const QString root = parser.value(rootOption);
    if (root.isEmpty() || !QDir::isAbsolutePath(root)) {
        std::fprintf(stderr, "veltrane-helper-sandbox: --root needs an absolute folder\n");
        return 2;
    }
    const EnginePaths paths = EnginePaths::underRoot(QDir::cleanPath(root).toStdString());

    const Logger logger;
    return runHelperDaemon(chooseBus(parser.value(busOption)), logger, [&logger, paths] {
        return std::make_unique<ThrottlingManager>(logger, paths);
    });
}
