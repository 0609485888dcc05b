// SPDX-License-Identifier: MIT
#pragma once

#include "CallBudget.h"
#include "DelayedReply.h"
#include "EngineJobs.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class Authorization;
class ConnectionLog;
class Logger;
class ThrottleOwnership;
class ThrottlingManager;
struct ThrottleParameters;

// What the daemon answers on the bus: checks who may change throttling and
// with which values, runs engine work on the engine thread, keeps who owns
// the throttling and the state every client reads, and always sends exactly
// one reply; no exception ever reaches the bus. Lives on the main thread,
// where HelperBusObject hands it the calls that fit the interface.
class VeltraneHelper final : public QObject {
    Q_OBJECT

public:
    // `engine` may be null: then every call that needs it fails with
    // `engineFailure`, and the daemon stays up to say so.
    VeltraneHelper(const Logger& logger, ThrottlingManager* engine, std::string engineFailure,
                   Authorization& authorization, ConnectionLog& connections,
                   ThrottleOwnership& ownership, CallBudget budget = {}, QObject* parent = nullptr);
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

    // The members that give throttling an owner and publish its state.
    void EnableThrottlingAs(const DelayedReply<>& reply, qlonglong downloadBytesPerSecond,
                            qlonglong uploadBytesPerSecond, qlonglong latencyMs,
                            double packetLossPercent, qlonglong dnsDelayMs,
                            const QString& description, bool hold);
    // As EnableThrottlingAs, with the parameters named in a dictionary
    // (the keys of ThrottleParameters::fields()), so that more need no new
    // method.
    void EnableThrottlingWithParameters(const DelayedReply<>& reply, const QVariantMap& parameters,
                                        const QString& description, bool hold);
    void ReleaseThrottling(const DelayedReply<>& reply);
    void GetState(const DelayedReply<QVariantMap>& reply);

    // Before the daemon serves: removes what an earlier process left, or
    // applies afresh the throttling it held for a holder that `isOnBus`
    // says is still connected.
    void startUp(const std::function<bool(const QString& uniqueName)>& isOnBus);

    // A connection left the bus: throttling it held goes.
    void connectionClosed(const QString& uniqueName);

    // An uplink may have come or gone.
    void followUplinks();

    // For the daemon's exit: engine work still queued is answered with a
    // failure, the shaping is removed, and the engine thread ends. False
    // when that took longer than `limit`. With `keepHold`, held throttling
    // stays on file for the next process to apply afresh (startUp).
    bool stop(std::chrono::milliseconds limit, bool keepHold = false);

    // The state dictionary of GetState and StateChanged.
    QVariantMap state() const;
    // Announces the state as it is, for clients that watched for the helper
    // before it came: what its start found or restored.
    void announceState() { Q_EMIT stateChanged(state()); }

Q_SIGNALS:
    // After every change of the state or its owner, whatever caused it.
    void stateChanged(const QVariantMap& state);

private:
    // How a changing call is answered: an empty failure means success; the
    // error name is for the members that send named errors.
    using Answer = std::function<void(const char* errorName, const QString& failure)>;
    struct Call;
    struct Enable;

    void enable(Enable request);
    void enabled(const Enable& request, const std::shared_ptr<Call>& call,
                 const EngineJobs::Outcome& outcome);
    // Counts a held enable as finished; true when its caller left meanwhile.
    bool settleHold(const Enable& request);
    void disable(const QString& caller, Answer answer);
    // A call answered once: by its outcome, or at the end of its budget.
    std::shared_ptr<Call> open(Answer answer);
    // Removes the current owner's throttling, unless a change came after it;
    // logs `doneLine` when it did.
    void removeOwnedThrottling(std::string doneLine);
    // Takes in what a job that ran did to the engine's state.
    void takeIn(const EngineJobs::Outcome& outcome);
    // Announces the state when it differs from the one last announced.
    void publish();

    const Logger& m_logger;
    const QString m_engineFailure;
    Authorization& m_authorization;
    ConnectionLog& m_connections;
    ThrottleOwnership& m_ownership;

    // The state every read answers from, as the last finished job left it.
    bool m_active = false;
    QString m_cleanupFailure;
    QVariantMap m_published;
    quint64 m_serial = 0;

    // Held enables not yet finished, by caller, and those of them whose
    // caller has left meanwhile.
    QHash<QString, int> m_holdsInFlight;
    QSet<QString> m_departed;

    // Last, so that its jobs are finished before what they use goes.
    std::unique_ptr<EngineJobs> m_jobs;
};
