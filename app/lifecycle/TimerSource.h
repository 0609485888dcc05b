// SPDX-License-Identifier: MIT
#pragma once

#include <chrono>
#include <functional>
#include <memory>

// An action scheduled to run once; dropping it cancels it.
class ScheduledAction {
public:
    virtual ~ScheduledAction() = default;
};

// Where the application's long timers come from, so that tests can move time
// by hand instead of waiting minutes. Actions run on the main thread.
class TimerSource {
public:
    virtual ~TimerSource() = default;

    virtual std::unique_ptr<ScheduledAction> schedule(std::chrono::milliseconds delay,
                                                      std::function<void()> action) = 0;
};
