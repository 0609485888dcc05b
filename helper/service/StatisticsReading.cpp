// SPDX-License-Identifier: MIT
#include "StatisticsReading.h"

#include "CommandExecutor.h"
#include "Logger.h"

#include <exception>
#include <utility>

StatisticsReading::StatisticsReading(const Logger& logger, Read read,
                                     std::function<Clock::time_point()> now, QObject* parent)
    : QObject(parent)
    , m_logger(logger)
    , m_read(std::move(read))
    , m_now(std::move(now)) {}

StatisticsReading::~StatisticsReading() = default;

void StatisticsReading::read(Answer answer) {
    if (m_cached && m_now() - m_cached->takenAt < kMaxAge) {
        answer(*m_cached);
        return;
    }
    m_waiting.push_back(std::move(answer));
    if (m_running) {
        return;
    }
    m_running = true;
    m_thread.post([this, takenAt = m_now(), generation = m_generation] {
        Reading reading{takenAt, {}, {}};
        try {
            // Bounded as a call is: a tool that hangs holds its readers only
            // so long.
            const CommandExecutor::CallDeadline deadline(Clock::now() + kTimeLimit);
            reading.figures = m_read();
        } catch (const std::exception& error) {
            reading.failure = QString::fromUtf8(error.what());
        } catch (...) {
            reading.failure = QStringLiteral("Unknown error");
        }
        QMetaObject::invokeMethod(
            this,
            [this, reading = std::move(reading), generation] { finished(reading, generation); },
            Qt::QueuedConnection);
    });
}

void StatisticsReading::forget() {
    m_cached.reset();
    ++m_generation;
}

bool StatisticsReading::stop(std::chrono::milliseconds limit) {
    return m_thread.finish(limit);
}

void StatisticsReading::finished(const Reading& reading, quint64 generation) {
    m_running = false;
    if (generation == m_generation) {
        m_cached = reading;
    }
    // Once per failure, not once a second for as long as it lasts.
    if (reading.failure != m_lastFailureLogged) {
        if (!reading.failure.isEmpty()) {
            m_logger.log("Cannot read the shaping's statistics: " + reading.failure.toStdString());
        }
        m_lastFailureLogged = reading.failure;
    }
    for (const Answer& answer : std::exchange(m_waiting, {})) {
        try {
            answer(reading);
        } catch (...) {
            // Replying failed for lack of memory: that caller's call times
            // out, the others are still answered.
        }
    }
}
