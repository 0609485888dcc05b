// SPDX-License-Identifier: MIT
#include "VeltraneHelper.h"

#include "Authorization.h"
#include "ConnectionLog.h"
#include "DecimalFormat.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "ThrottleParameters.h"
#include "ThrottlingManager.h"

#include <limits>
#include <memory>

namespace {

const QString kNotAuthorized = QStringLiteral("Not authorized to change network throttling");

// The unsigned wire values of apply, in the engine's signed type. Anything
// from 2^63 up becomes the largest signed value, which the check then
// refuses with the "exceeds" message of the same direction.
qlonglong clampedToSigned(qulonglong value) {
    constexpr auto largest = static_cast<qulonglong>(std::numeric_limits<qlonglong>::max());
    return static_cast<qlonglong>(std::min(value, largest));
}

std::string enableCallLine(const QString& down, const QString& up, const QString& latency,
                           double loss, const QString& dns) {
    return QStringLiteral("enableThrottling called: down=%1 up=%2 latency=%3 loss=%4 dns=%5")
        .arg(down, up, latency, QString::fromStdString(formatShortestDecimal(loss)), dns)
        .toStdString();
}

} // namespace

VeltraneHelper::VeltraneHelper(const Logger& logger, ThrottlingManager* engine,
                               std::string engineFailure, Authorization& authorization,
                               ConnectionLog& connections, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_engine(engine)
    , m_engineFailure(QStringLiteral("The throttling engine could not start: ") +
                      QString::fromStdString(engineFailure))
    , m_authorization(authorization)
    , m_connections(connections) {}

VeltraneHelper::~VeltraneHelper() = default;

void VeltraneHelper::EnableThrottling(const DelayedReply<bool, QString>& reply,
                                      qlonglong downloadBytesPerSecond,
                                      qlonglong uploadBytesPerSecond, qlonglong latencyMs,
                                      double packetLossPercent, qlonglong dnsDelayMs) {
    m_connections.noteCaller(reply.caller());
    m_logger.log(enableCallLine(QString::number(downloadBytesPerSecond),
                                QString::number(uploadBytesPerSecond), QString::number(latencyMs),
                                packetLossPercent, QString::number(dnsDelayMs)));
    enable(reply.caller(),
           {downloadBytesPerSecond, uploadBytesPerSecond, latencyMs, packetLossPercent, dnsDelayMs},
           [reply](const QString& failure) { reply.send(failure.isEmpty(), failure); });
}

void VeltraneHelper::ApplyThrottling(const DelayedReply<QString>& reply,
                                     qulonglong downloadBytesPerSecond,
                                     qulonglong uploadBytesPerSecond, uint latencyMilliseconds,
                                     double packetLossPercent) {
    m_connections.noteCaller(reply.caller());
    m_logger.log(enableCallLine(
        QString::number(downloadBytesPerSecond), QString::number(uploadBytesPerSecond),
        QString::number(latencyMilliseconds), packetLossPercent, QStringLiteral("0")));
    enable(reply.caller(),
           {clampedToSigned(downloadBytesPerSecond), clampedToSigned(uploadBytesPerSecond),
            latencyMilliseconds, packetLossPercent, 0},
           [reply](const QString& failure) { reply.send(failure); });
}

void VeltraneHelper::enable(const QString& caller, const ThrottleParameters& parameters,
                            Outcome outcome) {
    // Who asks is settled before what is asked: a refused caller learns
    // nothing about the values.
    m_authorization.check(caller, [this, parameters,
                                   outcome = std::move(outcome)](Authorization::Decision decision) {
        if (!decision.allowed) {
            m_logger.log("Authorization denied for uid " +
                         (decision.uid ? std::to_string(*decision.uid) : std::string("unknown")));
            outcome(kNotAuthorized);
            return;
        }
        if (const auto failure = checkThrottleParameters(parameters)) {
            m_logger.log("Validation failed: " + *failure);
            outcome(QString::fromStdString(*failure));
            return;
        }
        onEngine(
            [parameters](ThrottlingManager& engine) {
                engine.enableThrottling(parameters.downloadBytesPerSecond,
                                        parameters.uploadBytesPerSecond, parameters.latencyMs,
                                        parameters.packetLossPercent, parameters.dnsDelayMs);
            },
            [this, outcome](const QString& failure) {
                if (!failure.isEmpty()) {
                    m_logger.log("Failed to enable throttling: " + failure.toStdString());
                }
                outcome(failure);
            });
    });
}

void VeltraneHelper::DisableThrottling(const DelayedReply<bool, QString>& reply) {
    disable(reply.caller(),
            [reply](const QString& failure) { reply.send(failure.isEmpty(), failure); });
}

void VeltraneHelper::RemoveThrottling(const DelayedReply<QString>& reply) {
    disable(reply.caller(), [reply](const QString& failure) { reply.send(failure); });
}

void VeltraneHelper::disable(const QString& caller, Outcome outcome) {
    // Open to every local caller: switching shaping off only gives the
    // network back, and the application's quit clean-up must never be refused.
    m_connections.noteCaller(caller);
    m_logger.log("disableThrottling called");
    onEngine([](ThrottlingManager& engine) { engine.disableThrottling(); },
             [this, outcome = std::move(outcome)](const QString& failure) {
                 if (!failure.isEmpty()) {
                     m_logger.log("Failed to disable throttling: " + failure.toStdString());
                 }
                 outcome(failure);
             });
}

void VeltraneHelper::GetStatus(const DelayedReply<bool, QString>& reply) {
    readStatus(reply.caller(),
               [reply](bool active, const QString& failure) { reply.send(active, failure); });
}

void VeltraneHelper::IsThrottlingActive(const DelayedReply<bool, QString>& reply) {
    GetStatus(reply);
}

void VeltraneHelper::GetThrottlingConfiguration(const DelayedReply<QVariantMap, QString>& reply) {
    readStatus(reply.caller(), [reply](bool active, const QString& failure) {
        QVariantMap configuration;
        if (active) {
            configuration.insert(QString::fromUtf8(HelperProtocol::kIsActiveKey), true);
        }
        reply.send(configuration, failure);
    });
}

void VeltraneHelper::readStatus(const QString& caller,
                                std::function<void(bool active, const QString&)> reply) {
    m_connections.noteCaller(caller);
    // Through the engine thread as well: the answer must reflect every
    // enable and disable sent before it.
    auto active = std::make_shared<bool>(false);
    onEngine(
        [active](ThrottlingManager& engine) { *active = engine.isActive(); },
        [active, reply = std::move(reply)](const QString& failure) { reply(*active, failure); });
}

void VeltraneHelper::GetVersion(const DelayedReply<QString>& reply) {
    m_connections.noteCaller(reply.caller());
    reply.send(QString::fromUtf8(HelperProtocol::kVersion));
}

void VeltraneHelper::HealthCheck(const DelayedReply<bool>& reply) {
    m_connections.noteCaller(reply.caller());
    reply.send(true);
}

void VeltraneHelper::onEngine(std::function<void(ThrottlingManager&)> work, Outcome done) {
    if (m_engine == nullptr) {
        done(m_engineFailure);
        return;
    }
    m_engineThread.post([this, work = std::move(work), done = std::move(done)] {
        QString failure;
        bool succeeded = false;
        if (m_stopping) {
            failure = QStringLiteral("The helper is stopping");
        } else {
            try {
                work(*m_engine);
                succeeded = true;
            } catch (const std::exception& error) {
                failure = QString::fromUtf8(error.what());
            } catch (...) {
            }
            // Reached with an empty text only by an error without one.
            if (failure.isEmpty() && !succeeded) {
                failure = QStringLiteral("Unknown error");
            }
        }
        try {
            done(failure);
        } catch (...) {
            // Replying failed for lack of memory: the caller's bus call
            // times out, the daemon carries on.
        }
    });
}

void VeltraneHelper::followUplinks() {
    if (m_engine != nullptr && !m_stopping) {
        m_engineThread.post([this] {
            if (!m_stopping) {
                m_engine->followUplinks();
            }
        });
    }
}

bool VeltraneHelper::stop(std::chrono::milliseconds limit) {
    m_stopping = true;
    if (m_engine != nullptr) {
        m_engineThread.post([this] { m_engine->shutDown(); });
    }
    return m_engineThread.finish(limit);
}
