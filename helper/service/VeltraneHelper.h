// SPDX-License-Identifier: MIT
#pragma once

#include "DelayedReply.h"
#include "EngineThread.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

class Authorization;
class ConnectionLog;
class Logger;
class ThrottlingManager;
struct ThrottleParameters;

// What the daemon answers on the bus: checks who may change throttling and
// with which values, runs engine work on the engine thread, and always sends
// exactly one reply; no exception ever reaches the bus. Lives on the main
// thread, where HelperBusObject hands it the calls that fit the interface.
class VeltraneHelper final : public QObject {
    Q_OBJECT

public:
    // `engine` may be null: then every call that needs it fails with
    // `engineFailure`, and the daemon stays up to say so.
    VeltraneHelper(const Logger& logger, ThrottlingManager* engine, std::string engineFailure,
                   Authorization& authorization, ConnectionLog& connections,
                   QObject* parent = nullptr);
    ~VeltraneHelper() override;

    // The nine bus methods, in protocol order.
    void EnableThrottling(const DelayedReply<bool, QString>& reply,
                          qlonglong downloadBytesPerSecond, qlonglong uploadBytesPerSecond,
                          qlonglong latencyMs, double packetLossPercent, qlonglong dnsDelayMs);
    void DisableThrottling(const DelayedReply<bool, QString>& reply);
    void GetStatus(const DelayedReply<bool, QString>& reply);
    void ApplyThrottling(const DelayedReply<QString>& reply, qulonglong downloadBytesPerSecond,
                         qulonglong uploadBytesPerSecond, uint latencyMilliseconds,
                         double packetLossPercent);
    void RemoveThrottling(const DelayedReply<QString>& reply);
    void IsThrottlingActive(const DelayedReply<bool, QString>& reply);
    void GetThrottlingConfiguration(const DelayedReply<QVariantMap, QString>& reply);
    void GetVersion(const DelayedReply<QString>& reply);
    void HealthCheck(const DelayedReply<bool>& reply);

    // An uplink may have come or gone.
    void followUplinks();

    // For the daemon's exit: engine work still queued is answered with a
    // failure, the shaping is removed, and the engine thread ends. False
    // when that took longer than `limit`.
    bool stop(std::chrono::milliseconds limit);

private:
    // Sends the reply: an empty failure means success.
    using Outcome = std::function<void(const QString& failure)>;

    void enable(const QString& caller, const ThrottleParameters& parameters, Outcome outcome);
    void disable(const QString& caller, Outcome outcome);
    void readStatus(const QString& caller, std::function<void(bool active, const QString&)> reply);
    // Runs `work` on the engine thread; `done` gets the failure text.
    void onEngine(std::function<void(ThrottlingManager&)> work, Outcome done);

    const Logger& m_logger;
    ThrottlingManager* m_engine;
    const QString m_engineFailure;
    Authorization& m_authorization;
    ConnectionLog& m_connections;
    std::atomic<bool> m_stopping{false};
    // Last, so it is stopped (and its pending jobs finished) before the
    // members those jobs use are destroyed.
    EngineThread m_engineThread;
};
