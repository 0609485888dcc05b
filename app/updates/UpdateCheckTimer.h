// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>

// When the next scheduled update check is due. A seam for tests, which fire
// it themselves instead of waiting a day.
class UpdateCheckTimer : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Replaces any pending timeout.
    virtual void start(std::chrono::milliseconds delay) = 0;
    virtual void stop() = 0;

Q_SIGNALS:
    void timeout();
};

// The real one: a single-shot timer on the event loop.
class SingleShotUpdateCheckTimer final : public UpdateCheckTimer {
    Q_OBJECT

public:
    explicit SingleShotUpdateCheckTimer(QObject* parent = nullptr)
        : UpdateCheckTimer(parent) {
        m_timer.setSingleShot(true);
        // A day between checks: a coarse timer wakes the process less.
        m_timer.setTimerType(Qt::CoarseTimer);
        connect(&m_timer, &QTimer::timeout, this, &UpdateCheckTimer::timeout);
    }

    void start(std::chrono::milliseconds delay) override { m_timer.start(delay); }
    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};
