// SPDX-License-Identifier: MIT
#include "ApplicationFollower.h"

#include "EngineJobs.h"
#include "Logger.h"
#include "StatePublisher.h"
#include "ThrottleOwnership.h"

#include <string>
#include <utility>

ApplicationFollower::ApplicationFollower(const Logger& logger, EngineJobs& jobs,
                                         ThrottleOwnership& ownership, StatePublisher& state,
                                         ApplicationCgroups cgroups, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_jobs(jobs)
    , m_ownership(ownership)
    , m_state(state)
    , m_cgroups(std::move(cgroups)) {
    connect(&m_watch, &FolderWatch::changed, this, &ApplicationFollower::keepToRecord);
}

void ApplicationFollower::keepToRecord() {
    std::set<uint> users;
    for (const auto& [id, record] : m_ownership.throttles()) {
        if (record.scope.kind() == ThrottleScope::Kind::application) {
            users.insert(record.owner.uid);
        }
    }
    std::vector<std::string> folders;
    for (const uint uid : users) {
        // Every level down to the slices, so that a manager or a slice
        // that starts later is seen.
        for (const std::string& level : ApplicationCgroups::levelsOf(uid)) {
            folders.push_back(m_cgroups.hierarchy().root + "/" + level);
        }
        for (const std::string& slice : m_cgroups.slicesOf(uid)) {
            folders.push_back(m_cgroups.hierarchy().root + "/" + slice);
        }
    }
    m_watch.watch(folders);
    look();
}

void ApplicationFollower::look() {
    if (!m_changing.empty()) {
        m_lookAgain = true;
        return;
    }
    for (const auto& entry : m_ownership.throttles()) {
        const quint64 id = entry.first;
        const ThrottleOwnership::Record& record = entry.second;
        if (record.scope.kind() != ThrottleScope::Kind::application) {
            continue;
        }
        std::vector<std::string> found = m_cgroups.find(record.owner.uid, record.scope.application);
        if (found == record.scope.cgroups) {
            continue;
        }
        m_changing.insert(id);
        m_jobs.changeCgroups(id, found, [this, id, found](const EngineJobs::Outcome& outcome) {
            changed(id, found, outcome.failure, outcome.skipped);
        });
    }
}

void ApplicationFollower::changed(quint64 id, const std::vector<std::string>& cgroups,
                                  const QString& failure, bool skipped) {
    m_changing.erase(id);
    const ThrottleOwnership::Record* record = m_ownership.find(id);
    if (!failure.isEmpty()) {
        // A scope that went between the look and the change is seen going:
        // the next look tries again.
        if (m_failing.insert(id).second) {
            m_logger.log("Failed to follow the scopes of throttle " + std::to_string(id) + ": " +
                         failure.toStdString());
        }
    } else if (!skipped && record != nullptr) {
        m_failing.erase(id);
        m_ownership.setCgroups(id, cgroups);
        m_logger.log("Throttle " + std::to_string(id) + " of application " +
                     record->scope.application +
                     (cgroups.empty() ? std::string(" waits for it to start")
                                      : " shapes " + std::to_string(cgroups.size()) +
                                            (cgroups.size() == 1 ? " scope" : " scopes")));
        m_state.publish();
    }
    if (m_changing.empty() && std::exchange(m_lookAgain, false)) {
        look();
    }
}
