// SPDX-License-Identifier: MIT
#pragma once

#include "ScheduleFigures.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

class NetnsPair;

// The netem rates the kernel of the shaped side announces as they change,
// and when on the wall clock (TimedTraffic::wallMs). The kernel
// tells its listeners as it takes a change, so the moment a step took
// effect is known without polling. Listens from construction; its thread
// runs at a real-time priority where it may, so that a busy processor does
// not make the kernel's word late.
class NetemRateChanges final {
public:
    explicit NetemRateChanges(const NetnsPair& pair);
    ~NetemRateChanges();
    NetemRateChanges(const NetemRateChanges&) = delete;
    NetemRateChanges& operator=(const NetemRateChanges&) = delete;

    // Those heard so far, in milliseconds from `originMs`.
    std::vector<ScheduleFigures::RateChange> heard(double originMs) const;
    bool realTime() const { return m_realTime; }

private:
    void listen();
    void take(const char* messages, std::size_t length, double atMs);

    const int m_socket;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_realTime{false};
    mutable std::mutex m_mutex;
    std::vector<ScheduleFigures::RateChange> m_heard;
    std::thread m_thread;
};
