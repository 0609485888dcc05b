// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

class ThrottleService;

// The panel's Quit: ends this application's own throttles, then runs the
// application's quit steps, which store the quit state once the network is
// seen to. Another client's throttles stay: they go on after the
// application. The ending runs on after the panel is gone.
class QuitAfterRemovingThrottling final {
public:
    QuitAfterRemovingThrottling(ThrottleService& throttleService, std::function<void()> quitAction);
    QuitAfterRemovingThrottling(const QuitAfterRemovingThrottling&) = delete;
    QuitAfterRemovingThrottling& operator=(const QuitAfterRemovingThrottling&) = delete;

    // A second call while the first quit is removing throttling changes nothing.
    void start();

private:
    ThrottleService& m_throttleService;
    std::function<void()> m_quitAction;
    bool m_started = false;
};
