// SPDX-License-Identifier: MIT
#include "HelperDaemon.h"

#include "HelperProtocol.h"
#include "HelperProtocolAdaptor.h"
#include "Logger.h"
#include "ThrottlingManager.h"

#include <QCoreApplication>

namespace {

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

} // namespace

VeltraneHelper::EngineFactory engineOnFirstUse(const Logger& logger,
                                               std::unique_ptr<ShapingBackend> backend) {
    // std::function must be copyable, so the backend waits in a shared slot.
    auto slot = std::make_shared<std::unique_ptr<ShapingBackend>>(std::move(backend));
    return
        [&logger, slot] { return std::make_unique<ThrottlingManager>(logger, std::move(*slot)); };
}

int runHelperDaemon(QDBusConnection bus, const Logger& logger,
                    VeltraneHelper::EngineFactory engineFactory) {
    if (!bus.isConnected()) {
        logger.log("Cannot connect to the bus: " + bus.lastError().message().toStdString());
        return 1;
    }

    VeltraneHelper helper(logger, std::move(engineFactory));
    new HelperProtocolAdaptor(&helper);
    if (!bus.registerObject(QString::fromUtf8(HelperProtocol::kObjectPath), &helper)) {
        logger.log("Cannot export the helper object: " + bus.lastError().message().toStdString());
        return 1;
    }

    BusLossWatcher lossWatcher;
    // QtDBus 6.4 subscribes to bus signals only by slot signature.
    bus.connect(QString(), QStringLiteral("/org/freedesktop/DBus/Local"),
                QStringLiteral("org.freedesktop.DBus.Local"), QStringLiteral("Disconnected"),
                &lossWatcher, SLOT(busLost()));

    if (!bus.registerService(QString::fromUtf8(HelperProtocol::kServiceName))) {
        logger.log("Cannot own the name " + std::string(HelperProtocol::kServiceName) + ": " +
                   bus.lastError().message().toStdString());
        return 1;
    }

    logger.log("Veltrane Helper v" + std::string(HelperProtocol::kVersion) + " started");
    return QCoreApplication::exec();
}

#include "HelperDaemon.moc"
