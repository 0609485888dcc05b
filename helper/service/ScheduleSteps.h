// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleParameters.h"
#include "ThrottleSchedule.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <map>
#include <memory>

class Logger;
class ThrottlingManager;

// Plays the steps of schedules on the engine thread, between its jobs, so
// that a step wakes that thread alone and no step runs beside another
// change. Each step is due at its schedule's start plus its offset and
// changes its throttle alone, in place; one that comes due behind a slow
// job, or a slow step, takes the step the clock has reached by then. Every
// member is called on the engine thread.
class ScheduleSteps final {
public:
    using Steady = std::chrono::steady_clock;
    // Told of each phase as it begins, on the engine thread.
    using PhaseBegan = std::function<void(quint64 id, const ThrottleSchedule::Position&)>;

    // A step has `stepTime` at most, so that a tool that hangs holds up
    // the calls behind it no longer than that.
    ScheduleSteps(const Logger& logger, ThrottlingManager& engine,
                  std::chrono::milliseconds stepTime);
    ~ScheduleSteps();
    ScheduleSteps(const ScheduleSteps&) = delete;
    ScheduleSteps& operator=(const ScheduleSteps&) = delete;

    // Plays throttle `id`'s schedule, started at `origin`, from where the
    // clock stands; the step in force is taken as made.
    void play(quint64 id, const ThrottleSchedule& schedule, const ThrottleParameters& base,
              Steady::time_point origin, PhaseBegan phaseBegan);
    void stop(quint64 id);
    void stopAll();

private:
    struct Playing;

    void stepDue(quint64 id);
    // The position at the step the timer was set for, or at `now` when
    // that is later.
    static ThrottleSchedule::Position positionAt(const Playing& playing, Steady::time_point now);
    void arm(Playing& playing, const ThrottleSchedule::Position& position);
    void change(quint64 id, Playing& playing, const ThrottleSchedule::Position& position,
                Steady::time_point deadline);

    const Logger& m_logger;
    ThrottlingManager& m_engine;
    const std::chrono::milliseconds m_stepTime;
    std::map<quint64, std::unique_ptr<Playing>> m_playing;
};
