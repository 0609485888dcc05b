// SPDX-License-Identifier: MIT
#include "LeftoverThrottling.h"

#include "EngineJobs.h"
#include "HoldRegistry.h"
#include "Logger.h"
#include "StatePublisher.h"
#include "ThrottleOwnership.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

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
    std::vector<ThrottleOwnership::Record> restored;
    std::vector<ThrottleOwnership::Record> departed;
    quint64 lastId = 0;
    std::vector<ThrottleOwnership::Record> stored = m_ownership.stored(&lastId);
    m_jobs->continueIdsAfter(lastId);
    for (ThrottleOwnership::Record& record : stored) {
        if (record.owner.held && isOnBus(record.owner.busName)) {
            restored.push_back(std::move(record));
        } else if (record.owner.held) {
            departed.push_back(std::move(record));
        }
    }
    m_ownership.clear();
    EngineJobs::Outcome outcome;
    if (!restored.empty()) {
        std::vector<std::pair<ThrottleParameters, ThrottleScope>> throttles;
        for (const ThrottleOwnership::Record& record : restored) {
            m_logger.log("Restoring throttling held by " + record.owner.name());
            throttles.emplace_back(record.parameters, record.scope);
        }
        outcome = m_jobs->restore(throttles);
        if (outcome.failure.isEmpty() && outcome.throttles.size() == restored.size()) {
            for (std::size_t i = 0; i < restored.size(); ++i) {
                m_ownership.take(outcome.throttles[i], restored[i]);
            }
        } else {
            for (const ThrottleOwnership::Record& record : restored) {
                m_logger.log("Failed to restore throttling held by " + record.owner.name() + ": " +
                             outcome.failure.toStdString());
            }
        }
    } else {
        outcome = m_jobs->removeLeftovers();
    }
    for (const ThrottleOwnership::Record& record : departed) {
        m_logger.log(HoldRegistry::departedLine(record));
    }
    m_state.takeIn(outcome);
    m_state.publish();
}
