// SPDX-License-Identifier: MIT
#include "HelperDaemon.h"

#include "CommandExecutor.h"
#include "ConnectionLog.h"
#include "HelperBusObject.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "PolkitAuthorization.h"
#include "StatePublisher.h"
#include "StopSignals.h"
#include "ThrottleOwnership.h"
#include "ThrottlingManager.h"
#include "Uplinks.h"
#include "VeltraneHelper.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFile>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdlib>

namespace {

using namespace std::chrono_literals;

// The whole stop takes at most 5 s: a tool still running is ended at once,
// the clean-up's own tools must be done by 4 s, and the engine thread gets
// half a second more before the process leaves without it.
constexpr auto kCleanupBudget = 4s;
constexpr auto kEngineThreadBudget = 4500ms;
// Links and routes change in bursts (an interface comes up, gets its
// address, then its routes): shape once the burst is over.
constexpr auto kUplinkSettleTime = 300ms;
constexpr int kBusQuestionTimeoutMs = 5'000;
// Within the 5 s that the whole stop may take.
constexpr int kStopQuestionTimeoutMs = 500;

// QtDBus keeps a process alive after its bus has gone; the bus's own
// Disconnected signal is the one sure sign, and then there is nobody left to
// serve.
class BusLossWatcher final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

public Q_SLOTS:
    void busLost() { QCoreApplication::exit(0); }
};

// Whether a connection is still on the bus. Bounded: the start waits for it.
bool isOnBus(QDBusConnection bus, const QString& uniqueName) {
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask.setArguments({uniqueName});
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kBusQuestionTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().value(0).toBool();
}

// Whether systemd is restarting the unit this process runs in (systemctl
// restart or try-restart): a hold then outlives the process, for the next one
// to apply afresh while its holder stays on the bus. Any other stop (systemctl
// stop, a package's removal, shutdown), and any stop without systemd, ends it.
// Bounded, as the stop waits for the answer.
bool unitIsRestarting(QDBusConnection bus) {
    QFile cgroup(QStringLiteral("/proc/self/cgroup"));
    if (!cgroup.open(QIODevice::ReadOnly)) {
        return false;
    }
    // The unified hierarchy's line: "0::/system.slice/com.veltrane.helper.service".
    QString unit;
    for (const QByteArray& line : cgroup.readAll().split('\n')) {
        if (line.startsWith("0::/")) {
            unit = QString::fromUtf8(line).section(QLatin1Char('/'), -1);
        }
    }
    if (!unit.endsWith(QLatin1String(".service"))) {
        return false;
    }
    const QString systemd = QStringLiteral("org.freedesktop.systemd1");
    const QDBusMessage reply =
        bus.call(QDBusMessage::createMethodCall(
                     systemd, QStringLiteral("/org/freedesktop/systemd1"),
                     systemd + QStringLiteral(".Manager"), QStringLiteral("ListJobs")),
                 QDBus::Block, kStopQuestionTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.signature() != "a(usssoo)") {
        return false;
    }
    // Each job: id, unit, type, state, job object, unit object.
    const auto jobs = reply.arguments().constFirst().value<QDBusArgument>();
    bool restarting = false;
    jobs.beginArray();
    while (!jobs.atEnd()) {
        uint id = 0;
        QString jobUnit;
        QString type;
        QString state;
        QDBusObjectPath job;
        QDBusObjectPath unitObject;
        jobs.beginStructure();
        jobs >> id >> jobUnit >> type >> state >> job >> unitObject;
        jobs.endStructure();
        restarting = restarting || (jobUnit == unit && (type == QLatin1String("restart") ||
                                                        type == QLatin1String("try-restart")));
    }
    jobs.endArray();
    return restarting;
}

} // namespace

HelperEngine buildHelperEngine(const Logger& logger,
                               const std::function<std::unique_ptr<ShapingBackend>()>& makeBackend,
                               bool watchUplinks) {
    HelperEngine parts;
    try {
        parts.engine = std::make_unique<ThrottlingManager>(logger, makeBackend());
    } catch (const std::exception& error) {
        parts.engine.reset();
        parts.failure = error.what();
        logger.log("Cannot start the throttling engine: " + parts.failure);
        return parts;
    }
    if (watchUplinks) {
        try {
            parts.uplinkMonitor = std::make_unique<UplinkMonitor>();
        } catch (const std::exception& error) {
            // Shaping still works; only uplinks that appear later are missed.
            logger.log(std::string("Cannot watch the network interfaces: ") + error.what());
        }
    }
    return parts;
}

int runHelperDaemon(QDBusConnection bus, const Logger& logger, const CommandExecutor& executor,
                    HelperEngine parts, const EnginePaths& paths, const CgroupHierarchy& cgroups,
                    CallBudget budget) {
    // The state's list of throttles goes as aa{sv}, not as variants.
    qDBusRegisterMetaType<QList<QVariantMap>>();
    ThrottleOwnership ownership(logger, paths.ownerRecord);
    if (!bus.isConnected()) {
        logger.log("Cannot connect to the bus: " + bus.lastError().message().toStdString());
        // No holder can be watched from here: what an earlier process left
        // goes, held or not.
        if (parts.engine) {
            parts.engine->removeLeftovers();
        }
        ownership.clear();
        return 1;
    }

    // Subscribed before the start asks whether a holder is still there, so
    // that its leaving cannot fall between the two.
    ConnectionLog connections(logger, bus);
    PolkitAuthorization authorization(bus);
    StatePublisher state(ownership);
    VeltraneHelper helper(logger, parts.engine.get(), parts.failure, authorization, connections,
                          ownership, state, budget, cgroups);
    QObject::connect(&connections, &ConnectionLog::connectionClosed, &helper,
                     &VeltraneHelper::connectionClosed);
    QObject::connect(&state, &StatePublisher::stateChanged, [bus](const QVariantMap& announced) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QString::fromUtf8(HelperProtocol::kObjectPath),
            QString::fromUtf8(HelperProtocol::kInterfaceName), QStringLiteral("StateChanged"));
        signal.setArguments({announced});
        bus.send(signal);
    });
    helper.startUp([bus](const QString& uniqueName) { return isOnBus(bus, uniqueName); });
    HelperBusObject busObject(helper);
    if (!bus.registerVirtualObject(QString::fromUtf8(HelperProtocol::kObjectPath), &busObject)) {
        logger.log("Cannot export the helper object: " + bus.lastError().message().toStdString());
        helper.stop(kEngineThreadBudget);
        return 1;
    }

    BusLossWatcher lossWatcher;
    // QtDBus 6.4 subscribes to bus signals only by slot signature.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"),
                &lossWatcher, SLOT(busLost()));
    StopSignals stopSignals;
    bool restarting = false;
    QObject::connect(
        &stopSignals, &StopSignals::stopRequested, [&logger, &restarting, bus](int signal) {
            logger.log(signal == SIGTERM ? "Stopping on SIGTERM" : "Stopping on SIGINT");
            restarting = signal == SIGTERM && unitIsRestarting(bus);
            QCoreApplication::exit(0);
        });

    QTimer uplinkSettle;
    uplinkSettle.setSingleShot(true);
    uplinkSettle.setInterval(kUplinkSettleTime);
    QObject::connect(&uplinkSettle, &QTimer::timeout, &helper, &VeltraneHelper::followUplinks);
    std::unique_ptr<QSocketNotifier> uplinkEvents;
    if (parts.uplinkMonitor) {
        uplinkEvents =
            std::make_unique<QSocketNotifier>(parts.uplinkMonitor->fd(), QSocketNotifier::Read);
        QObject::connect(uplinkEvents.get(), &QSocketNotifier::activated, [&] {
            if (parts.uplinkMonitor->takeChanges()) {
                uplinkSettle.start();
            }
        });
    }

    if (!bus.registerService(QString::fromUtf8(HelperProtocol::kServiceName))) {
        logger.log("Cannot own the name " + std::string(HelperProtocol::kServiceName) + ": " +
                   bus.lastError().message().toStdString());
        helper.stop(kEngineThreadBudget);
        return 1;
    }

    logger.log("Veltrane Helper v" + std::string(HelperProtocol::kVersion) + " started");
    state.announce();
    const int status = QCoreApplication::exec();

    executor.endRunsBy(std::chrono::steady_clock::now() + kCleanupBudget);
    if (!helper.stop(kEngineThreadBudget, restarting)) {
        logger.log("Exiting with the engine still busy");
        std::_Exit(status);
    }
    logger.log("Veltrane Helper stopped");
    return status;
}

#include "HelperDaemon.moc"
