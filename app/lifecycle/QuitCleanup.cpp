// SPDX-License-Identifier: MIT
#include "QuitCleanup.h"

#include "HelperState.h"
#include "TaskDeadline.h"
#include "ThrottleState.h"

#include <QCoreApplication>
#include <QCoro/QCoroTimer>

#include <exception>
#include <vector>

namespace {

// Throttling that quitting ends: this application's own, an enable of it
// still in flight, and what nobody is responsible for any more. Another
// client's stays: `veltranectl run` goes on after the application quits.
bool mustEndAtQuit(const ThrottleService& service, uint userId) {
    return service.ownsThrottling() ||
           !leftBehindThrottles(service.state().throttles, userId).empty();
}

// Stops at the first failure; when the connection goes, it starts nothing more.
QCoro::Task<> endEach(QPointer<HelperClient> connection, std::vector<quint64> ids) {
    for (const quint64 id : ids) {
        if (!connection) {
            co_return;
        }
        co_await connection->endThrottle(id);
    }
}

QCoro::Task<> endThroughService(QPointer<ThrottleService> service, uint userId) {
    co_await service->endOwnThrottling();
    if (!service) {
        co_return;
    }
    const QPointer<HelperClient> connection = &service->helperConnection();
    const std::vector<quint64> leftBehind = leftBehindThrottles(service->state().throttles, userId);
    co_await endEach(connection, leftBehind);
}

// The connection is the clean-up's: when it goes, the calls still waiting
// on it end with an error.
QCoro::Task<> fallbackCleanup(QPointer<HelperClient> connection, uint userId, LifecycleLog log,
                              std::shared_ptr<const bool> abandoned) {
    QString failure;
    try {
        const HelperState state = co_await connection->readState();
        // Seen from a connection of its own, this process's throttles are
        // someone else's: its process tells them apart.
        const auto pid = static_cast<uint>(QCoreApplication::applicationPid());
        std::vector<quint64> ends;
        for (const HelperThrottle& throttle : state.throttles) {
            if (throttle.owner.pid == pid || isLeftBehind(throttle.owner, userId)) {
                ends.push_back(throttle.id);
            }
        }
        co_await endEach(connection, ends);
        if (!ends.empty() && connection) {
            log(QStringLiteral("Throttling disabled via fallback connection"));
        }
        co_return;
    } catch (const std::exception& error) {
        failure = describeFailure(error);
    }
    if (!*abandoned) {
        log(QStringLiteral("Fallback cleanup failed: ") + failure);
    }
}

// Touches nothing of the QuitCleanup: it may still run after the deadline,
// when the application is gone. Once abandoned it starts nothing new: the
// application is going away.
QCoro::Task<> cleanup(QPointer<ThrottleService> service,
                      std::function<QPointer<HelperClient>()> newConnection, uint userId,
                      LifecycleLog log, std::shared_ptr<const bool> abandoned) {
    // Everything from here on runs inside the bounded wait, whose deadline
    // starts only when this first suspends: nothing may block before it.
    co_await QCoro::sleepFor(std::chrono::milliseconds(0));
    if (*abandoned) {
        co_return;
    }
    if (service && mustEndAtQuit(*service, userId)) {
        QString failure;
        try {
            co_await endThroughService(service, userId);
            log(QStringLiteral("Throttling disabled via registered service"));
            co_return;
        } catch (const std::exception& error) {
            failure = describeFailure(error);
        }
        log(QStringLiteral("Failed to disable throttling via service: ") + failure);
        if (*abandoned) {
            co_return;
        }
    } else if (service && service->knowsHelperState()) {
        // The helper's own word: nothing of ours runs. A fresh connection
        // would only ask again, on a bus that may not answer.
        co_return;
    }
    co_await fallbackCleanup(newConnection(), userId, std::move(log), std::move(abandoned));
}

} // namespace

QuitCleanup::QuitCleanup(UserDefaults& defaults,
                         std::function<std::unique_ptr<HelperClient>()> newHelperConnection,
                         std::chrono::milliseconds bound, LifecycleLog log, uint userId)
    : m_defaults(defaults)
    , m_newHelperConnection(std::move(newHelperConnection))
    , m_bound(bound)
    , m_log(std::move(log))
    , m_userId(userId) {}

QuitCleanup::~QuitCleanup() = default;

void QuitCleanup::attach(ThrottleService& service) {
    m_service = &service;
}

std::chrono::milliseconds QuitCleanup::remainingTime() {
    if (!m_deadline) {
        m_deadline = QDeadlineTimer(m_bound);
        // Another program may keep the settings file locked.
        m_defaults.setWriteDeadline(*m_deadline);
    }
    return std::chrono::milliseconds(m_deadline->remainingTime());
}

void QuitCleanup::releaseHold() {
    if (!m_service || !m_service->state().holdsOwnThrottling()) {
        return;
    }
    std::optional<QString> failure;
    try {
        waitWithDeadline(m_service->helperConnection().releaseThrottling(), remainingTime());
    } catch (const DeadlineExceeded&) {
        failure = QStringLiteral("the helper did not answer in time");
    } catch (const std::exception& error) {
        failure = describeFailure(error);
    }
    if (failure) {
        m_log(QStringLiteral("Failed to keep throttling on after quitting: ") + *failure);
    }
}

void QuitCleanup::perform() {
    if (m_hasPerformed) {
        return;
    }
    m_hasPerformed = true;
    m_log(QStringLiteral("Performing throttling cleanup..."));
    // The clean-up runs on this thread, in a nested event loop that ends at
    // the deadline even when the helper took the call and never answers.
    m_running = true;
    const auto abandoned = std::make_shared<bool>(false);
    // Made lazily, inside the bound: opening a bus connection can block.
    const auto newConnection = [this] {
        m_fallbackConnection = m_newHelperConnection();
        return QPointer<HelperClient>(m_fallbackConnection.get());
    };
    try {
        waitWithDeadline(cleanup(m_service, newConnection, m_userId, m_log, abandoned),
                         remainingTime());
    } catch (const DeadlineExceeded&) {
        *abandoned = true;
        m_log(QStringLiteral("Cleanup timed out"));
    }
    m_running = false;
}
