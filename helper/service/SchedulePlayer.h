// SPDX-License-Identifier: MIT
#pragma once

#include "ScheduleDictionary.h"
#include "ThrottleSchedule.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>

class EngineJobs;
class Logger;
class StatePublisher;
class ThrottleOwnership;

// Plays the schedule of each throttle that has one, on the main thread: each
// step is due at the schedule's start plus its offset, whenever the one
// before it ran, and goes to the engine thread as a change in place of that
// throttle alone. A throttle has at most one step running: one that comes
// due meanwhile is skipped, and the step after a slow one catches up with
// the clock. The state is told only when a phase changes.
class SchedulePlayer final : public QObject {
    Q_OBJECT

public:
    // Milliseconds since 1970 UTC, which the schedule's start is kept in.
    using WallClock = std::function<qint64()>;

    SchedulePlayer(const Logger& logger, EngineJobs& jobs, const ThrottleOwnership& ownership,
                   StatePublisher& state, WallClock wallClock, QObject* parent = nullptr);
    ~SchedulePlayer() override;

    // Where a schedule started at `startedAt` stands at `position`.
    static ScheduleDictionary::Standing standingOf(const ThrottleSchedule& schedule,
                                                   qint64 startedAt,
                                                   const ThrottleSchedule::Position& position);

    // Plays the schedule on record for throttle `id` from where the clock
    // says it stands, whose step is in force already (the enable or the
    // restore shaped it), and shows its standing in the state from the next
    // announcement on.
    void play(quint64 id);
    // Stops the schedules of throttles that are no longer on record.
    void keepToRecord();
    void stopAll();

private:
    using Steady = std::chrono::steady_clock;
    struct Playing;

    // Runs on the timer of `id`: takes the step the clock has reached.
    void stepDue(quint64 id);
    void submit(quint64 id, Playing& playing);
    void stepped(quint64 id, const QString& failure, bool skipped);
    void armTimer(Playing& playing, const ThrottleSchedule::Position& position);
    void stop(quint64 id);

    const Logger& m_logger;
    EngineJobs& m_jobs;
    const ThrottleOwnership& m_ownership;
    StatePublisher& m_state;
    const WallClock m_wallClock;
    std::map<quint64, std::unique_ptr<Playing>> m_playing;
};
