// SPDX-License-Identifier: MIT
#include "HoldRegistry.h"

#include "EnableRequest.h"
#include "EngineJobs.h"
#include "Logger.h"
#include "StatePublisher.h"
#include "ThrottlingManager.h"

#include <utility>

HoldRegistry::HoldRegistry(const Logger& logger, ThrottleOwnership& ownership, EngineJobs* jobs,
                           StatePublisher& state)
    : m_logger(logger)
    , m_ownership(ownership)
    , m_jobs(jobs)
    , m_state(state) {}

void HoldRegistry::arrived(const EnableRequest& request) {
    if (request.hold) {
        ++m_inFlight[request.caller];
    }
}

bool HoldRegistry::settle(const EnableRequest& request) {
    if (!request.hold) {
        return false;
    }
    const bool departed = m_departed.contains(request.caller);
    if (--m_inFlight[request.caller] <= 0) {
        m_inFlight.remove(request.caller);
        m_departed.remove(request.caller);
    }
    return departed;
}

void HoldRegistry::connectionClosed(const QString& uniqueName) {
    if (m_inFlight.contains(uniqueName)) {
        m_departed.insert(uniqueName);
    }
    for (const quint64 id : m_ownership.heldBy(uniqueName)) {
        holderLeft(id);
    }
}

void HoldRegistry::holderLeft(quint64 id) {
    if (const auto* record = m_ownership.find(id)) {
        endThrottle(id, departedLine(*record));
    }
}

std::string HoldRegistry::departedLine(const ThrottleOwnership::Record& record) {
    const std::string line = "Removed throttling held by " + record.owner.name();
    return (record.scope.isMachine() ? line : line + " (" + record.scope.logText() + ")") +
           ": its owner disconnected";
}

void HoldRegistry::endThrottle(quint64 id, std::string doneLine) {
    m_jobs->endThrottles(
        {id}, EngineJobs::Clock::now(),
        [this, doneLine = std::move(doneLine)](const EngineJobs::Outcome& outcome) {
            if (outcome.skipped) {
                return;
            }
            if (outcome.failure.isEmpty()) {
                m_logger.log(doneLine);
            } else if (!outcome.cutShort) {
                m_logger.log("Failed to end a throttle: " + outcome.failure.toStdString());
            }
            m_state.settle(outcome);
        });
}
