// SPDX-License-Identifier: MIT
#include "HoldRegistry.h"

#include "EnableRequest.h"
#include "EngineJobs.h"
#include "Logger.h"
#include "StatePublisher.h"

#include <utility>

HoldRegistry::HoldRegistry(const Logger& logger, ThrottleOwnership& ownership, EngineJobs* jobs,
                           StatePublisher& state)
    : m_logger(logger)
    , m_ownership(ownership)
    , m_jobs(jobs)
    , m_state(state) {}

std::string HoldRegistry::departedLine(const ThrottleOwnership::Owner& owner) {
    return "Removed throttling held by " + owner.name() + ": its owner disconnected";
}

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
    if (m_ownership.isHeldBy(uniqueName)) {
        holderLeft();
    }
}

void HoldRegistry::holderLeft() {
    removeOwnersThrottling(departedLine(m_ownership.current()->owner));
}

void HoldRegistry::removeOwnersThrottling(std::string doneLine) {
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
        m_state.takeIn(outcome);
        m_state.publish();
    });
}
