// SPDX-License-Identifier: MIT
#pragma once

#include "EngineThread.h"
#include "ShaperStatistics.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class Logger;

// Reads the shaping's statistics for every caller of GetStatistics on a
// thread of its own, never the engine's: a reading never waits behind a
// change, and a change never waits for a reading. A caller within kMaxAge
// of the last reading gets that one; callers that come while a reading runs
// share it, so however many clients poll, tc runs at most twice a second.
// Lives on the main thread.
class StatisticsReading final : public QObject {
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;
    // Clients poll once a second: a reading younger than that would often
    // answer a poll twice, and the client could not tell a rate.
    static constexpr std::chrono::milliseconds kMaxAge{500};
    // Every tool run of a reading together, within a client's reply timeout.
    static constexpr std::chrono::milliseconds kTimeLimit{3000};

    struct Reading {
        // When the reading started: the kernel's counters are from then.
        Clock::time_point takenAt;
        // Each throttle's, oldest first.
        std::vector<ThrottleStatistics> figures;
        // Why there are no figures; empty when there are.
        QString failure;
    };
    using Answer = std::function<void(const Reading&)>;
    // Runs on the reading's thread.
    using Read = std::function<std::vector<ThrottleStatistics>()>;

    StatisticsReading(const Logger& logger, Read read,
                      std::function<Clock::time_point()> now = &Clock::now,
                      QObject* parent = nullptr);
    ~StatisticsReading() override;

    // Answers on the main thread, at once from a recent reading or when the
    // running or a new one is done.
    void read(Answer answer);
    // The shaping changed: what was read before does not describe it.
    void forget();
    // Ends the thread, waiting for a reading still running up to `limit`;
    // false when it did not end by then.
    bool stop(std::chrono::milliseconds limit);

private:
    void finished(const Reading& reading, quint64 generation);

    const Logger& m_logger;
    const Read m_read;
    const std::function<Clock::time_point()> m_now;
    std::optional<Reading> m_cached;
    std::vector<Answer> m_waiting;
    bool m_running = false;
    // Counts forget(): a reading that started before is not kept.
    quint64 m_generation = 0;
    QString m_lastFailureLogged;
    // Last, so that it ends before what its job uses.
    EngineThread m_thread;
};
