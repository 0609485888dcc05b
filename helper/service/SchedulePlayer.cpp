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
    Playing playing{record->schedule, record->scheduleStartedAt, ++m_rounds};
    const qint64 elapsedMs = std::max<qint64>(m_wallClock() - playing.startedAt, 0);
    const auto origin = std::chrono::steady_clock::now() - std::chrono::milliseconds(elapsedMs);
    const ThrottleSchedule::Position position = playing.schedule.at(elapsedMs, record->parameters);
    m_state.showSchedule(id, ScheduleDictionary::standingToWire(
                                 standingOf(playing.schedule, playing.startedAt, position)));
    m_jobs.playSchedule(
        id, playing.schedule, record->parameters, origin,
        [this, round = playing.round](quint64 id, const ThrottleSchedule::Position& position) {
            phaseBegan(id, round, position);
        });
    m_playing.emplace(id, std::move(playing));
}

void SchedulePlayer::phaseBegan(quint64 id, quint64 round,
                                const ThrottleSchedule::Position& position) {
    const auto found = m_playing.find(id);
    if (found == m_playing.end() || found->second.round != round) {
        return;
    }
    const Playing& playing = found->second;
    if (!playing.schedule.phases.empty()) {
        m_logger.log("Throttle " + std::to_string(id) + " enters phase " +
                     std::to_string(position.phase + 1) + " (" +
                     playing.schedule.phases[position.phase].name + ")");
    }
    m_state.showSchedule(id, ScheduleDictionary::standingToWire(
                                 standingOf(playing.schedule, playing.startedAt, position)));
    m_state.publish();
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
        m_jobs.stopSchedule(id);
        m_state.showSchedule(id, {});
    }
}
