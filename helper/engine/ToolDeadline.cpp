// SPDX-License-Identifier: MIT
#include "ToolDeadline.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string secondsText(std::chrono::milliseconds duration) {
    if (duration.count() % 1000 == 0) {
        return std::to_string(duration.count() / 1000);
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(duration.count()) / 1000.0);
    return text;
}

} // namespace

ToolDeadline::ToolDeadline(std::chrono::milliseconds timeLimit, Clock::time_point callDeadline,
                           const Stop& stop)
    : m_started(Clock::now())
    , m_timeLimit(timeLimit)
    , m_callDeadline(callDeadline)
    , m_stop(stop)
    , m_stopRequestsAtStart(stop.requests()) {}

ToolDeadline::Clock::time_point ToolDeadline::at() const {
    return std::min({m_started + m_timeLimit, m_stop.deadline(), m_callDeadline});
}

std::optional<std::string> ToolDeadline::reasonToEnd(Clock::time_point now) const {
    const bool stopping = m_stop.requests() != m_stopRequestsAtStart;
    if (now < at() && !stopping) {
        return std::nullopt;
    }
    // The daemon's stop first, then the tool's own limit, else the deadline
    // of the call it ran for.
    if (stopping || now >= m_stop.deadline()) {
        return "Command ended because the helper is stopping: ";
    }
    if (now >= m_started + m_timeLimit) {
        return "Command timed out after " + secondsText(m_timeLimit) + " s: ";
    }
    return "Command ended: its call ran out of time: ";
}
