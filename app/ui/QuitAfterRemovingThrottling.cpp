// SPDX-License-Identifier: MIT
#include "QuitAfterRemovingThrottling.h"

#include "CallFailure.h"
#include "ThrottleService.h"

#include <QCoro/QCoroTask>
#include <QTimer>

#include <memory>
#include <utility>

namespace {

// Quits when the ending is answered or when the quit's bound has passed,
// whichever comes first, so a frozen bus cannot hold the quit.
QCoro::Task<> endOwnThrottlingAndQuit(ThrottleService& throttleService,
                                      std::function<void()> quitAction) {
    const auto quitOnce = [pending =
                               std::make_shared<std::function<void()>>(std::move(quitAction))] {
        if (const std::function<void()> quit = std::exchange(*pending, nullptr)) {
            quit();
        }
    };
    if (throttleService.ownsThrottling()) {
        QTimer::singleShot(ThrottleService::kQuitBound, quitOnce);
        // A failed ending must not keep the application from quitting.
        co_await failureOf(throttleService.endOwnThrottling());
    }
    quitOnce();
}

} // namespace

QuitAfterRemovingThrottling::QuitAfterRemovingThrottling(ThrottleService& throttleService,
                                                         std::function<void()> quitAction)
    : m_throttleService(throttleService)
    , m_quitAction(std::move(quitAction)) {}

void QuitAfterRemovingThrottling::start() {
    if (std::exchange(m_started, true)) {
        return;
    }
    // QCoro lets a task that nobody awaits run to its end and free itself.
    endOwnThrottlingAndQuit(m_throttleService, m_quitAction);
}
