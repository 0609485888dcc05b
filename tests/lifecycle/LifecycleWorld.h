// SPDX-License-Identifier: MIT
#pragma once

#include "AppFakes.h"
#include "ControlFakes.h"
#include "LifecycleLog.h"
#include "LifecycleNotifier.h"
#include "NotificationCenter.h"
#include "ProfileManager.h"
#include "SettingsKeys.h"
#include "StatePersistenceService.h"
#include "ThrottleService.h"
#include "ThrottleState.h"
#include "TimerSource.h"
#include "UserDefaults.h"

#include <QDateTime>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>

// Found by argument-dependent lookup: beside QString.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

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

// A connection of its own to the same fake helper, as a fresh connection
// reaches the same daemon.
class ConnectionTo final : public HelperClient {
public:
    explicit ConnectionTo(FakeHelperClient& helper)
        : m_helper(helper) {}

    QCoro::Task<> installHelper() override { return m_helper.installHelper(); }
    QCoro::Task<> disableThrottling() override { return m_helper.disableThrottling(); }
    QCoro::Task<quint64> startThrottle(ThrottleParameters parameters, ThrottleScope scope,
                                       ThrottleSchedule schedule, QString description,
                                       bool hold) override {
        return m_helper.startThrottle(parameters, scope, std::move(schedule), description, hold);
    }
    QCoro::Task<> endThrottle(quint64 id) override { return m_helper.endThrottle(id); }
    QCoro::Task<> releaseThrottling() override { return m_helper.releaseThrottling(); }
    // Seen from here, the service's connection is another client.
    QCoro::Task<HelperState> readState() override {
        HelperState state = co_await m_helper.readState();
        if (state.owner) {
            state.owner->isThisClient = false;
        }
        for (HelperThrottle& throttle : state.throttles) {
            throttle.owner.isThisClient = false;
        }
        co_return state;
    }
    QCoro::Task<ShaperStatistics> readStatistics() override { return m_helper.readStatistics(); }
    void followState() override {}

private:
    FakeHelperClient& m_helper;
};

inline ThrottleOwner otherClient(const QString& description, bool held) {
    ThrottleOwner owner = FakeHelperClient::ownerOf(description, held, false);
    owner.pid = 1;
    return owner;
}

// Left unheld by a client of another user: a second session's, say.
inline ThrottleOwner otherUser(const QString& description) {
    ThrottleOwner owner = otherClient(description, false);
    owner.uid = ::getuid() + 1;
    return owner;
}

// What the application's life works with: the real service and profile
// store over a fake helper, fake desktop notifications and windows, and
// time that moves by hand, wall-clock time with the sleeps added.
struct LifecycleWorld {
    static inline const QDateTime launchTime =
        QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
    // The built-in "Edge" profile.
    static inline const QString edgeId = QStringLiteral("00000000-0000-0000-0000-000000000005");

    QTemporaryDir folder;
    UserDefaults defaults{folder.filePath("Veltrane.json")};
    StatePersistenceService persistence{defaults};
    FakeServiceRegistration registration;
    FakeHelperClient helper;
    NotificationCenter notifications;
    ThrottleService service{helper, registration, notifications};
    ProfileManager profiles{defaults, folder.path(), QString()};
    FakeUserNotificationCenter userNotifications;
    FakeWindowNavigator windows;
    ManualTimerSource timers;
    QStringList lines;
    // Wall-clock time that the timers did not count.
    std::chrono::milliseconds slept{0};
    LifecycleLog log = [this](const QString& line) { lines << line; };
    std::function<QDateTime()> clock = [this] {
        return launchTime.addMSecs((timers.now + slept).count());
    };
    LifecycleNotifier notifier{userNotifications, defaults, log};

    // The service as registering it leaves it: the helper known to be
    // there, and what it switches on named as this application's.
    void registerService() {
        service.checkHelperStatus();
        service.setOwnership(ThrottleState::applicationOwner, [this] {
            return defaults.boolValue(SettingsKeys::autoDisableOnQuit);
        });
    }
    void switchOn(const QString& name = QStringLiteral("3G")) {
        finish(service.applyProfile(preset(name)));
    }
    // A throttle of `owner`'s beside the others, of one address only; its id.
    quint64 beside(const ThrottleOwner& owner, const char* address = "10.9.9.9") {
        std::string failure;
        return helper.takenBy(owner, {1, 0, 0, 0, 0},
                              {{*Destination::parse(address, failure)}, {}, {}});
    }
    // This application's throttle is on, as the helper says.
    bool ownThrottleOn() const {
        return std::any_of(
            helper.throttles.begin(), helper.throttles.end(),
            [](const HelperThrottle& throttle) { return throttle.owner.isThisClient; });
    }
    const QStringList& notified() const { return userNotifications.posted; }
};
