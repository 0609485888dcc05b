// SPDX-License-Identifier: MIT
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

// When one tool run must end, and why: at its own time limit, at the
// deadline of the call it runs for, or at once when the daemon stops, whose
// deadline then bounds every later run too.
class ToolDeadline final {
public:
    using Clock = std::chrono::steady_clock;

    // The daemon's stop as every run sees it; set from any thread.
    class Stop final {
    public:
        void endRunsBy(Clock::time_point deadline) noexcept {
            m_deadline.store(deadline.time_since_epoch().count());
            ++m_requests;
        }
        Clock::time_point deadline() const noexcept {
            return Clock::time_point(Clock::duration(m_deadline.load()));
        }
        unsigned requests() const noexcept { return m_requests.load(); }

    private:
        std::atomic<Clock::rep> m_deadline{Clock::time_point::max().time_since_epoch().count()};
        std::atomic<unsigned> m_requests{0};
    };

    // Starts the run's clock now.
    ToolDeadline(std::chrono::milliseconds timeLimit, Clock::time_point callDeadline,
                 const Stop& stop);

    // The earliest of the three, as it stands now: a stop may move it.
    Clock::time_point at() const;
    // The start of the message of a run that must end at `now`; none while
    // it may go on.
    std::optional<std::string> reasonToEnd(Clock::time_point now) const;

private:
    Clock::time_point m_started;
    std::chrono::milliseconds m_timeLimit;
    Clock::time_point m_callDeadline;
    const Stop& m_stop;
    unsigned m_stopRequestsAtStart;
};
