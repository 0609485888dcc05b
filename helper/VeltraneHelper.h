// SPDX-License-Identifier: MIT
#pragma once

#include "EngineThread.h"

#include <QDBusContext>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class Logger;
class QDBusServiceWatcher;
class ThrottlingManager;

// The object the daemon exports on the bus. It checks every request, runs
// engine work on the engine thread and always sends exactly one reply; no
// exception ever reaches the bus.
class VeltraneHelper final : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    using EngineFactory = std::function<std::unique_ptr<ThrottlingManager>()>;

    // The factory runs once, on the first call that needs the engine.
    VeltraneHelper(const Logger& logger, EngineFactory engineFactory, QObject* parent = nullptr);
    ~VeltraneHelper() override;

    // The bus methods, called by the generated adaptor. Where a reply has to
    // wait for the engine, the returned values are placeholders and the real
    // reply is sent later.
    bool EnableThrottling(qlonglong downloadBytesPerSecond, qlonglong uploadBytesPerSecond,
                          qlonglong latencyMs, double packetLossPercent, qlonglong dnsDelayMs,
                          QString& errorMessage);
    bool DisableThrottling(QString& errorMessage);
    bool GetStatus(QString& errorMessage);
    QString ApplyThrottling(qulonglong downloadBytesPerSecond, qulonglong uploadBytesPerSecond,
                            uint latencyMilliseconds, double packetLossPercent);
    QString RemoveThrottling();
    bool IsThrottlingActive(QString& errorMessage);
    QVariantMap GetThrottlingConfiguration(QString& errorMessage);
    QString GetVersion();
    bool HealthCheck();

private:
    // What an enable or apply replies: the failure text, empty on success.
    using EnableOutcome = std::function<QVariantList(const QString& failure)>;

    void enable(qlonglong downloadBytesPerSecond, qlonglong uploadBytesPerSecond,
                qlonglong latencyMs, double packetLossPercent, qlonglong dnsDelayMs,
                const EnableOutcome& outcome);
    void disable(QVariantList reply);
    void replyWithStatus(const std::function<QVariantList(bool active)>& reply);
    void replyLater(std::function<QVariantList()> work);
    void noteClient();
    void forgetClient(const QString& uniqueName);
    ThrottlingManager& engine();

    const Logger& m_logger;
    EngineFactory m_engineFactory;
    // Touched only on the engine thread, which serialises its creation.
    std::unique_ptr<ThrottlingManager> m_engine;
    QSet<QString> m_clients;
    QDBusServiceWatcher* m_clientWatcher = nullptr;
    // Last, so it is stopped (and its pending jobs finished) before the
    // members those jobs use are destroyed.
    EngineThread m_engineThread;
};
