// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QThread>

#include <chrono>
#include <functional>

// One thread that runs posted jobs in the order they were posted. Engine work
// goes here so that a slow tool run never holds up the bus thread, and so
// that one client's calls are answered in the order it sent them.
class EngineThread final {
public:
    EngineThread();
    ~EngineThread();
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    void post(std::function<void()> job);

    // Runs the jobs posted so far, then ends the thread. False when they
    // are not done within `limit`; the thread is then left to the process's
    // exit.
    bool finish(std::chrono::milliseconds limit);

private:
    QThread m_thread;
    QObject m_context;
};
