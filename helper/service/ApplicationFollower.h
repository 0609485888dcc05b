// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationCgroups.h"
#include "FolderWatch.h"

#include <QObject>

#include <set>

class EngineJobs;
class Logger;
class StatePublisher;
class ThrottleOwnership;

// Keeps each application throttle's cgroups to the scopes its user's
// manager runs the application in: a second window started in a scope of
// its own, or the application started again, is shaped as soon as its
// folder appears, and a throttle whose last scope went stays on, waiting.
// Runs on the main thread; the marking changes on the engine thread.
class ApplicationFollower final : public QObject {
    Q_OBJECT

public:
    ApplicationFollower(const Logger& logger, EngineJobs& jobs, ThrottleOwnership& ownership,
                        StatePublisher& state, ApplicationCgroups cgroups,
                        QObject* parent = nullptr);

    // Watches the slices of the users of the application throttles on
    // record, and no others, and looks for their scopes.
    void keepToRecord();

private:
    void look();
    void changed(quint64 id, const std::vector<std::string>& cgroups, const QString& failure,
                 bool skipped);

    const Logger& m_logger;
    EngineJobs& m_jobs;
    ThrottleOwnership& m_ownership;
    StatePublisher& m_state;
    const ApplicationCgroups m_cgroups;
    FolderWatch m_watch;
    // Throttles whose change is on its way: one at a time each, and a look
    // again once it is done.
    std::set<quint64> m_changing;
    bool m_lookAgain = false;
    // Logged once, until a change works again.
    std::set<quint64> m_failing;
};
