// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationEvents.h"

#include <QDBusConnection>
#include <QSocketNotifier>

#include <memory>

// The application's events on a Linux desktop: termination signals through
// a self-pipe watched on the main thread, sleep and wake from logind's
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
    void readSignals();

    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};
