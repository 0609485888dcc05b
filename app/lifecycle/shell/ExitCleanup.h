// SPDX-License-Identifier: MIT
#pragma once

#include "BusEndpoint.h"

#include <QString>

#include <chrono>
#include <functional>
#include <vector>

// The belt to the helper's hold: when the process ends through exit()
// before its quit steps ran, as Qt's X11 plugin makes it when the display
// connection breaks at logout, the throttles this application owns are
// ended, each by its id, before the process goes, and the process goes
// within the quit's bound whatever the bus does.
//
// The event loop cannot run by then (the broken display would end the
// process again from inside it), so the helper is called from a thread of
// its own over a connection of its own, and this thread waits for it until
// the bound at most.
class ExitCleanup final {
public:
    struct Context {
        // The ids of this application's own throttles, asked on the main
        // thread as the process ends, when every object of the application
        // still exists.
        std::function<std::vector<quint64>()> ownThrottles;
        std::function<void(const QString&)> log;
        std::chrono::milliseconds bound{2000};
        BusEndpoint bus;
    };

    // Armed from now until disarm() or destruction; one at a time.
    explicit ExitCleanup(Context context);
    ~ExitCleanup();
    ExitCleanup(const ExitCleanup&) = delete;
    ExitCleanup& operator=(const ExitCleanup&) = delete;

    // The quit steps have run: ending from here on is the usual way.
    void disarm();

private:
    static void atExit();
    void run();

    Context m_context;
};
