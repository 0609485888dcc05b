// SPDX-License-Identifier: MIT
#include "VeltraneHelper.h"

#include "DecimalFormat.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "ThrottleParameters.h"
#include "ThrottlingManager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>

#include <limits>

namespace {

QString describe(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

// The unsigned wire values of apply, in the engine's signed type. Anything
// from 2^63 up becomes the largest signed value, which the check then
// refuses with the "exceeds" message of the same direction.
qlonglong clampedToSigned(qulonglong value) {
    constexpr auto largest = static_cast<qulonglong>(std::numeric_limits<qlonglong>::max());
    return static_cast<qlonglong>(std::min(value, largest));
}

QString enableCallLine(const QString& down, const QString& up, const QString& latency, double loss,
                       const QString& dns) {
    return QStringLiteral("enableThrottling called: down=%1 up=%2 latency=%3 loss=%4 dns=%5")
        .arg(down, up, latency, QString::fromStdString(formatShortestDecimal(loss)), dns);
}

} // namespace

VeltraneHelper::VeltraneHelper(const Logger& logger, EngineFactory engineFactory, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_engineFactory(std::move(engineFactory)) {}

VeltraneHelper::~VeltraneHelper() = default;

bool VeltraneHelper::EnableThrottling(qlonglong downloadBytesPerSecond,
                                      qlonglong uploadBytesPerSecond, qlonglong latencyMs,
                                      double packetLossPercent, qlonglong dnsDelayMs,
                                      QString& errorMessage) {
    noteClient();
    m_logger.log(enableCallLine(QString::number(downloadBytesPerSecond),
                                QString::number(uploadBytesPerSecond), QString::number(latencyMs),
                                packetLossPercent, QString::number(dnsDelayMs))
                     .toStdString());
    enable(downloadBytesPerSecond, uploadBytesPerSecond, latencyMs, packetLossPercent, dnsDelayMs,
           [](const QString& failure) {
               return QVariantList{failure.isEmpty(), failure};
           });
    errorMessage.clear();
    return false;
}

QString VeltraneHelper::ApplyThrottling(qulonglong downloadBytesPerSecond,
                                        qulonglong uploadBytesPerSecond, uint latencyMilliseconds,
                                        double packetLossPercent) {
    noteClient();
    m_logger.log(enableCallLine(
                     QString::number(downloadBytesPerSecond), QString::number(uploadBytesPerSecond),
                     QString::number(latencyMilliseconds), packetLossPercent, QStringLiteral("0"))
                     .toStdString());
    enable(clampedToSigned(downloadBytesPerSecond), clampedToSigned(uploadBytesPerSecond),
           latencyMilliseconds, packetLossPercent, 0,
           [](const QString& failure) { return QVariantList{failure}; });
    return {};
}

void VeltraneHelper::enable(qlonglong downloadBytesPerSecond, qlonglong uploadBytesPerSecond,
                            qlonglong latencyMs, double packetLossPercent, qlonglong dnsDelayMs,
                            const EnableOutcome& outcome) {
    const ThrottleParameters parameters{downloadBytesPerSecond, uploadBytesPerSecond, latencyMs,
                                        packetLossPercent, dnsDelayMs};
    if (const auto failure = checkThrottleParameters(parameters)) {
        m_logger.log("Validation failed: " + *failure);
        setDelayedReply(true);
        connection().send(message().createReply(outcome(QString::fromStdString(*failure))));
        return;
    }
    replyLater([this, parameters, outcome] {
        try {
            engine().enableThrottling(parameters.downloadBytesPerSecond,
                                      parameters.uploadBytesPerSecond, parameters.latencyMs,
                                      parameters.packetLossPercent, parameters.dnsDelayMs);
            return outcome({});
        } catch (const std::exception& error) {
            m_logger.log("Failed to enable throttling: " + std::string(error.what()));
            return outcome(describe(error));
        } catch (...) {
            const QString unknown = QStringLiteral("Unknown error");
            m_logger.log("Failed to enable throttling: " + unknown.toStdString());
            return outcome(unknown);
        }
    });
}

bool VeltraneHelper::DisableThrottling(QString& errorMessage) {
    disable({true, QString()});
    errorMessage.clear();
    return false;
}

QString VeltraneHelper::RemoveThrottling() {
    disable({QString()});
    return {};
}

void VeltraneHelper::disable(QVariantList reply) {
    noteClient();
    m_logger.log("disableThrottling called");
    replyLater([this, reply = std::move(reply)] {
        engine().disableThrottling();
        return reply;
    });
}

bool VeltraneHelper::GetStatus(QString& errorMessage) {
    replyWithStatus([](bool active) { return QVariantList{active, QString()}; });
    errorMessage.clear();
    return false;
}

bool VeltraneHelper::IsThrottlingActive(QString& errorMessage) {
    return GetStatus(errorMessage);
}

QVariantMap VeltraneHelper::GetThrottlingConfiguration(QString& errorMessage) {
    replyWithStatus([](bool active) {
        QVariantMap configuration;
        if (active) {
            configuration.insert(QString::fromUtf8(HelperProtocol::kIsActiveKey), true);
        }
        return QVariantList{configuration, QString()};
    });
    errorMessage.clear();
    return {};
}

void VeltraneHelper::replyWithStatus(const std::function<QVariantList(bool active)>& reply) {
    noteClient();
    // Through the engine thread as well: the answer must reflect every
    // enable and disable sent before it.
    replyLater([this, reply] { return reply(engine().isActive()); });
}

QString VeltraneHelper::GetVersion() {
    noteClient();
    return QString::fromUtf8(HelperProtocol::kVersion);
}

bool VeltraneHelper::HealthCheck() {
    noteClient();
    return true;
}

void VeltraneHelper::replyLater(std::function<QVariantList()> work) {
    setDelayedReply(true);
    m_engineThread.post([call = message(), bus = connection(), work = std::move(work)]() mutable {
        bus.send(call.createReply(work()));
    });
}

ThrottlingManager& VeltraneHelper::engine() {
    if (!m_engine) {
        m_engine = m_engineFactory();
    }
    return *m_engine;
}

void VeltraneHelper::noteClient() {
    const QString client = message().service();
    if (client.isEmpty() || m_clients.contains(client)) {
        return;
    }
    if (m_clientWatcher == nullptr) {
        m_clientWatcher = new QDBusServiceWatcher(
            QString(), connection(), QDBusServiceWatcher::WatchForUnregistration, this);
        connect(m_clientWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
                &VeltraneHelper::forgetClient);
    }
    m_clients.insert(client);
    m_clientWatcher->addWatchedService(client);
    m_logger.log("Accepted new XPC connection");
}

void VeltraneHelper::forgetClient(const QString& uniqueName) {
    if (!m_clients.remove(uniqueName)) {
        return;
    }
    m_clientWatcher->removeWatchedService(uniqueName);
    m_logger.log("XPC connection invalidated");
}
