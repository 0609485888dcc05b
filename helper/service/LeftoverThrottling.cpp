// SPDX-License-Identifier: MIT
#include "LeftoverThrottling.h"

#include "EngineJobs.h"
#include "HoldRegistry.h"
#include "Logger.h"
#include "StatePublisher.h"
#include "ThrottleOwnership.h"

#include <QDateTime>

#include <map>
#include <string>
#include <utility>
#include <vector>

LeftoverThrottling::LeftoverThrottling(const Logger& logger, EngineJobs* jobs,
                                       ThrottleOwnership& ownership, StatePublisher& state,
                                       ApplicationCgroups applications)
    : m_logger(logger)
    , m_jobs(jobs)
    , m_ownership(ownership)
    , m_state(state)
    , m_applications(std::move(applications)) {}

void LeftoverThrottling::settle(const std::function<bool(const QString&)>& isOnBus) {
    if (!m_jobs) {
        return;
    }
    std::vector<std::pair<quint64, ThrottleOwnership::Record>> restored;
    std::vector<ThrottleOwnership::Record> departed;
    quint64 lastId = 0;
    std::map<quint64, ThrottleOwnership::Record> stored = m_ownership.stored(&lastId);
    m_jobs->continueIdsAfter(lastId);
    for (auto& [id, record] : stored) {
        if (record.owner.held && isOnBus(record.owner.busName)) {
            if (record.scope.kind() == ThrottleScope::Kind::application) {
                record.scope.cgroups =
                    m_applications.find(record.owner.uid, record.scope.application);
            }
            restored.emplace_back(id, std::move(record));
        } else if (record.owner.held) {
            departed.push_back(std::move(record));
        }
    }
    m_ownership.clear();
    std::vector<EngineJobs::Restored> throttles;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const auto& [id, record] : restored) {
        m_logger.log("Restoring throttling held by " + record.owner.name());
        // A schedule resumes where its clock stands, not at its start.
        const ThrottleSchedule::Position position =
            record.schedule.at(now - record.scheduleStartedAt, record.parameters);
        throttles.push_back({id, position.parameters, record.scope, position.blocksDownload,
                             position.blocksUpload});
    }
    const EngineJobs::Outcome outcome = m_jobs->restore(throttles);
    if (outcome.failure.isEmpty()) {
        for (const auto& [id, record] : restored) {
            m_ownership.take(id, record);
        }
    } else {
        for (const auto& [id, record] : restored) {
            m_logger.log("Failed to restore throttling held by " + record.owner.name() + ": " +
                         outcome.failure.toStdString());
        }
    }
    for (const ThrottleOwnership::Record& record : departed) {
        m_logger.log(HoldRegistry::departedLine(record));
    }
    m_state.settle(outcome);
}
