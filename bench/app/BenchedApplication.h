// SPDX-License-Identifier: MIT
#pragma once

#include "FakeDesktop.h"
#include "HelperOnPrivateBus.h"
#include "SettingsKeys.h"
#include "VirtualDisplay.h"

#include <QProcess>

// veltrane as the application benchmarks run it: a user past onboarding (no
// window open), on a display of its own, with a tray host and notifications on
// a private session bus and the sandboxed helper on a private system bus. Its
// own output is dropped; what it writes to standard error is passed on.
struct BenchedApplication {
    BenchedApplication() {
        desktop.setting(SettingsKeys::hasCompletedOnboarding, true);
        process.setProcessEnvironment(desktop.environment(display, helper.bus().address()));
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.setStandardOutputFile(QProcess::nullDevice());
    }

    void start() { process.start(QStringLiteral(VELTRANE_PATH), {}); }

    VirtualDisplay display;
    FakeDesktop desktop;
    HelperOnPrivateBus helper;
    QProcess process;
};
