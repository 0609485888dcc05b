// SPDX-License-Identifier: MIT
#include "SchedulePlayer.h"

#include "EngineJobs.h"
#include "Logger.h"
#include "StatePublisher.h"
#include "ThrottleOwnership.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

struct SchedulePlayer::Playing {
    ThrottleSchedule schedule;
    ThrottleParameters base;
    qint64 startedAt = 0;
    // The start on the monotonic clock: a change of the wall clock after
    // the start moves no step.
    Steady::time_point origin;
    QTimer timer;
    // The step the timer is set for, in milliseconds from the start.
    std::int64_t dueMs = 0;
    // What the state shows, so that only a new phase is announced.
    std::size_t phase = 0;
    std::int64_t phaseStartMs = 0;
    bool stepping = false;
    // A step came due while one ran: the clock's is taken once it is done.
    bool behind = false;
    // Logged once, until a step works again.
    bool failing = false;
};

SchedulePlayer::SchedulePlayer(const Logger& logger, EngineJobs& jobs,
                               const ThrottleOwnership& ownership, StatePublisher& state,
                               WallClock wallClock, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_jobs(jobs)
    , m_ownership(ownership)
    , m_state(state)
    , m_wallClock(std::move(wallClock)) {}

SchedulePlayer::~SchedulePlayer() = default;

ScheduleDictionary::Standing
SchedulePlayer::standingOf(const ThrottleSchedule& schedule, qint64 startedAt,
                           const ThrottleSchedule::Position& position) {
    ScheduleDictionary::Standing standing;
    standing.startedAt = startedAt;
    standing.phase = std::int64_t(position.phase);
    standing.isTrace = schedule.phases.empty();
    standing.phaseCount = standing.isTrace ? 1 : std::int64_t(schedule.phases.size());
    standing.repeat = standing.isTrace || schedule.repeat;
    if (!standing.isTrace) {
        standing.phaseName = QString::fromStdString(schedule.phases[position.phase].name);
    }
    if (position.nextPhaseMs) {
        standing.nextPhaseAt = startedAt + *position.nextPhaseMs;
    }
    return standing;
}

void SchedulePlayer::play(quint64 id) {
    const ThrottleOwnership::Record* record = m_ownership.find(id);
    if (record == nullptr || record->schedule.empty()) {
        return;
    }
    stop(id);
    auto playing = std::make_unique<Playing>();
    playing->schedule = record->schedule;
    playing->base = record->parameters;
    playing->startedAt = record->scheduleStartedAt;
    const qint64 elapsedMs = std::max<qint64>(m_wallClock() - playing->startedAt, 0);
    playing->origin = Steady::now() - std::chrono::milliseconds(elapsedMs);
    const ThrottleSchedule::Position position = playing->schedule.at(elapsedMs, playing->base);
    playing->phase = position.phase;
    playing->phaseStartMs = position.phaseStartMs;
    playing->timer.setSingleShot(true);
    playing->timer.setTimerType(Qt::PreciseTimer);
    connect(&playing->timer, &QTimer::timeout, this, [this, id] { stepDue(id); });
    m_state.showSchedule(id, ScheduleDictionary::standingToWire(
                                 standingOf(playing->schedule, playing->startedAt, position)));
    armTimer(*playing, position);
    m_playing.emplace(id, std::move(playing));
}

void SchedulePlayer::armTimer(Playing& playing, const ThrottleSchedule::Position& position) {
    if (!position.nextChangeMs) {
        return;
    }
    playing.dueMs = *position.nextChangeMs;
    const auto due = playing.origin + std::chrono::milliseconds(playing.dueMs);
    // Rounded up: a timer never fires before its whole milliseconds are up.
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(due - Steady::now());
    playing.timer.start(std::max<std::chrono::milliseconds>(wait, std::chrono::milliseconds(0)));
}

void SchedulePlayer::stepDue(quint64 id) {
    const auto found = m_playing.find(id);
    if (found == m_playing.end()) {
        return;
    }
    Playing& playing = *found->second;
    if (playing.stepping) {
        playing.behind = true;
    } else {
        submit(id, playing);
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - playing.origin);
    // The step it was set for at least, should the timer be early; and past
    // those a slow step let go by.
    const ThrottleSchedule::Position position =
        playing.schedule.at(std::max<std::int64_t>(elapsed.count(), playing.dueMs), playing.base);
    if (position.phase != playing.phase || position.phaseStartMs != playing.phaseStartMs) {
        playing.phase = position.phase;
        playing.phaseStartMs = position.phaseStartMs;
        if (!playing.schedule.phases.empty()) {
            m_logger.log("Throttle " + std::to_string(id) + " enters phase " +
                         std::to_string(position.phase + 1) + " (" +
                         playing.schedule.phases[position.phase].name + ")");
        }
        m_state.showSchedule(id, ScheduleDictionary::standingToWire(
                                     standingOf(playing.schedule, playing.startedAt, position)));
        m_state.publish();
    }
    armTimer(playing, position);
}

void SchedulePlayer::submit(quint64 id, Playing& playing) {
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - playing.origin);
    const ThrottleSchedule::Position position =
        playing.schedule.at(std::max<std::int64_t>(elapsed.count(), playing.dueMs), playing.base);
    playing.stepping = true;
    playing.behind = false;
    m_jobs.changeConditions(id, position, [this, id](const EngineJobs::Outcome& outcome) {
        stepped(id, outcome.failure, outcome.skipped);
    });
}

void SchedulePlayer::stepped(quint64 id, const QString& failure, bool skipped) {
    const auto found = m_playing.find(id);
    if (found == m_playing.end()) {
        return;
    }
    Playing& playing = *found->second;
    playing.stepping = false;
    if (!failure.isEmpty() && !playing.failing) {
        // The throttle stays, as it was; the next step tries again.
        m_logger.log("Failed to change throttle " + std::to_string(id) +
                     " to its schedule's next step: " + failure.toStdString());
    } else if (failure.isEmpty() && !skipped && playing.failing) {
        m_logger.log("Throttle " + std::to_string(id) + " follows its schedule again");
    }
    playing.failing = !failure.isEmpty();
    if (playing.behind) {
        submit(id, playing);
    }
}

void SchedulePlayer::keepToRecord() {
    std::vector<quint64> ended;
    for (const auto& [id, playing] : m_playing) {
        if (m_ownership.find(id) == nullptr) {
            ended.push_back(id);
        }
    }
    for (const quint64 id : ended) {
        stop(id);
    }
}

void SchedulePlayer::stopAll() {
    while (!m_playing.empty()) {
        stop(m_playing.begin()->first);
    }
}

void SchedulePlayer::stop(quint64 id) {
    if (m_playing.erase(id) > 0) {
        m_state.showSchedule(id, {});
    }
}
