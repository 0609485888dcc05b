// SPDX-License-Identifier: MIT
#pragma once

#include "CallBudget.h"
#include "CommandExecutor.h"
#include "EngineThread.h"
#include "ScheduleSteps.h"
#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"
#include "ThrottleScope.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

class Logger;
class ThrottlingManager;

// Runs the engine's work on the engine thread, one job after another, and
// hands each outcome back on the main thread, in order. A change stays
// within its call's budget, counted from the call's arrival: what is not
// done within the change's share is undone in the rest of it.
class EngineJobs final : public QObject {
    Q_OBJECT

public:
    using Clock = CommandExecutor::Clock;

    struct Outcome {
        // Empty on success.
        QString failure;
        // The call's time ran out; what the change had made is undone.
        bool timedOut = false;
        // Set when some shaping could not be removed and stays on record.
        QString cleanupFailure;
        // Nothing was run: the call's time was up before its turn, another
        // change came first, or the helper is stopping.
        bool skipped = false;
        // It failed once stop() was called: cut short, and the stop's
        // clean-up removes what it left.
        bool cutShort = false;
        // The engine's state once the job is done.
        bool active = false;
        // The throttle an enable switched on.
        quint64 id = 0;
        // The ids of the throttles in force once the job is done, oldest
        // first: an owner whose throttle is not among them has none.
        std::vector<quint64> throttles;
    };
    using Done = std::function<void(const Outcome&)>;

    EngineJobs(const Logger& logger, ThrottlingManager& engine, CallBudget budget,
               QObject* parent = nullptr);
    ~EngineJobs() override;

    const CallBudget& budget() const { return m_budget; }
    // What a call whose time ran out is told.
    QString timedOutText() const;

    void enable(const ThrottleParameters& parameters, const ThrottleScope& scope,
                const ThrottleSchedule& schedule, Clock::time_point arrived, Done done);
    // Plays the steps of throttle `id`'s schedule, started at `origin`, on
    // the engine thread between the jobs; `phaseBegan` hears of each phase
    // as it begins, on the main thread. A step has a few seconds at most, so
    // that a call queued behind a hanging tool still gets its turn.
    void playSchedule(quint64 id, const ThrottleSchedule& schedule, const ThrottleParameters& base,
                      ScheduleSteps::Steady::time_point origin,
                      ScheduleSteps::PhaseBegan phaseBegan);
    void stopSchedule(quint64 id);
    // Marks the packets of `cgroups` for application throttle `id`, as its
    // scopes came or went; skipped when the throttle is gone.
    void changeCgroups(quint64 id, std::vector<std::string> cgroups, Done done);
    void disable(Clock::time_point arrived, Done done);
    // Ends the throttles of `ids` still in force, in one change: an id is
    // never given twice, so a throttle that replaced one is never touched.
    // Skipped when all are gone already.
    void endThrottles(std::vector<quint64> ids, Clock::time_point arrived, Done done);
    void followUplinks();

    // For the start, before any job is posted; they run on the calling
    // thread. The first removes what an earlier process left, the second
    // applies `throttles` afresh in its place with their ids: all or none.
    Outcome removeLeftovers();
    // Ids of throttles from now on come after `lastId`.
    void continueIdsAfter(quint64 lastId);
    struct Restored {
        quint64 id = 0;
        ThrottleParameters parameters;
        ThrottleScope scope;
        bool blocksDownload = false;
        bool blocksUpload = false;
    };
    Outcome restore(const std::vector<Restored>& throttles);

    // Jobs still queued are answered as skipped, the shaping is removed and
    // the thread ends; the outcomes are delivered before this returns.
    // False when that took longer than `limit`.
    bool stop(std::chrono::milliseconds limit);

private:
    void post(std::function<Outcome()> job, Done done);
    Outcome runEnable(const ThrottleParameters& parameters, const ThrottleScope& scope,
                      const ThrottleSchedule& schedule, Clock::time_point arrived);
    Outcome runDisable(Clock::time_point endBy);
    // Runs `work` and notes how it failed in `outcome`; true on success.
    bool attempt(Outcome& outcome, const std::function<void()>& work);
    Outcome finished(Outcome outcome) const;
    // A change whose call's time was up before its turn came.
    Outcome turnCameTooLate() const;

    ThrottlingManager& m_engine;
    const CallBudget m_budget;
    std::atomic<bool> m_stopping{false};
    // Used on the engine thread alone.
    ScheduleSteps m_steps;
    // Last, so it is stopped before the members its jobs use are destroyed.
    EngineThread m_thread;
};
