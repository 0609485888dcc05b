// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

// The process's in-process notifications: a name (NotificationNames.h) and
// optional user info, delivered synchronously to every observer connected
// to posted().
class NotificationCenter final : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    void post(const QString& name, const QVariantMap& userInfo = {}) {
        Q_EMIT posted(name, userInfo);
    }

Q_SIGNALS:
    void posted(const QString& name, const QVariantMap& userInfo);
};
