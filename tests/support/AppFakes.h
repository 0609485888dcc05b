// SPDX-License-Identifier: MIT
#pragma once

#include "UserNotificationCenter.h"
#include "WindowNavigator.h"

#include <QStringList>

// Windows that are only recorded as opened and closed.
class FakeWindowNavigator final : public WindowNavigator {
public:
    QStringList opened;
    QStringList closed;

    void openWindow(const QString& identifier) override { opened << identifier; }
    void closeWindow(const QString& identifier) override { closed << identifier; }
};

// Notifications that land in lists; every answer chosen by the test.
class FakeUserNotificationCenter final : public UserNotificationCenter {
public:
    NotificationAuthorization authorization{true, std::nullopt};
    std::optional<QString> addFailure;
    QStringList posted;
    QStringList bodies;
    QStringList removed;

    QCoro::Task<NotificationAuthorization> requestAuthorization() override {
        NotificationAuthorization answer = authorization;
        co_return answer;
    }
    QCoro::Task<std::optional<QString>> add(UserNotificationRequest request) override {
        posted << request.identifier;
        bodies << request.body;
        std::optional<QString> failure = addFailure;
        co_return failure;
    }
    void removeDeliveredNotifications(const QString& identifier) override { removed << identifier; }

    void tap(const QString& identifier) { Q_EMIT tapped(identifier); }
};
