// SPDX-License-Identifier: MIT
// veltrane-helper-sandbox: the daemon for tests, never installed. Every path
// the engine uses lies under --root; --bus picks the bus; --backend (with
// "stand-in": a backend that shapes every scope by writing its layout to
// /run/veltrane/layout under the root) and
// --interfaces pin what the engine shapes with and what it shapes, --netlink
// has traffic control ask the kernel itself as the installed daemon does;
// --tool-time-limit shortens the limit of every tool run, --call-deadline
// the bound of every changing call, --answer-deadline only when its caller
// is answered.
#include "CallBudget.h"
#include "CommandExecutor.h"
#include "EnginePaths.h"
#include "HelperDaemon.h"
#include "Logger.h"
#include "ShapingBackendFactory.h"
#include "StandInBackend.h"
#include "StopSignals.h"
#include "Uplinks.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <memory>

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
    StopSignals::blockInEveryThread();
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
    const QCommandLineOption backendOption(
        QStringLiteral("backend"),
        QStringLiteral("Shaping backend, pf, tc or stand-in (default: chosen as in production)."),
        QStringLiteral("pf|tc|stand-in"));
    const QCommandLineOption interfacesOption(
        QStringLiteral("interfaces"),
        QStringLiteral("Interfaces traffic control shapes instead of those that are up."),
        QStringLiteral("NAME,..."));
    const QCommandLineOption netlinkOption(
        QStringLiteral("netlink"),
        QStringLiteral("Traffic control makes its devices and reads qdiscs over rtnetlink, in the "
                       "daemon's network namespace, instead of through the ip and tc under DIR."));
    const QCommandLineOption timeLimitOption(
        QStringLiteral("tool-time-limit"),
        QStringLiteral("Milliseconds a tool may run before it is ended (default: 30000)."),
        QStringLiteral("MS"));
    const QCommandLineOption callDeadlineOption(
        QStringLiteral("call-deadline"),
        QStringLiteral("Milliseconds a call that changes throttling may take in all (default: %1).")
            .arg(kCallDeadline.count()),
        QStringLiteral("MS"));
    const QCommandLineOption answerDeadlineOption(
        QStringLiteral("answer-deadline"),
        QStringLiteral("Milliseconds after which a changing call is answered even while its change "
                       "still runs (default: the call deadline)."),
        QStringLiteral("MS"));
    parser.addOptions({rootOption, busOption, backendOption, interfacesOption, netlinkOption,
                       timeLimitOption, callDeadlineOption, answerDeadlineOption});
    parser.process(app);

    const QString root = parser.value(rootOption);
    if (root.isEmpty() || !QDir::isAbsolutePath(root)) {
        std::fprintf(stderr, "veltrane-helper-sandbox: --root needs an absolute folder\n");
        return 2;
    }
    const EnginePaths paths = EnginePaths::underRoot(QDir::cleanPath(root).toStdString());

    std::optional<BackendKind> backend;
    const bool standIn = parser.value(backendOption) == QLatin1String("stand-in");
    if (parser.isSet(backendOption) && !standIn) {
        backend = backendKindFromName(parser.value(backendOption).toStdString());
        if (!backend) {
            std::fprintf(stderr, "veltrane-helper-sandbox: --backend is pf, tc or stand-in\n");
            return 2;
        }
    }
    std::optional<std::vector<std::string>> interfaces;
    if (parser.isSet(interfacesOption)) {
        try {
            interfaces = FixedUplinks::parseNames(parser.value(interfacesOption).toStdString());
        } catch (const std::invalid_argument& error) {
            std::fprintf(stderr, "veltrane-helper-sandbox: %s\n", error.what());
            return 2;
        }
    }

    std::chrono::milliseconds timeLimit = std::chrono::seconds(30);
    CallBudget budget;
    std::chrono::milliseconds answerAfter{0};
    for (const auto& [option, value] :
         {std::pair{&timeLimitOption, &timeLimit}, std::pair{&callDeadlineOption, &budget.total},
          std::pair{&answerDeadlineOption, &answerAfter}}) {
        if (parser.isSet(*option)) {
            bool valid = false;
            *value = std::chrono::milliseconds(parser.value(*option).toLongLong(&valid));
            if (!valid || value->count() <= 0) {
                std::fprintf(stderr, "veltrane-helper-sandbox: --%s needs milliseconds\n",
                             qPrintable(option->names().constFirst()));
                return 2;
            }
        }
    }
    budget.answer = parser.isSet(answerDeadlineOption) ? answerAfter : budget.total;

    const Logger logger;
    const CommandExecutor executor(logger, timeLimit);
    const BackendKind kind = backend.value_or(detectBackendKind(paths));
    const bool watchUplinks = kind == BackendKind::trafficControl && !interfaces;
    const bool netlink = parser.isSet(netlinkOption);
    HelperEngine engine = buildHelperEngine(
        logger,
        [&]() -> std::unique_ptr<ShapingBackend> {
            if (standIn) {
                return std::make_unique<StandInBackend>(
                    logger, QDir::cleanPath(root).toStdString() + "/run/veltrane/layout");
            }
            return makeShapingBackend(logger, executor, paths, kind, interfaces, netlink);
        },
        watchUplinks && !standIn);
    // A sandbox may imitate the cgroup hierarchy with plain folders; where
    // it links the real one, the real one is checked.
    CgroupHierarchy cgroups = CgroupHierarchy::of(paths.cgroupRoot);
    cgroups.checksFileSystem = CgroupHierarchy::isOnCgroup2(cgroups.root);
    return runHelperDaemon(chooseBus(parser.value(busOption)), logger, executor, std::move(engine),
                           paths, cgroups, budget);
}
