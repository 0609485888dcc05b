// SPDX-License-Identifier: MIT
#include "VeltraneHelper.h"

#include "Authorization.h"
#include "ConnectionLog.h"
#include "DecimalFormat.h"
#include "EnableRequest.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "ParameterDictionary.h"
#include "StatePublisher.h"
#include "StatisticsDictionary.h"
#include "StatisticsWire.h"
#include "ThrottleOwnership.h"
#include "ThrottleParameters.h"
#include "ThrottlingManager.h"

#include <QDateTime>

#include <algorithm>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace Error = HelperProtocol::Error;

// The unsigned wire values of apply, in the engine's signed type. Anything
// from 2^63 up becomes the largest signed value, which the check then
// refuses with the "exceeds" message of the same direction.
qlonglong clampedToSigned(qulonglong value) {
    constexpr auto largest = static_cast<qulonglong>(std::numeric_limits<qlonglong>::max());
    return static_cast<qlonglong>(std::min(value, largest));
}

std::string enableCallLine(const char* method, const QString& down, const QString& up,
                           const QString& latency, double loss, const QString& dns) {
    return QStringLiteral("%1 called: down=%2 up=%3 latency=%4 loss=%5 dns=%6")
        .arg(QString::fromLatin1(method), down, up, latency,
             QString::fromStdString(formatShortestDecimal(loss)), dns)
        .toStdString();
}

} // namespace

VeltraneHelper::VeltraneHelper(const Logger& logger, ThrottlingManager* engine,
                               std::string engineFailure, Authorization& authorization,
                               ConnectionLog& connections, ThrottleOwnership& ownership,
                               StatePublisher& state, CallBudget budget, CgroupHierarchy cgroups,
                               QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_engineFailure(QStringLiteral("The throttling engine could not start: ") +
                      QString::fromStdString(engineFailure))
    , m_connections(connections)
    , m_ownership(ownership)
    , m_state(state)
    , m_jobs(engine != nullptr ? std::make_unique<EngineJobs>(logger, *engine, budget) : nullptr)
    , m_calls(logger, m_jobs.get())
    , m_admission(logger, authorization, connections, m_jobs ? QString() : m_engineFailure, cgroups)
    , m_holds(logger, ownership, m_jobs.get(), state)
    , m_leftovers(logger, m_jobs.get(), ownership, state, ApplicationCgroups(cgroups, "/proc"))
    , m_ending(logger, authorization, ownership, m_jobs.get(), m_calls, state,
               m_jobs ? QString() : m_engineFailure) {
    if (engine != nullptr) {
        m_statistics =
            std::make_unique<StatisticsReading>(logger, [engine] { return engine->statistics(); });
        // Figures read before a change say nothing of the shaping after it.
        connect(&state, &StatePublisher::stateChanged, m_statistics.get(),
                &StatisticsReading::forget);
        m_player = std::make_unique<SchedulePlayer>(logger, *m_jobs, ownership, state,
                                                    &QDateTime::currentMSecsSinceEpoch);
        // Every way a throttle ends (its end, a switch-off, its holder gone,
        // a replacement) is announced: its schedule ends with it.
        connect(&state, &StatePublisher::stateChanged, m_player.get(),
                &SchedulePlayer::keepToRecord);
        m_applications = std::make_unique<ApplicationFollower>(
            logger, *m_jobs, ownership, state, ApplicationCgroups(cgroups, "/proc"));
        // Throttles come and go with the state; so do the users whose
        // slices are watched.
        connect(&state, &StatePublisher::stateChanged, m_applications.get(),
                &ApplicationFollower::keepToRecord);
    }
}

VeltraneHelper::~VeltraneHelper() {
    // Its jobs are finished before what their outcomes reach goes.
    m_jobs.reset();
    m_statistics.reset();
}

void VeltraneHelper::EnableThrottling(const DelayedReply<bool, QString>& reply,
                                      qlonglong downloadBytesPerSecond,
                                      qlonglong uploadBytesPerSecond, qlonglong latencyMs,
                                      double packetLossPercent, qlonglong dnsDelayMs) {
    m_connections.noteCaller(reply.caller());
    m_logger.log(enableCallLine("enableThrottling", QString::number(downloadBytesPerSecond),
                                QString::number(uploadBytesPerSecond), QString::number(latencyMs),
                                packetLossPercent, QString::number(dnsDelayMs)));
    enable(
        {reply.caller(),
         {downloadBytesPerSecond, uploadBytesPerSecond, latencyMs, packetLossPercent, dnsDelayMs},
         QString(),
         false,
         EngineJobs::Clock::now()},
        [reply](const char*, const QString& failure, quint64) {
            reply.send(failure.isEmpty(), failure);
        });
}

void VeltraneHelper::ApplyThrottling(const DelayedReply<QString>& reply,
                                     qulonglong downloadBytesPerSecond,
                                     qulonglong uploadBytesPerSecond, uint latencyMilliseconds,
                                     double packetLossPercent) {
    m_connections.noteCaller(reply.caller());
    m_logger.log(enableCallLine("enableThrottling", QString::number(downloadBytesPerSecond),
                                QString::number(uploadBytesPerSecond),
                                QString::number(latencyMilliseconds), packetLossPercent,
                                QStringLiteral("0")));
    enable({reply.caller(),
            {clampedToSigned(downloadBytesPerSecond), clampedToSigned(uploadBytesPerSecond),
             latencyMilliseconds, packetLossPercent, 0},
            QString(),
            false,
            EngineJobs::Clock::now()},
           [reply](const char*, const QString& failure, quint64) { reply.send(failure); });
}

void VeltraneHelper::EnableThrottlingAs(const DelayedReply<>& reply,
                                        qlonglong downloadBytesPerSecond,
                                        qlonglong uploadBytesPerSecond, qlonglong latencyMs,
                                        double packetLossPercent, qlonglong dnsDelayMs,
                                        const QString& description, bool hold) {
    m_connections.noteCaller(reply.caller());
    m_logger.log(enableCallLine("enableThrottlingAs", QString::number(downloadBytesPerSecond),
                                QString::number(uploadBytesPerSecond), QString::number(latencyMs),
                                packetLossPercent, QString::number(dnsDelayMs)) +
                 (hold ? " held" : ""));
    enable(
        {reply.caller(),
         {downloadBytesPerSecond, uploadBytesPerSecond, latencyMs, packetLossPercent, dnsDelayMs},
         description,
         hold,
         EngineJobs::Clock::now()},
        PendingCalls::namedErrorsTo(reply));
}

void VeltraneHelper::EnableThrottlingWithParameters(const DelayedReply<qulonglong>& reply,
                                                    const QVariantMap& parameters,
                                                    const QString& description, bool hold) {
    m_connections.noteCaller(reply.caller());
    std::string line;
    EnableRequest request = EnableRequest::fromNamedParameters(
        reply.caller(), parameters, description, hold, EngineJobs::Clock::now(), line);
    m_logger.log(line);
    enable(std::move(request), PendingCalls::namedErrorsTo(reply));
}

void VeltraneHelper::enable(EnableRequest request, PendingCalls::Answer answer) {
    m_holds.arrived(request);
    const auto call = m_calls.open(std::move(answer));
    m_admission.admit(
        std::move(request),
        [this, call](EnableRequest admitted) {
            const ThrottleParameters parameters = admitted.parameters;
            const ThrottleScope scope = admitted.scope;
            const ThrottleSchedule schedule = admitted.schedule;
            const auto arrived = admitted.arrived;
            m_jobs->enable(
                parameters, scope, schedule, arrived,
                [this, request = std::move(admitted), call](const EngineJobs::Outcome& outcome) {
                    enabled(request, call, outcome);
                });
        },
        [this, call](const EnableRequest& refused, const char* errorName, const QString& failure) {
            m_holds.settle(refused);
            call->finish(errorName, failure);
        });
}

void VeltraneHelper::enabled(const EnableRequest& request,
                             const std::shared_ptr<PendingCalls::Call>& call,
                             const EngineJobs::Outcome& outcome) {
    const bool departed = m_holds.settle(request);
    const bool succeeded = outcome.failure.isEmpty();
    if (succeeded) {
        // Its first step is in force from now: the schedule's clock starts.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        m_ownership.take(outcome.id, {{request.caller, request.uid, request.pid,
                                       request.description, now, request.hold},
                                      request.parameters,
                                      request.scope,
                                      request.schedule,
                                      now});
        m_player->play(outcome.id);
    } else {
        m_logger.log("Failed to enable throttling: " + outcome.failure.toStdString());
    }
    // A whole-machine throttle it replaced has no owner any more.
    m_state.settle(outcome);
    const bool answered = call->finish(succeeded          ? nullptr
                                       : outcome.timedOut ? Error::kTimedOut
                                                          : Error::kFailed,
                                       outcome.failure, outcome.id);
    if (succeeded && !answered) {
        // Its caller was told at the deadline that it failed: it must not stay.
        m_holds.endThrottle(outcome.id, "Removed throttling switched on after its call's deadline");
    } else if (succeeded && departed) {
        m_holds.holderLeft(outcome.id);
    }
}

void VeltraneHelper::DisableThrottling(const DelayedReply<bool, QString>& reply) {
    disable(reply.caller(), [reply](const char*, const QString& failure, quint64) {
        reply.send(failure.isEmpty(), failure);
    });
}

void VeltraneHelper::RemoveThrottling(const DelayedReply<QString>& reply) {
    disable(reply.caller(),
            [reply](const char*, const QString& failure, quint64) { reply.send(failure); });
}

void VeltraneHelper::disable(const QString& caller, PendingCalls::Answer answer) {
    m_connections.noteCaller(caller);
    m_logger.log("disableThrottling called");
    m_ending.endAll(caller, std::move(answer));
}

void VeltraneHelper::EndThrottle(const DelayedReply<>& reply, qulonglong id) {
    m_connections.noteCaller(reply.caller());
    m_logger.log("endThrottle called: id=" + std::to_string(id));
    m_ending.endOne(reply.caller(), id, PendingCalls::namedErrorsTo(reply));
}

void VeltraneHelper::GetStatus(const DelayedReply<bool, QString>& reply) {
    // From the state the last finished change left: never behind a change
    // still running.
    m_connections.noteCaller(reply.caller());
    reply.send(m_state.isActive(), QString());
}

void VeltraneHelper::IsThrottlingActive(const DelayedReply<bool, QString>& reply) {
    GetStatus(reply);
}

void VeltraneHelper::GetThrottlingConfiguration(const DelayedReply<QVariantMap, QString>& reply) {
    m_connections.noteCaller(reply.caller());
    QVariantMap configuration;
    if (m_state.isActive()) {
        configuration.insert(QString::fromUtf8(HelperProtocol::kIsActiveKey), true);
    }
    reply.send(configuration, QString());
}

void VeltraneHelper::GetVersion(const DelayedReply<QString>& reply) {
    m_connections.noteCaller(reply.caller());
    reply.send(QString::fromUtf8(HelperProtocol::kVersion));
}

void VeltraneHelper::HealthCheck(const DelayedReply<bool>& reply) {
    m_connections.noteCaller(reply.caller());
    reply.send(true);
}

void VeltraneHelper::ReleaseThrottling(const DelayedReply<>& reply) {
    m_connections.noteCaller(reply.caller());
    const std::vector<quint64> held = m_ownership.heldBy(reply.caller());
    if (!m_ownership.release(reply.caller())) {
        reply.sendError(QString::fromLatin1(Error::kNotHolder),
                        QStringLiteral("Only the holder of the throttling can release it"));
        return;
    }
    for (const quint64 id : held) {
        m_logger.log("Throttling held by " + m_ownership.find(id)->owner.name() + " released");
    }
    m_state.publish();
    reply.send();
}

void VeltraneHelper::GetState(const DelayedReply<QVariantMap>& reply) {
    m_connections.noteCaller(reply.caller());
    reply.send(m_state.state());
}

void VeltraneHelper::GetStatistics(const DelayedReply<QVariantMap>& reply) {
    m_connections.noteCaller(reply.caller());
    if (!m_statistics || !m_state.isActive()) {
        reply.send(StatisticsDictionary::toWire({}));
        return;
    }
    m_statistics->read([this, reply](const StatisticsReading::Reading& reading) {
        if (!reading.failure.isEmpty()) {
            reply.sendError(QString::fromLatin1(Error::kFailed), reading.failure);
            return;
        }
        reply.send(StatisticsDictionary::toWire(
            statisticsOf(reading, m_ownership, QDateTime::currentMSecsSinceEpoch())));
    });
}

void VeltraneHelper::startUp(const std::function<bool(const QString&)>& isOnBus) {
    m_leftovers.settle(isOnBus);
    if (!m_player) {
        return;
    }
    for (const auto& [id, record] : m_ownership.throttles()) {
        m_player->play(id);
    }
    m_state.publish();
}

void VeltraneHelper::connectionClosed(const QString& uniqueName) {
    m_holds.connectionClosed(uniqueName);
}

void VeltraneHelper::followUplinks() {
    if (m_jobs) {
        m_jobs->followUplinks();
    }
}

bool VeltraneHelper::stop(std::chrono::milliseconds limit, bool keepHold) {
    const auto stopBy = std::chrono::steady_clock::now() + limit;
    if (m_player) {
        m_player->stopAll();
    }
    bool stopped = !m_jobs || m_jobs->stop(limit);
    if (m_statistics) {
        // What is left of the limit: the executor has ended its tool already.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            stopBy - std::chrono::steady_clock::now());
        stopped = m_statistics->stop(std::max(left, std::chrono::milliseconds(0))) && stopped;
    }
    // Everything is removed on the way out, held or not: no one is left to
    // watch a holder. After the last outcomes, which may name an owner.
    bool kept = false;
    for (const auto& [id, record] : m_ownership.throttles()) {
        if (keepHold && record.owner.held) {
            m_logger.log("Keeping the hold of " + record.owner.name() + " for the next helper");
            kept = true;
        }
    }
    if (kept) {
        m_ownership.keepHeldOnly();
    } else {
        m_ownership.clear();
    }
    return stopped;
}
