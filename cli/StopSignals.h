// SPDX-License-Identifier: MIT
#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

// While it lives, SIGINT and SIGTERM no longer end the process: `stopped`
// runs for them on the thread of the event loop instead, so that a command
// waiting in one ends like one that finished.
class StopSignals final {
public:
    explicit StopSignals(std::function<void()> stopped);
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> m_saved;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_stopped;
};
