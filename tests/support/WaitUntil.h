// SPDX-License-Identifier: MIT
#pragma once

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <functional>

// Polls `condition` until it holds or `timeout` passes, processing events
// meanwhile; returns whether it held.
inline bool waitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}
