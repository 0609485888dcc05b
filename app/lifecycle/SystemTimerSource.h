// SPDX-License-Identifier: MIT
#pragma once

#include "TimerSource.h"

// Timers of the event loop, on the monotonic clock: like the platform's own
// timers they do not count time the machine spends asleep.
class SystemTimerSource final : public TimerSource {
public:
    std::unique_ptr<ScheduledAction> schedule(std::chrono::milliseconds delay,
                                              std::function<void()> action) override;
};
