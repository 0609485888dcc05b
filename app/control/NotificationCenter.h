// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// The process's in-process notifications: a name and optional user info,
// delivered synchronously to every observer connected to posted().
class NotificationCenter final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    static inline const QString throttlingEnabled = QStringLiteral("ThrottlingEnabled");
    static inline const QString throttlingDisabled = QStringLiteral("ThrottlingDisabled");
    static inline const QString sparkleUpdateNotificationTapped =
        QStringLiteral("SparkleUpdateNotificationTapped");
    // User info "enabled" (bool) and "minutes" (int).
    static inline const QString autoDisableSettingChanged =
        QStringLiteral("AutoDisableSettingChanged");

    void post(const QString& name, const QVariantMap& userInfo = {}) {
        Q_EMIT posted(name, userInfo);
    }

Q_SIGNALS:
    void posted(const QString& name, const QVariantMap& userInfo);
};
