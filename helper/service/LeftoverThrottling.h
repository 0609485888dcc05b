// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationCgroups.h"

#include <QString>

#include <functional>

class EngineJobs;
class Logger;
class StatePublisher;
class ThrottleOwnership;

// What an earlier process of the daemon left, settled before the daemon
// serves: its shaping is removed, or applied afresh for the holder the owner
// record names while that holder is still on the bus.
class LeftoverThrottling final {
public:
    // `jobs` is null when there is no engine: then nothing is touched.
    LeftoverThrottling(const Logger& logger, EngineJobs* jobs, ThrottleOwnership& ownership,
                       StatePublisher& state, ApplicationCgroups applications);

    void settle(const std::function<bool(const QString& uniqueName)>& isOnBus);

private:
    const Logger& m_logger;
    EngineJobs* const m_jobs;
    ThrottleOwnership& m_ownership;
    StatePublisher& m_state;
    // An application's scopes are found afresh: those on file may have
    // ended, and marking a cgroup that is gone fails the whole restore.
    const ApplicationCgroups m_applications;
};
