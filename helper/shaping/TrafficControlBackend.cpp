// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "HelperError.h"
#include "Logger.h"

#include <string>
#include <vector>

TrafficControlBackend::TrafficControlBackend(const Logger& logger, const CommandExecutor& executor,
                                             const EnginePaths& paths,
                                             std::unique_ptr<UplinkSource> uplinks)
    : m_logger(logger)
    , m_tools(executor, paths.tc, paths.ip)
    , m_foreign(m_tools)
    , m_changes(logger, m_tools, paths.changeRecord)
    , m_follower(logger, std::move(uplinks), m_foreign, m_changes)
    , m_statistics(executor, paths.tc, paths.changeRecord) {}

void TrafficControlBackend::applyShaping(const ShapingPlan& plan) {
    const std::vector<Uplink> uplinks = m_follower.uplinks();
    if (uplinks.empty()) {
        // Reporting success here would leave the user believing traffic is
        // shaped while an uplink that comes up later runs at full speed.
        throw HelperError::commandFailed("No network interface with a default route to shape");
    }
    std::string list;
    for (const auto& uplink : uplinks) {
        list += (list.empty() ? "" : ", ") + uplink.name;
    }
    m_logger.log("Shaping interfaces: " + list);
    // Every interface is looked at before any is changed.
    for (const auto& uplink : uplinks) {
        if (const auto refusal = m_foreign.refusal(uplink.name)) {
            throw HelperError::commandFailed(*refusal);
        }
    }
    try {
        for (const auto& uplink : uplinks) {
            m_changes.shape(uplink, plan);
        }
    } catch (...) {
        m_follower.stop();
        m_changes.rollBack();
        throw;
    }
    m_follower.start(plan, uplinks);
}

void TrafficControlBackend::removeShaping() {
    // A record that cannot be read leaves the shaping as it was, followed.
    const std::vector<TrafficControlChanges::Entry> recorded = m_changes.recorded();
    m_follower.stop();
    m_changes.undo(recorded);
}

bool TrafficControlBackend::hasRecordedChanges() const {
    return !m_changes.isEmpty();
}

void TrafficControlBackend::removeTemporaryLeftovers() noexcept {
    m_changes.removeTemporaryLeftovers();
}

void TrafficControlBackend::followUplinks() noexcept {
    m_follower.follow();
}
