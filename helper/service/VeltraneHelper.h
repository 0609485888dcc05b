// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationFollower.h"
#include "CallBudget.h"
#include "DelayedReply.h"
#include "EnableAdmission.h"
#include "EngineJobs.h"
#include "HoldRegistry.h"
#include "LeftoverThrottling.h"
#include "PendingCalls.h"
#include "SchedulePlayer.h"
#include "StatisticsReading.h"
#include "ThrottleEnding.h"

#include <QObject>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

class Authorization;
class ConnectionLog;
class Logger;
class StatePublisher;
class ThrottleOwnership;
class ThrottlingManager;

// What the daemon answers on the bus, one member per method of the
// interface: each logs its call, hands the work to the collaborator whose
// job it is, and always sends exactly one reply; no exception ever reaches
// the bus. Lives on the main thread, where HelperBusObject hands it the calls
// that fit the interface.
class VeltraneHelper final : public QObject {
    Q_OBJECT

public:
    // `engine` may be null: then every call that needs it fails with
    // `engineFailure`, and the daemon stays up to say so.
    // A command's scope is a cgroup of `cgroups`.
    VeltraneHelper(const Logger& logger, ThrottlingManager* engine, std::string engineFailure,
                   Authorization& authorization, ConnectionLog& connections,
                   ThrottleOwnership& ownership, StatePublisher& state, CallBudget budget = {},
                   CgroupHierarchy cgroups = CgroupHierarchy::of("/sys/fs/cgroup"),
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

    // The members that give throttling an owner and publish its state.
    void EnableThrottlingAs(const DelayedReply<>& reply, qlonglong downloadBytesPerSecond,
                            qlonglong uploadBytesPerSecond, qlonglong latencyMs,
                            double packetLossPercent, qlonglong dnsDelayMs,
                            const QString& description, bool hold);
    // As EnableThrottlingAs, with the parameters named in a dictionary
    // (the keys of ThrottleParameters::fields()), so that more need no new
    // method, and a scope beside them. Answers with the throttle's id.
    void EnableThrottlingWithParameters(const DelayedReply<qulonglong>& reply,
                                        const QVariantMap& parameters, const QString& description,
                                        bool hold);
    // Ends one throttle: for its owner, or whom polkit authorizes.
    void EndThrottle(const DelayedReply<>& reply, qulonglong id);
    void ReleaseThrottling(const DelayedReply<>& reply);
    void GetState(const DelayedReply<QVariantMap>& reply);
    // Open to every local caller, like GetState: the figures say how much
    // traffic passed, nothing of whose.
    void GetStatistics(const DelayedReply<QVariantMap>& reply);

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

private:
    void enable(EnableRequest request, PendingCalls::Answer answer);
    void enabled(const EnableRequest& request, const std::shared_ptr<PendingCalls::Call>& call,
                 const EngineJobs::Outcome& outcome);
    void disable(const QString& caller, PendingCalls::Answer answer);

    const Logger& m_logger;
    const QString m_engineFailure;
    ConnectionLog& m_connections;
    ThrottleOwnership& m_ownership;
    StatePublisher& m_state;

    // Ended first (see the destructor), though made first for the
    // collaborators below that post to it.
    std::unique_ptr<EngineJobs> m_jobs;
    PendingCalls m_calls;
    EnableAdmission m_admission;
    HoldRegistry m_holds;
    LeftoverThrottling m_leftovers;
    ThrottleEnding m_ending;
    // Beside the engine's jobs, never behind them.
    std::unique_ptr<StatisticsReading> m_statistics;
    // Present with an engine.
    std::unique_ptr<SchedulePlayer> m_player;
    std::unique_ptr<ApplicationFollower> m_applications;
};
