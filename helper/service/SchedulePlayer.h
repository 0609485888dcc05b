// SPDX-License-Identifier: MIT
#pragma once

#include "ScheduleDictionary.h"
#include "ThrottleSchedule.h"

#include <QObject>

#include <functional>
#include <map>

class EngineJobs;
class Logger;
class StatePublisher;
class ThrottleOwnership;

// Plays the schedule of each throttle that has one: the steps run on the
// engine thread (see ScheduleSteps), and this shows in the state where each
// schedule stands, told only when a phase changes.
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
    struct Playing {
        ThrottleSchedule schedule;
        qint64 startedAt = 0;
        // Tells this playing's phases from those of an earlier one of the
        // same throttle still on their way.
        quint64 round = 0;
    };

    void phaseBegan(quint64 id, quint64 round, const ThrottleSchedule::Position& position);
    void stop(quint64 id);

    const Logger& m_logger;
    EngineJobs& m_jobs;
    const ThrottleOwnership& m_ownership;
    StatePublisher& m_state;
    const WallClock m_wallClock;
    std::map<quint64, Playing> m_playing;
    quint64 m_rounds = 0;
};
