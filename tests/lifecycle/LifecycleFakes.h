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
    std::vector<UserNotificationRequest> posted;
    QStringList removed;

    QCoro::Task<NotificationAuthorization> requestAuthorization() override {
        NotificationAuthorization answer = authorization;
        co_return answer;
    }
    QCoro::Task<std::optional<QString>> add(UserNotificationRequest request) override {
        posted.push_back(std::move(request));
        std::optional<QString> failure = addFailure;
        co_return failure;
    }
    void removeDeliveredNotifications(const QString& identifier) override { removed << identifier; }

    QStringList identifiers() const {
        QStringList all;
        for (const UserNotificationRequest& request : posted) {
            all << request.identifier;
        }
        return all;
    }
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
        auto entry = std::make_shared<Entry>(Entry{now + delay, std::move(action)});
        m_entries.push_back(entry);
        return std::make_unique<Handle>(entry);
    }

    // Runs what falls due on the way, in order, each at its own time.
    void advance(std::chrono::milliseconds by) {
        const std::chrono::milliseconds end = now + by;
        while (true) {
            std::erase_if(m_entries, [](const auto& entry) { return entry->cancelled; });
            auto next = std::min_element(m_entries.begin(), m_entries.end(),
                                         [](const auto& a, const auto& b) { return a->due < b->due; });
            if (next == m_entries.end() || (*next)->due > end) {
                break;
            }
            const std::shared_ptr<Entry> due = *next;
            m_entries.erase(next);
            now = due->due;
            due->cancelled = true;
            due->action();
        }
        now = end;
    }
    std::size_t pending() {
        std::erase_if(m_entries, [](const auto& entry) { return entry->cancelled; });
        return m_entries.size();
    }

private:
    struct Entry {
        std::chrono::milliseconds due;
        std::function<void()> action;
        bool cancelled = false;
    };
    struct Handle final : ScheduledAction {
        explicit Handle(std::shared_ptr<Entry> entry)
            : entry(std::move(entry)) {}
        ~Handle() override { entry->cancelled = true; }
        std::shared_ptr<Entry> entry;
    };
    std::vector<std::shared_ptr<Entry>> m_entries;
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
