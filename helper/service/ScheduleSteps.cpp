// SPDX-License-Identifier: MIT
#include "ScheduleSteps.h"

#include "CommandExecutor.h"
#include "Logger.h"
#include "ThrottlingManager.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

struct ScheduleSteps::Playing {
    ThrottleSchedule schedule;
    ThrottleParameters base;
    // On the monotonic clock: a change of the wall clock moves no step.
    Steady::time_point origin;
    PhaseBegan phaseBegan;
    QTimer timer;
    // The step the timer is set for, in milliseconds from the start.
    std::int64_t dueMs = 0;
    std::size_t phase = 0;
    std::int64_t phaseStartMs = 0;
    // Logged once, until a step works again.
    bool failing = false;
};

ScheduleSteps::ScheduleSteps(const Logger& logger, ThrottlingManager& engine,
                             std::chrono::milliseconds stepTime)
    : m_logger(logger)
    , m_engine(engine)
    , m_stepTime(stepTime) {}

ScheduleSteps::~ScheduleSteps() = default;

void ScheduleSteps::play(quint64 id, const ThrottleSchedule& schedule,
                         const ThrottleParameters& base, Steady::time_point origin,
                         PhaseBegan phaseBegan) {
    stop(id);
    auto playing = std::make_unique<Playing>();
    playing->schedule = schedule;
    playing->base = base;
    playing->origin = origin;
    playing->phaseBegan = std::move(phaseBegan);
    const ThrottleSchedule::Position position = positionAt(*playing, Steady::now());
    playing->phase = position.phase;
    playing->phaseStartMs = position.phaseStartMs;
    playing->timer.setSingleShot(true);
    playing->timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&playing->timer, &QTimer::timeout, [this, id] { stepDue(id); });
    arm(*playing, position);
    m_playing.emplace(id, std::move(playing));
}

void ScheduleSteps::stop(quint64 id) {
    m_playing.erase(id);
}

void ScheduleSteps::stopAll() {
    m_playing.clear();
}

ThrottleSchedule::Position ScheduleSteps::positionAt(const Playing& playing,
                                                     Steady::time_point now) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - playing.origin);
    return playing.schedule.at(std::max<std::int64_t>(elapsed.count(), playing.dueMs),
                               playing.base);
}

void ScheduleSteps::stepDue(quint64 id) {
    const auto found = m_playing.find(id);
    if (found == m_playing.end()) {
        return;
    }
    Playing& playing = *found->second;
    // Read once for both: in a virtual machine each reading of the clock
    // may be a system call.
    const Steady::time_point now = Steady::now();
    const ThrottleSchedule::Position position = positionAt(playing, now);
    change(id, playing, position, now + m_stepTime);
    if (position.phase != playing.phase || position.phaseStartMs != playing.phaseStartMs) {
        playing.phase = position.phase;
        playing.phaseStartMs = position.phaseStartMs;
        playing.phaseBegan(id, position);
    }
    arm(playing, position);
}

void ScheduleSteps::change(quint64 id, Playing& playing, const ThrottleSchedule::Position& position,
                           Steady::time_point deadline) {
    std::string failure;
    bool inForce = true;
    try {
        const CommandExecutor::CallDeadline callDeadline(deadline);
        inForce = m_engine.changeConditions(id, position);
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Unknown error";
    }
    if (!failure.empty() && !playing.failing) {
        // The throttle stays as it was; the next step tries again.
        m_logger.log("Failed to change throttle " + std::to_string(id) +
                     " to its schedule's next step: " + failure);
    } else if (failure.empty() && inForce && playing.failing) {
        m_logger.log("Throttle " + std::to_string(id) + " follows its schedule again");
    }
    playing.failing = !failure.empty();
}

void ScheduleSteps::arm(Playing& playing, const ThrottleSchedule::Position& position) {
    if (!position.nextChangeMs) {
        return;
    }
    playing.dueMs = *position.nextChangeMs;
    const auto due = playing.origin + std::chrono::milliseconds(playing.dueMs);
    // Rounded up: a timer never fires before its whole milliseconds are up.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Steady::now());
    playing.timer.start(std::max<std::chrono::milliseconds>(wait, std::chrono::milliseconds(0)));
}
