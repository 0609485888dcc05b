// SPDX-License-Identifier: MIT
#pragma once

#include "Authorization.h"

#include <QDBusConnection>
#include <QObject>

// Asks polkit, on the daemon's own bus, whether a caller may perform the
// action "com.veltrane.helper.throttle" (system-bus-name subject, no user
// interaction). Without polkit on the bus, or when it does not answer in
// time, only root is allowed.
class PolkitAuthorization final : public QObject, public Authorization {
    Q_OBJECT

public:
    explicit PolkitAuthorization(QDBusConnection bus, QObject* parent = nullptr);

    void checkUnless(const QString& caller, std::function<bool(uint uid)> isOwn,
                     std::function<void(Decision)> done) override;

private:
    // `decision` carries the caller's credentials.
    void askPolkit(const QString& caller, Decision decision, std::function<void(Decision)> done);

    QDBusConnection m_bus;
};
