// SPDX-License-Identifier: MIT
#pragma once

#include "HelperClient.h"
#include "Presets.h"
#include "ServiceRegistration.h"
#include "TaskDeadline.h"
#include "ThrottleError.h"
#include "ThrottleProfile.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <coroutine>
#include <exception>
#include <stdexcept>
#include <unistd.h>
#include <utility>
#include <vector>

// Service registration whose every answer the test chooses.
class FakeServiceRegistration final : public ServiceRegistration {
public:
    ServiceStatus status = ServiceStatus::enabled;
    // What a successful registration leaves behind.
    ServiceStatus statusAfterRegistering = ServiceStatus::enabled;
    std::optional<RegistrationError> registrationFailure;
    int registrations = 0;
    ServiceStatus loginItem = ServiceStatus::notRegistered;
    // Returned by the next login item change, which then changes nothing.
    std::optional<RegistrationError> loginItemFailure;

    ServiceStatus daemonStatus() const override { return status; }
    QCoro::Task<std::optional<RegistrationError>> registerDaemon() override {
        ++registrations;
        if (!registrationFailure) {
            status = statusAfterRegistering;
        }
        // A copy: QCoro moves from what co_return is given.
        std::optional<RegistrationError> outcome = registrationFailure;
        co_return outcome;
    }
    ServiceStatus loginItemStatus() const override { return loginItem; }
    std::optional<RegistrationError> registerLoginItem() override {
        return changeLoginItem(ServiceStatus::enabled);
    }
    std::optional<RegistrationError> unregisterLoginItem() override {
        return changeLoginItem(ServiceStatus::notRegistered);
    }

private:
    std::optional<RegistrationError> changeLoginItem(ServiceStatus to) {
        if (loginItemFailure) {
            return std::exchange(loginItemFailure, std::nullopt);
        }
        loginItem = to;
        return std::nullopt;
    }
};

// A helper that records what it is asked, publishes its state once
// followed, as the real one does after every change, and fails when told to.
class FakeHelperClient final : public HelperClient {
public:
    // The conditions of every switch-on, through either call.
    std::vector<ThrottleParameters> enables;
    // The description and hold of every take.
    std::vector<std::pair<QString, bool>> takes;
    int disables = 0;
    int releases = 0;
    // The scope of every scoped switch-on, and every id ended.
    std::vector<ThrottleScope> starts;
    std::vector<quint64> ends;
    // Every throttle on, as the state lists it; the whole machine's among
    // them only when the helper is told to list it.
    QList<HelperThrottle> throttles;
    bool listsMachineThrottle = false;
    // Reads of either kind.
    int statusQueries = 0;
    // What each statistics reading answers, and how many were asked.
    ShaperStatistics statistics;
    int statisticsReads = 0;
    bool active = false;
    std::optional<ThrottleParameters> configuration;
    std::optional<ThrottleOwner> owner;
    // What the last clean-up could not remove.
    QString failure;
    // Thrown by the next call.
    std::exception_ptr nextFailure;
    int installs = 0;
    // Thrown by every install; otherwise an install leaves the daemon as
    // this says, when set.
    std::optional<ThrottleError> installFailure;
    FakeServiceRegistration* registration = nullptr;
    ServiceStatus statusAfterInstalling = ServiceStatus::enabled;
    // While set, the calls that change something wait for release(), like a
    // helper that hangs; release() resumes the waiting ones at once, inside it.
    bool gated = false;

    using HelperClient::setConnected;

    void release() {
        for (const std::coroutine_handle<> call : std::exchange(m_waiting, {})) {
            call.resume();
        }
    }
    // Throttling switched on by someone else, or by a client that names no owner.
    void takenBy(std::optional<ThrottleOwner> by, ThrottleParameters parameters = {1, 0, 0, 0, 0}) {
        active = true;
        configuration = parameters;
        owner = std::move(by);
        publish();
    }
    void switchedOff() {
        active = false;
        configuration.reset();
        owner.reset();
        throttles.clear();
        publish();
    }
    void publish(bool available = true) {
        if (m_following) {
            Q_EMIT helperStateChanged(available ? state() : HelperState{});
        }
    }
    HelperState state() {
        return {true, active, ++m_serial, configuration, owner, failure, throttles};
    }
    // This client, as the helper names it.
    static ThrottleOwner ownerOf(const QString& description, bool held, bool isThisClient = true) {
        const auto pid = static_cast<uint>(QCoreApplication::applicationPid());
        const QDateTime since = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
        return {QStringLiteral(":1.7"), ::getuid(), pid, description, since, held, isThisClient};
    }

    QCoro::Task<> installHelper() override {
        ++installs;
        if (installFailure) {
            throw *installFailure;
        }
        if (registration) {
            registration->status = statusAfterInstalling;
        }
        co_return;
    }
    QCoro::Task<bool> getStatus() override {
        ++statusQueries;
        failIfTold();
        co_return active;
    }
    QCoro::Task<> enableThrottling(ThrottleParameters parameters) override {
        co_await switchOn(parameters, ownerOf(QString(), false));
    }
    QCoro::Task<> takeThrottling(ThrottleParameters parameters, QString description,
                                 bool hold) override {
        takes.emplace_back(description, hold);
        co_await switchOn(parameters, ownerOf(description, hold));
    }
    QCoro::Task<quint64> startThrottle(ThrottleParameters parameters, ThrottleScope scope,
                                       QString description, bool hold) override {
        starts.push_back(scope);
        co_await Gate{this};
        failIfTold();
        const quint64 id = ++m_lastId;
        throttles.append({id, std::move(scope), {}, parameters, ownerOf(description, hold)});
        takenBy(ownerOf(description, hold), parameters);
        co_return id;
    }
    QCoro::Task<> endThrottle(quint64 id) override {
        ends.push_back(id);
        co_await Gate{this};
        failIfTold();
        const auto ended = std::find_if(throttles.begin(), throttles.end(),
                                        [id](const HelperThrottle& t) { return t.id == id; });
        if (ended == throttles.end()) {
            throw ThrottleError::helperError(QStringLiteral("No throttle %1 is on").arg(id));
        }
        throttles.erase(ended);
        if (throttles.isEmpty()) {
            switchedOff();
            co_return;
        }
        owner = throttles.back().owner;
        configuration = throttles.back().configuration;
        publish();
    }
    QCoro::Task<> disableThrottling() override {
        ++disables;
        co_await Gate{this};
        failIfTold();
        switchedOff();
    }
    QCoro::Task<> releaseThrottling() override {
        ++releases;
        co_await Gate{this};
        failIfTold();
        if (!owner || !owner->isThisClient) {
            throw ThrottleError::helperError(QStringLiteral("Not the holder"));
        }
        owner->held = false;
        publish();
    }
    QCoro::Task<HelperState> readState() override {
        ++statusQueries;
        failIfTold();
        co_return state();
    }
    QCoro::Task<ShaperStatistics> readStatistics() override {
        ++statisticsReads;
        co_await Gate{this};
        failIfTold();
        // A copy: QCoro moves from what co_return is given.
        ShaperStatistics reading = statistics;
        co_return reading;
    }
    void followState() override {
        m_following = true;
        publish();
    }

private:
    struct Gate {
        FakeHelperClient* helper;
        bool await_ready() const { return !helper->gated; }
        void await_suspend(std::coroutine_handle<> call) { helper->m_waiting.push_back(call); }
        void await_resume() const {}
    };
    QCoro::Task<> switchOn(ThrottleParameters parameters, ThrottleOwner by) {
        enables.push_back(parameters);
        co_await Gate{this};
        failIfTold();
        if (listsMachineThrottle) {
            throttles.removeIf([](const HelperThrottle& t) { return t.scope.isMachine(); });
            throttles.prepend({++m_lastId, {}, {}, parameters, by});
        }
        takenBy(std::move(by), parameters);
    }
    void failIfTold() {
        if (nextFailure) {
            std::rethrow_exception(std::exchange(nextFailure, nullptr));
        }
    }

    std::vector<std::coroutine_handle<>> m_waiting;
    bool m_following = false;
    quint64 m_serial = 0;
    quint64 m_lastId = 0;
};

// Runs a coroutine to its end, with a generous bound so that a fault hangs
// no test.
template <typename T>
T finish(QCoro::Task<T> task) {
    return waitWithDeadline(std::move(task), std::chrono::seconds(30));
}

// The ThrottleError a finished coroutine threw, or none.
template <typename T>
std::optional<ThrottleError> failureOf(QCoro::Task<T> task) {
    try {
        finish(std::move(task));
    } catch (const ThrottleError& error) {
        return error;
    }
    return std::nullopt;
}
