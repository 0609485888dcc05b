// SPDX-License-Identifier: MIT
#pragma once

#include "UserNotificationCenter.h"

#include <QDBusConnection>
#include <QHash>
#include <QSet>

// User notifications through the desktop's notification server
// (org.freedesktop.Notifications on the session bus). A notification is
// clickable through its default action; a click is reported as a tap with
// the identifier it was posted under. Posting an identifier again replaces
// what is shown under it, as the platform's notification centre does.
class DesktopNotificationCenter final : public UserNotificationCenter {
    Q_OBJECT

public:
    explicit DesktopNotificationCenter(QDBusConnection bus = QDBusConnection::sessionBus(),
                                       QObject* parent = nullptr);

    // Granted when a notification server answers; the bus's error otherwise.
    QCoro::Task<NotificationAuthorization> requestAuthorization() override;
    QCoro::Task<std::optional<QString>> add(UserNotificationRequest request) override;
    void removeDeliveredNotifications(const QString& identifier) override;

Q_SIGNALS:
    // A post got its answer (for posts under the same identifier).
    void posted();

private Q_SLOTS:
    // QtDBus matches bus signals by exact slot signature.
    void actionInvoked(uint id, const QString& actionKey);
    void notificationClosed(uint id, uint reason);

private:
    QDBusMessage call(const QString& method, const QVariantList& arguments) const;
    QDBusMessage notifyCall(const UserNotificationRequest& request) const;

    QDBusConnection m_bus;
    // The server's id of what is shown under each identifier.
    QHash<QString, uint> m_shown;
    // Identifiers whose post awaits the server's answer.
    QSet<QString> m_posting;
};
