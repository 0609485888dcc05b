// SPDX-License-Identifier: MIT
#include "LifecycleNotifier.h"

#include "NotificationNames.h"
#include "SettingsKeys.h"

#include <QCoro/QCoroTask>

namespace {

const QString kNotificationFailure = QStringLiteral("Failed to show notification: ");

QCoro::Task<> deliver(UserNotificationCenter& center, UserNotificationRequest request,
                      QString failurePrefix, LifecycleLog log) {
    const std::optional<QString> error = co_await center.add(std::move(request));
    if (error) {
        log(failurePrefix + *error);
    }
}

} // namespace

LifecycleNotifier::LifecycleNotifier(UserNotificationCenter& center, UserDefaults& defaults,
                                     LifecycleLog log)
    : m_center(center)
    , m_defaults(defaults)
    , m_log(std::move(log)) {}

void LifecycleNotifier::requestPermission() {
    [](UserNotificationCenter& center, LifecycleLog log) -> QCoro::Task<> {
        const NotificationAuthorization answer = co_await center.requestAuthorization();
        if (answer.error) {
            log(QStringLiteral("Failed to request notification permissions: ") + *answer.error);
        } else if (answer.granted) {
            log(QStringLiteral("Notification permissions granted"));
        }
    }(m_center, m_log);
}

void LifecycleNotifier::helperUnavailable(ServiceStatus status) {
    // A tap opens the settings, where the helper is installed or checked again.
    show(UserNotificationId::helperNotInstalled, ServiceRegistration::unavailableText(status), true,
         kNotificationFailure);
}

void LifecycleNotifier::post(const QString& identifier, const QString& body) {
    show(identifier, body, false, kNotificationFailure);
}

void LifecycleNotifier::postOptional(const QString& identifier, const QString& body,
                                     const QString& failurePrefix) {
    if (m_defaults.boolValue(SettingsKeys::showNotifications)) {
        show(identifier, body, false, failurePrefix);
    }
}

void LifecycleNotifier::show(const QString& identifier, const QString& body, bool opensOnTap,
                             const QString& failurePrefix) {
    deliver(m_center, {identifier, body, opensOnTap}, failurePrefix, m_log);
}
