// SPDX-License-Identifier: MIT
#include "LeftoverThrottling.h"

#include "EngineJobs.h"
#include "HoldRegistry.h"
#include "Logger.h"
#include "StatePublisher.h"
#include "ThrottleOwnership.h"

#include <string>

LeftoverThrottling::LeftoverThrottling(const Logger& logger, EngineJobs* jobs,
                                       ThrottleOwnership& ownership, StatePublisher& state)
    : m_logger(logger)
    , m_jobs(jobs)
    , m_ownership(ownership)
    , m_state(state) {}

void LeftoverThrottling::settle(const std::function<bool(const QString&)>& isOnBus) {
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
            m_logger.log(HoldRegistry::departedLine(stored->owner));
        }
        m_ownership.clear();
    }
    m_state.takeIn(outcome);
    m_state.publish();
}
