// SPDX-License-Identifier: MIT
#include "ThrottleEnding.h"

#include "HelperProtocol.h"
#include "Logger.h"
#include "StatePublisher.h"
#include "ThrottleOwnership.h"

#include <QStringList>

#include <string>
#include <utility>

namespace {

namespace Error = HelperProtocol::Error;

const char* failureName(const EngineJobs::Outcome& outcome) {
    return outcome.timedOut ? Error::kTimedOut : Error::kFailed;
}

} // namespace

ThrottleEnding::ThrottleEnding(const Logger& logger, Authorization& authorization,
                               const ThrottleOwnership& ownership, EngineJobs* jobs,
                               PendingCalls& calls, StatePublisher& state, QString engineFailure)
    : m_logger(logger)
    , m_authorization(authorization)
    , m_ownership(ownership)
    , m_jobs(jobs)
    , m_calls(calls)
    , m_state(state)
    , m_engineFailure(std::move(engineFailure)) {}

void ThrottleEnding::endAll(const QString& caller, PendingCalls::Answer answer) {
    const auto arrived = EngineJobs::Clock::now();
    const auto call = m_calls.open(std::move(answer));
    if (!m_jobs) {
        m_logger.log("Failed to disable throttling: " + m_engineFailure.toStdString());
        call->finish(Error::kFailed, m_engineFailure);
        return;
    }
    // Switching off gives the network back, and the application's quit
    // clean-up is never refused its own.
    m_authorization.checkUnless(
        caller, [this](uint uid) { return throttlesNotOf(uid).empty(); },
        [this, call, arrived](Authorization::Decision decision) {
            if (decision.allowed) {
                endEverything(call, arrived);
                return;
            }
            logRefusal(decision);
            endOwnOnly(call, arrived, decision.uid);
        });
}

void ThrottleEnding::endOne(const QString& caller, quint64 id, PendingCalls::Answer answer) {
    const auto arrived = EngineJobs::Clock::now();
    const auto* record = m_ownership.find(id);
    if (!m_jobs || record == nullptr) {
        const QString failure =
            m_jobs ? QStringLiteral("No throttle with id %1 is on").arg(id) : m_engineFailure;
        m_logger.log("Failed to end throttle: " + failure.toStdString());
        answer(m_jobs ? Error::kNoSuchThrottle : Error::kFailed, failure, 0);
        return;
    }
    if (record->owner.busName == caller) {
        end({id}, arrived, m_calls.open(std::move(answer)));
        return;
    }
    m_authorization.checkUnless(
        caller, [ownerUid = record->owner.uid](uint uid) { return uid == ownerUid; },
        [this, id, arrived, answer = std::move(answer)](Authorization::Decision decision) {
            if (!decision.allowed) {
                logRefusal(decision);
                answer(Error::kNotAuthorized,
                       QStringLiteral("Not authorized to end another user's throttle"), 0);
                return;
            }
            end({id}, arrived, m_calls.open(answer));
        });
}

void ThrottleEnding::endEverything(const std::shared_ptr<PendingCalls::Call>& call,
                                   EngineJobs::Clock::time_point arrived) {
    m_jobs->disable(arrived, [this, call](const EngineJobs::Outcome& outcome) {
        if (!outcome.failure.isEmpty()) {
            m_logger.log("Failed to disable throttling: " + outcome.failure.toStdString());
        }
        // Asked off: whatever could not be removed is no one's any more.
        m_state.settle(outcome);
        call->finish(failureName(outcome), outcome.failure);
    });
}

void ThrottleEnding::endOwnOnly(const std::shared_ptr<PendingCalls::Call>& call,
                                EngineJobs::Clock::time_point arrived, std::optional<uint> uid) {
    std::vector<quint64> own;
    for (const auto& [id, record] : m_ownership.throttles()) {
        if (uid && record.owner.uid == *uid) {
            own.push_back(id);
        }
    }
    const auto refuse = [this, call, uid] {
        QStringList staying;
        for (const quint64 id : throttlesNotOf(uid)) {
            staying << QStringLiteral("%1 (%2)").arg(id).arg(
                QString::fromStdString(m_ownership.find(id)->owner.name()));
        }
        call->finish(Error::kNotAuthorized,
                     QStringLiteral("Not authorized to end another user's throttles: ") +
                         (staying.size() == 1 ? QStringLiteral("throttle %1 stays on")
                                              : QStringLiteral("throttles %1 stay on"))
                             .arg(staying.join(QStringLiteral(", "))));
    };
    if (own.empty()) {
        refuse();
        return;
    }
    m_jobs->endThrottles(own, arrived, [this, call, refuse](const EngineJobs::Outcome& outcome) {
        m_state.settle(outcome);
        if (!outcome.failure.isEmpty()) {
            m_logger.log("Failed to end throttles: " + outcome.failure.toStdString());
            call->finish(failureName(outcome), outcome.failure);
            return;
        }
        refuse();
    });
}

void ThrottleEnding::end(std::vector<quint64> ids, EngineJobs::Clock::time_point arrived,
                         const std::shared_ptr<PendingCalls::Call>& call) {
    m_jobs->endThrottles(std::move(ids), arrived, [this, call](const EngineJobs::Outcome& outcome) {
        if (!outcome.failure.isEmpty()) {
            m_logger.log("Failed to end throttle: " + outcome.failure.toStdString());
        }
        m_state.settle(outcome);
        call->finish(failureName(outcome), outcome.failure);
    });
}

std::vector<quint64> ThrottleEnding::throttlesNotOf(std::optional<uint> uid) const {
    std::vector<quint64> others;
    for (const auto& [id, record] : m_ownership.throttles()) {
        if (!uid || record.owner.uid != *uid) {
            others.push_back(id);
        }
    }
    return others;
}

void ThrottleEnding::logRefusal(const Authorization::Decision& decision) const {
    m_logger.log("Authorization denied for uid " +
                 (decision.uid ? std::to_string(*decision.uid) : std::string("unknown")));
}
