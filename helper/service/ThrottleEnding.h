// SPDX-License-Identifier: MIT
#pragma once

#include "Authorization.h"
#include "EngineJobs.h"
#include "PendingCalls.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

class Logger;
class StatePublisher;
class ThrottleOwnership;

// Ends throttles for the callers that ask, each as far as it may: a user's
// own throttles are theirs to end from any of their clients, another user's
// take polkit's consent, as switching one on does. Lives on the main thread.
class ThrottleEnding final {
public:
    // `jobs` is null when there is no engine: every call then fails with
    // `engineFailure`.
    ThrottleEnding(const Logger& logger, Authorization& authorization,
                   const ThrottleOwnership& ownership, EngineJobs* jobs, PendingCalls& calls,
                   StatePublisher& state, QString engineFailure);

    // Every throttle. A caller refused another user's has its own user's
    // ended, and is answered NotAuthorized naming those that stay.
    void endAll(const QString& caller, PendingCalls::Answer answer);
    // Throttle `id`, NoSuchThrottle when it is not in force.
    void endOne(const QString& caller, quint64 id, PendingCalls::Answer answer);

private:
    void endEverything(const std::shared_ptr<PendingCalls::Call>& call,
                       EngineJobs::Clock::time_point arrived);
    void endOwnOnly(const std::shared_ptr<PendingCalls::Call>& call,
                    EngineJobs::Clock::time_point arrived, std::optional<uint> uid);
    void end(std::vector<quint64> ids, EngineJobs::Clock::time_point arrived,
             const std::shared_ptr<PendingCalls::Call>& call);
    // The throttles in force whose owner is not user `uid`.
    std::vector<quint64> throttlesNotOf(std::optional<uint> uid) const;
    void logRefusal(const Authorization::Decision& decision) const;

    const Logger& m_logger;
    Authorization& m_authorization;
    const ThrottleOwnership& m_ownership;
    EngineJobs* const m_jobs;
    PendingCalls& m_calls;
    StatePublisher& m_state;
    const QString m_engineFailure;
};
