// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>

#include <stdexcept>

// logind on a private system bus, as far as sleep goes: it owns
// org.freedesktop.login1 (signals from anyone else are not delivered) and
// announces sleep and wake with PrepareForSleep.
class FakeLogin1 final {
public:
    explicit FakeLogin1(QDBusConnection bus)
        : m_bus(std::move(bus)) {
        if (!m_bus.registerService(QStringLiteral("org.freedesktop.login1"))) {
            throw std::runtime_error("cannot own org.freedesktop.login1");
        }
    }

    void prepareForSleep(bool start) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << start;
        m_bus.send(signal);
    }

private:
    QDBusConnection m_bus;
};
