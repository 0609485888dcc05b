// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationEvents.h"
#include "SignalWatcher.h"

#include <QDBusConnection>

// The application's events on a Linux desktop: termination signals on the
// main thread through the signal watcher, sleep and wake from logind's
// PrepareForSleep on the system bus, activation from the GUI application.
class SystemApplicationEvents final : public ApplicationEvents {
    Q_OBJECT

public:
    explicit SystemApplicationEvents(QDBusConnection systemBus = QDBusConnection::systemBus(),
                                     QObject* parent = nullptr);
    ~SystemApplicationEvents() override;

    void watchSignal(int signalNumber) override;
    void terminate() override;

private Q_SLOTS:
    // QtDBus matches bus signals by exact slot signature.
    void prepareForSleep(bool start);

private:
    SignalWatcher m_signals;
};
