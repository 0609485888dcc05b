// SPDX-License-Identifier: MIT
#pragma once

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <optional>

// One user notification. Every notification of the application has the title
// "Veltrane" and the desktop's default sound, and is shown at once.
struct UserNotificationRequest {
    QString identifier;
    QString body;
    // Whether a tap does something: only then is the notification offered
    // as something to click.
    bool opensOnTap = true;
};

struct NotificationAuthorization {
    bool granted = false;
    // Why permission could not be asked for at all; a plain refusal has none.
    std::optional<QString> error;
};

// The desktop's user notifications, reduced to what the application needs:
// permission once at launch, posting by identifier, withdrawing what is shown
// under an identifier, and the user's tap reported with the identifier.
// Used on the main thread only.
class UserNotificationCenter : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    static inline const QString title = QStringLiteral("Veltrane");

    virtual QCoro::Task<NotificationAuthorization> requestAuthorization() = 0;
    // The error text when the notification could not be shown.
    virtual QCoro::Task<std::optional<QString>> add(UserNotificationRequest request) = 0;
    virtual void removeDeliveredNotifications(const QString& identifier) = 0;

Q_SIGNALS:
    void tapped(const QString& identifier);
};
