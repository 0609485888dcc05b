// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationEvents.h"
#include "ControlFakes.h"
#include "TimerSource.h"
#include "UserNotificationCenter.h"
#include "WindowNavigator.h"

#include <QStringList>

#include <map>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Notifications that land in a list; every answer chosen by the test.
class FakeUserNotificationCenter final : public UserNotificationCenter {
public:
    NotificationAuthorization authorization{true, std::nullopt};
    std::optional<QString> addFailure;
    QStringList posted;
    QStringList bodies;

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
    void removeDeliveredNotifications(const QString&) override {}

    void tap(const QString& identifier) { Q_EMIT tapped(identifier); }
};

class FakeApplicationEvents final : public ApplicationEvents {
public:
    std::vector<int> watched;
    int terminations = 0;

    void watchSignal(int signalNumber) override { watched.push_back(signalNumber); }
    void terminate() override { ++terminations; }
};

// Time moves only when the test says so.
class ManualTimerSource final : public TimerSource {
public:
    std::chrono::milliseconds now{0};

    std::unique_ptr<ScheduledAction> schedule(std::chrono::milliseconds delay,
                                              std::function<void()> action) override {
        auto handle = std::make_unique<Handle>(m_due);
        m_due.emplace(now + delay, Entry{handle.get(), std::move(action)});
        return handle;
    }
    // Runs what falls due on the way, each at its own time.
    void advance(std::chrono::milliseconds by) {
        const std::chrono::milliseconds end = now + by;
        while (!m_due.empty() && m_due.begin()->first <= end) {
            auto [due, entry] = std::move(*m_due.begin());
            m_due.erase(m_due.begin());
            now = due;
            entry.action();
        }
        now = end;
    }
    std::size_t pending() const { return m_due.size(); }

private:
    struct Entry;
    using Due = std::multimap<std::chrono::milliseconds, Entry>;
    struct Handle final : ScheduledAction {
        explicit Handle(Due& due)
            : due(due) {}
        ~Handle() override {
            std::erase_if(due, [this](const auto& entry) { return entry.second.handle == this; });
        }
        Due& due;
    };
    struct Entry {
        Handle* handle;
        std::function<void()> action;
    };
    Due m_due;
};

class FakeWindowNavigator final : public WindowNavigator {
public:
    QStringList opened;
    void openWindow(const QString& identifier) override { opened << identifier; }
    void closeWindow(const QString&) override {}
};

// A connection of its own to the same fake helper, as a fresh connection
// reaches the same daemon.
class ConnectionTo final : public HelperClient {
public:
    explicit ConnectionTo(FakeHelperClient& helper)
        : m_helper(helper) {}

    QCoro::Task<> installHelper() override { return m_helper.installHelper(); }
    QCoro::Task<bool> getStatus() override { return m_helper.getStatus(); }
    QCoro::Task<> enableThrottling(HelperParameters parameters) override {
        return m_helper.enableThrottling(parameters);
    }
    QCoro::Task<> disableThrottling() override { return m_helper.disableThrottling(); }

private:
    FakeHelperClient& m_helper;
};
