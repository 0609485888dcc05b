// SPDX-License-Identifier: MIT
#include "OrphanCleanup.h"

#include "HelperClient.h"
#include "HelperState.h"
#include "NotificationNames.h"
#include "ThrottleState.h"

#include <exception>
#include <optional>
#include <vector>

OrphanCleanup::OrphanCleanup(ServiceRegistration& registration, LifecycleNotifier& notifier,
                             LifecycleLog log, uint userId, QObject* parent)
    : QObject(parent)
    , m_registration(registration)
    , m_notifier(notifier)
    , m_log(std::move(log))
    , m_userId(userId) {}

QCoro::Task<> OrphanCleanup::run(QPointer<ThrottleService> service) {
    const QPointer<OrphanCleanup> alive(this);
    const LifecycleLog log = m_log;
    const ServiceStatus status = m_registration.daemonStatus();
    service->checkHelperStatus();
    if (status != ServiceStatus::enabled) {
        m_notifier.helperUnavailable(status);
        co_return;
    }
    HelperClient& helper = service->helperConnection();
    HelperState helperState;
    std::optional<QString> failure;
    try {
        helperState = co_await helper.readState();
    } catch (const std::exception& error) {
        failure = describeFailure(error);
    }
    if (failure) {
        // Not when the application is going away: its connection just closed.
        if (alive) {
            log(QStringLiteral("Failed to query helper status: ") + *failure);
            m_notifier.helperUnavailable(status);
        }
        co_return;
    }
    // A live holder's throttling, or one `veltranectl apply` left on, is
    // someone's on purpose: the panel and the tooltip show it.
    const std::vector<quint64> orphans = leftBehindThrottles(helperState.throttles, m_userId);
    if (orphans.empty() || !alive || !service) {
        co_return;
    }
    log(QStringLiteral("Warning: Throttling is still active from previous session"));
    try {
        for (const quint64 id : orphans) {
            // The connection goes with the application.
            if (!service) {
                co_return;
            }
            co_await helper.endThrottle(id);
        }
        log(QStringLiteral("Disabled orphaned throttling from previous session"));
    } catch (const std::exception& error) {
        failure = describeFailure(error);
    }
    if (failure) {
        log(QStringLiteral("Failed to disable orphaned throttling: ") + *failure);
    } else if (alive) {
        // Only once it is true.
        m_notifier.post(UserNotificationId::throttlingCleanup,
                        QStringLiteral("Throttling was still active from a previous session and "
                                       "has been disabled for safety."));
    }
}
