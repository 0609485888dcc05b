// SPDX-License-Identifier: MIT
#pragma once

#include "FakeNotificationServer.h"
#include "FakeTrayHost.h"
#include "PrivateBus.h"
#include "VirtualDisplay.h"

#include <QLatin1StringView>
#include <QProcessEnvironment>
#include <QTemporaryDir>

// A user's desktop for the tray application: a private session bus with a
// tray host and a notification server, and a home of its own for settings
// and data. The X display is shared: starting one per test is slow.
class FakeDesktop final {
public:
    FakeDesktop();

    // The application's environment on `display`, with `systemBus` as its system bus.
    QProcessEnvironment environment(const VirtualDisplay& display, const QString& systemBus) const;
    // Written before the application starts.
    void setting(QLatin1StringView key, const QVariant& value) const;

    QTemporaryDir home;
    PrivateBus session{{}};
    QDBusConnection connection;
    FakeTrayHost tray;
    FakeNotificationServer notifications;
};
