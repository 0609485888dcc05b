// SPDX-License-Identifier: MIT
#pragma once

#include "HelperClient.h"
#include "LifecycleLog.h"
#include "ThrottleService.h"
#include "UserDefaults.h"

#include <QDeadlineTimer>
#include <QPointer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <unistd.h>

// What quitting does to throttling, within the quit's bound whatever the
// helper and the settings file do: ends the throttles this application
// switched on, and those an earlier run left behind, each by its id, through
// the service or else a fresh connection, and leaves every other client's;
// or, when the user wants its own to stay, lets go of its hold. The bound
// starts with the first quit step or signal. Lives on the main thread.
class QuitCleanup final {
public:
    // `newHelperConnection` makes a connection of its own, independent of
    // the service's: the fallback when the service cannot switch throttling
    // off. Made only inside the bound. `userId`: the user this application
    // runs as, whose left-behind throttling it removes.
    QuitCleanup(UserDefaults& defaults,
                std::function<std::unique_ptr<HelperClient>()> newHelperConnection,
                std::chrono::milliseconds bound, LifecycleLog log, uint userId = ::getuid());
    ~QuitCleanup();
    QuitCleanup(const QuitCleanup&) = delete;
    QuitCleanup& operator=(const QuitCleanup&) = delete;

    // Before it, only a fresh connection can clean up.
    void attach(ThrottleService& service);

    // Removes the throttling that must not outlive the application. Runs
    // once per process; a nested event loop runs meanwhile.
    void perform();
    // Whether perform() is still waiting for the helper.
    bool isRunning() const { return m_running; }
    // So that this application's throttling stays after quitting, which the
    // helper would otherwise remove as this process's connection closes.
    void releaseHold();
    // What is left of the bound; the first call starts it.
    std::chrono::milliseconds remainingTime();

private:
    UserDefaults& m_defaults;
    std::function<std::unique_ptr<HelperClient>()> m_newHelperConnection;
    std::chrono::milliseconds m_bound;
    LifecycleLog m_log;
    uint m_userId;
    QPointer<ThrottleService> m_service;
    bool m_hasPerformed = false;
    bool m_running = false;
    std::optional<QDeadlineTimer> m_deadline;
    // The clean-up's own connection; a call it still waits on when the
    // clean-up goes ends with it.
    std::unique_ptr<HelperClient> m_fallbackConnection;
};
