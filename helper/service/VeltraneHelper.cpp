// SPDX-License-Identifier: MIT
#include "VeltraneHelper.h"

#include "Authorization.h"
#include "ConnectionLog.h"
#include "DecimalFormat.h"
#include "HelperProtocol.h"
#include "Logger.h"
#include "ParameterDictionary.h"
#include "ThrottleOwnership.h"
#include "ThrottleParameters.h"
#include "ThrottlingManager.h"

#include <QDateTime>
#include <QTimer>

#include <limits>

namespace {

namespace Error = HelperProtocol::Error;

const QString kNotAuthorized = QStringLiteral("Not authorized to change network throttling");

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

// The answer of the members that report a failure as a named bus error.
auto namedErrorsTo(const DelayedReply<>& reply) {
    return [reply](const char* errorName, const QString& failure) {
        if (failure.isEmpty()) {
            reply.send();
        } else {
            reply.sendError(QString::fromLatin1(errorName), failure);
        }
    };
}

std::string heldRemovalLine(const ThrottleOwnership::Owner& owner) {
    return "Removed throttling held by " + owner.name() + ": its owner disconnected";
}

} // namespace

// One changing call: answered exactly once, by its outcome or at the end of
// its budget, whichever comes first.
struct VeltraneHelper::Call {
    Answer answer;
    std::unique_ptr<QTimer> deadline;

    // False when the call was answered already.
    bool finish(const char* errorName, const QString& failure) {
        if (!answer) {
            return false;
        }
        deadline.reset();
        const Answer once = std::exchange(answer, nullptr);
        once(errorName, failure);
        return true;
    }
};

struct VeltraneHelper::Enable {
    QString caller;
    ThrottleParameters parameters;
    QString description;
    bool hold = false;
    Answer answer;
    EngineJobs::Clock::time_point arrived;
    // Why the parameters could not be read; told only to an authorized
    // caller.
    QString unreadable = {};
    // From the bus, once the caller is authorized.
    uint uid = 0;
    uint pid = 0;
};

VeltraneHelper::VeltraneHelper(const Logger& logger, ThrottlingManager* engine,
                               std::string engineFailure, Authorization& authorization,
                               ConnectionLog& connections, ThrottleOwnership& ownership,
                               CallBudget budget, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_engineFailure(QStringLiteral("The throttling engine could not start: ") +
                      QString::fromStdString(engineFailure))
    , m_authorization(authorization)
    , m_connections(connections)
    , m_ownership(ownership)
    , m_jobs(engine != nullptr ? std::make_unique<EngineJobs>(*engine, budget) : nullptr) {
    publish();
}

VeltraneHelper::~VeltraneHelper() = default;

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
         [reply](const char*, const QString& failure) { reply.send(failure.isEmpty(), failure); },
         EngineJobs::Clock::now()});
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
            [reply](const char*, const QString& failure) { reply.send(failure); },
            EngineJobs::Clock::now()});
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
         namedErrorsTo(reply),
         EngineJobs::Clock::now()});
}

void VeltraneHelper::EnableThrottlingWithParameters(const DelayedReply<>& reply,
                                                    const QVariantMap& parameters,
                                                    const QString& description, bool hold) {
    m_connections.noteCaller(reply.caller());
    QString unreadable = {};
    const std::optional<ThrottleParameters> read =
        ParameterDictionary::fromWire(parameters, unreadable);
    // What was read, not what was sent: a client's texts never reach the log.
    std::string line = "enableThrottlingWithParameters called with unreadable parameters";
    if (read) {
        line = "enableThrottlingWithParameters called:";
        for (const ThrottleParameters::Field& field : ThrottleParameters::fields()) {
            line += " " + std::string(field.logName) + "=" + field.text(*read);
        }
    }
    m_logger.log(line + (hold ? " held" : ""));
    Enable request{reply.caller(),       read.value_or(ThrottleParameters{}),
                   description,          hold,
                   namedErrorsTo(reply), EngineJobs::Clock::now()};
    request.unreadable = unreadable;
    enable(std::move(request));
}

void VeltraneHelper::enable(Enable request) {
    if (request.hold) {
        // Counted from the call's arrival: its caller may leave while it is
        // being authorized.
        ++m_holdsInFlight[request.caller];
    }
    const auto call = open(std::exchange(request.answer, nullptr));
    // Who asks is settled before what is asked: a refused caller learns
    // nothing about the values.
    const QString caller = request.caller;
    m_authorization.check(caller, [this, request = std::move(request),
                                   call](Authorization::Decision decision) mutable {
        const auto refuse = [&](const char* errorName, const QString& failure) {
            settleHold(request);
            call->finish(errorName, failure);
        };
        if (!decision.allowed) {
            m_logger.log("Authorization denied for uid " +
                         (decision.uid ? std::to_string(*decision.uid) : std::string("unknown")));
            refuse(Error::kNotAuthorized, kNotAuthorized);
            return;
        }
        if (!isAcceptableDescription(request.description)) {
            refuse(Error::kInvalidArguments,
                   QStringLiteral("A description is one line of at most %1 characters")
                       .arg(HelperProtocol::kMaxDescriptionLength));
            return;
        }
        if (!request.unreadable.isEmpty()) {
            m_logger.log("Validation failed: " + request.unreadable.toStdString());
            refuse(Error::kInvalidArguments, request.unreadable);
            return;
        }
        if (const auto failure = request.parameters.check()) {
            m_logger.log("Validation failed: " + *failure);
            refuse(Error::kInvalidArguments, QString::fromStdString(*failure));
            return;
        }
        if (!m_jobs) {
            m_logger.log("Failed to enable throttling: " + m_engineFailure.toStdString());
            refuse(Error::kFailed, m_engineFailure);
            return;
        }
        if (request.hold && !m_connections.isWatching()) {
            refuse(Error::kFailed,
                   QStringLiteral("The helper cannot see clients leave, so it cannot hold "
                                  "throttling for one"));
            return;
        }
        request.uid = decision.uid.value_or(0);
        request.pid = decision.pid.value_or(0);
        const ThrottleParameters parameters = request.parameters;
        const auto arrived = request.arrived;
        m_jobs->enable(
            parameters, arrived,
            [this, request = std::move(request), call](const EngineJobs::Outcome& outcome) {
                enabled(request, call, outcome);
            });
    });
}

bool VeltraneHelper::settleHold(const Enable& request) {
    if (!request.hold) {
        return false;
    }
    const bool departed = m_departed.contains(request.caller);
    if (--m_holdsInFlight[request.caller] <= 0) {
        m_holdsInFlight.remove(request.caller);
        m_departed.remove(request.caller);
    }
    return departed;
}

void VeltraneHelper::enabled(const Enable& request, const std::shared_ptr<Call>& call,
                             const EngineJobs::Outcome& outcome) {
    const bool departed = settleHold(request);
    const bool succeeded = outcome.failure.isEmpty();
    if (succeeded) {
        m_ownership.take({{request.caller, request.uid, request.pid, request.description,
                           QDateTime::currentMSecsSinceEpoch(), request.hold},
                          request.parameters},
                         outcome.change);
    } else {
        m_logger.log("Failed to enable throttling: " + outcome.failure.toStdString());
    }
    takeIn(outcome);
    if (!outcome.skipped && !outcome.active) {
        m_ownership.clear();
    }
    publish();
    const bool answered = call->finish(succeeded          ? nullptr
                                       : outcome.timedOut ? Error::kTimedOut
                                                          : Error::kFailed,
                                       outcome.failure);
    if (succeeded && !answered) {
        // Its caller was told at the deadline that it failed: it must not stay.
        removeOwnedThrottling("Removed throttling switched on after its call's deadline");
    } else if (succeeded && departed) {
        removeOwnedThrottling(heldRemovalLine(m_ownership.current()->owner));
    }
}

void VeltraneHelper::removeOwnedThrottling(std::string doneLine) {
    // Only if no other change came in between: then it is someone else's.
    m_jobs->disableIfUnchanged(m_ownership.change(), [this, doneLine = std::move(doneLine)](
                                                         const EngineJobs::Outcome& outcome) {
        if (outcome.skipped) {
            return;
        }
        if (outcome.failure.isEmpty()) {
            m_logger.log(doneLine);
        } else {
            m_logger.log("Failed to disable throttling: " + outcome.failure.toStdString());
        }
        m_ownership.clear();
        takeIn(outcome);
        publish();
    });
}

void VeltraneHelper::DisableThrottling(const DelayedReply<bool, QString>& reply) {
    disable(reply.caller(), [reply](const char*, const QString& failure) {
        reply.send(failure.isEmpty(), failure);
    });
}

void VeltraneHelper::RemoveThrottling(const DelayedReply<QString>& reply) {
    disable(reply.caller(), [reply](const char*, const QString& failure) { reply.send(failure); });
}

void VeltraneHelper::disable(const QString& caller, Answer answer) {
    // Open to every local caller: switching shaping off only gives the
    // network back, and the application's quit clean-up must never be refused.
    const auto arrived = EngineJobs::Clock::now();
    m_connections.noteCaller(caller);
    m_logger.log("disableThrottling called");
    const auto call = open(std::move(answer));
    if (!m_jobs) {
        m_logger.log("Failed to disable throttling: " + m_engineFailure.toStdString());
        call->finish(Error::kFailed, m_engineFailure);
        return;
    }
    m_jobs->disable(arrived, [this, call](const EngineJobs::Outcome& outcome) {
        if (!outcome.failure.isEmpty()) {
            m_logger.log("Failed to disable throttling: " + outcome.failure.toStdString());
        }
        if (!outcome.skipped) {
            // Asked off: whatever could not be removed is no one's any more.
            m_ownership.clear();
            takeIn(outcome);
            publish();
        }
        call->finish(outcome.timedOut ? Error::kTimedOut : Error::kFailed, outcome.failure);
    });
}

void VeltraneHelper::GetStatus(const DelayedReply<bool, QString>& reply) {
    // From the state the last finished change left: never behind a change
    // still running.
    m_connections.noteCaller(reply.caller());
    reply.send(m_active, QString());
}

void VeltraneHelper::IsThrottlingActive(const DelayedReply<bool, QString>& reply) {
    GetStatus(reply);
}

void VeltraneHelper::GetThrottlingConfiguration(const DelayedReply<QVariantMap, QString>& reply) {
    m_connections.noteCaller(reply.caller());
    QVariantMap configuration;
    if (m_active) {
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
    if (!m_ownership.release(reply.caller())) {
        reply.sendError(QString::fromLatin1(Error::kNotHolder),
                        QStringLiteral("Only the holder of the throttling can release it"));
        return;
    }
    m_logger.log("Throttling held by " + m_ownership.current()->owner.name() + " released");
    publish();
    reply.send();
}

void VeltraneHelper::GetState(const DelayedReply<QVariantMap>& reply) {
    m_connections.noteCaller(reply.caller());
    reply.send(state());
}

void VeltraneHelper::startUp(const std::function<bool(const QString&)>& isOnBus) {
    if (!m_jobs) {
        return;
    }
    const auto stored = m_ownership.stored();
    EngineJobs::Outcome outcome;
    if (stored && stored->owner.held && isOnBus(stored->owner.busName)) {
        const std::string name = stored->owner.name();
        m_logger.log("Restoring throttling held by " + name);
        outcome = m_jobs->restore(stored->parameters);
        if (outcome.failure.isEmpty()) {
            m_ownership.take(*stored, outcome.change);
        } else {
            m_logger.log("Failed to restore throttling held by " + name + ": " +
                         outcome.failure.toStdString());
            m_ownership.clear();
        }
    } else {
        outcome = m_jobs->removeLeftovers();
        if (stored && stored->owner.held) {
            m_logger.log(heldRemovalLine(stored->owner));
        }
        m_ownership.clear();
    }
    takeIn(outcome);
    publish();
}

void VeltraneHelper::connectionClosed(const QString& uniqueName) {
    if (m_holdsInFlight.contains(uniqueName)) {
        m_departed.insert(uniqueName);
    }
    if (m_ownership.isHeldBy(uniqueName)) {
        removeOwnedThrottling(heldRemovalLine(m_ownership.current()->owner));
    }
}

void VeltraneHelper::followUplinks() {
    if (m_jobs) {
        m_jobs->followUplinks();
    }
}

bool VeltraneHelper::stop(std::chrono::milliseconds limit, bool keepHold) {
    const bool stopped = !m_jobs || m_jobs->stop(limit);
    // Everything is removed on the way out, held or not: no one is left to
    // watch a holder. After the last outcomes, which may name an owner.
    const auto& current = m_ownership.current();
    if (keepHold && current && current->owner.held) {
        m_logger.log("Keeping the hold of " + current->owner.name() + " for the next helper");
    } else {
        m_ownership.clear();
    }
    return stopped;
}

QVariantMap VeltraneHelper::state() const {
    QVariantMap state = m_published;
    state.insert(QString::fromLatin1(HelperProtocol::State::kSerial), m_serial);
    return state;
}

std::shared_ptr<VeltraneHelper::Call> VeltraneHelper::open(Answer answer) {
    auto call = std::make_shared<Call>();
    call->answer = std::move(answer);
    if (m_jobs) {
        // A belt for the engine's own bound: a job stuck past it still gets
        // its caller an answer.
        call->deadline = std::make_unique<QTimer>();
        call->deadline->setSingleShot(true);
        std::weak_ptr<Call> weak = call;
        connect(call->deadline.get(), &QTimer::timeout, this, [this, weak] {
            if (const auto pending = weak.lock()) {
                m_logger.log("A call was answered at its deadline with its change still running");
                pending->finish(Error::kTimedOut, m_jobs->timedOutText());
            }
        });
        call->deadline->start(m_jobs->budget().total);
    }
    return call;
}

void VeltraneHelper::takeIn(const EngineJobs::Outcome& outcome) {
    if (outcome.skipped) {
        return;
    }
    m_active = outcome.active;
    if (outcome.failure.isEmpty()) {
        m_cleanupFailure.clear();
    } else if (!outcome.cleanupFailure.isEmpty()) {
        m_cleanupFailure = outcome.cleanupFailure;
    }
}

void VeltraneHelper::publish() {
    namespace Key = HelperProtocol::State;
    QVariantMap state{{QString::fromLatin1(Key::kActive), m_active}};
    if (m_active && m_ownership.current()) {
        state.insert(QString::fromLatin1(Key::kConfiguration),
                     ParameterDictionary::toWire(m_ownership.current()->parameters));
        state.insert(QString::fromLatin1(Key::kOwner), m_ownership.current()->owner.toWire());
    }
    if (!m_cleanupFailure.isEmpty()) {
        state.insert(QString::fromLatin1(Key::kFailure), m_cleanupFailure);
    }
    if (state == m_published) {
        return;
    }
    m_published = state;
    ++m_serial;
    Q_EMIT stateChanged(this->state());
}
