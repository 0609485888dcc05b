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

// A helper that keeps a list of throttles as the real one does, records
// what it is asked, publishes its state once followed, as the real one does
// after every change, and fails when told to.
class FakeHelperClient final : public HelperClient {
public:
    // What one startThrottle asked for beside the conditions.
    struct Start {
        ThrottleScope scope;
        QString description;
        bool hold = false;

        bool operator==(const Start&) const = default;
    };

    // The conditions of every switch-on, through either call.
    std::vector<ThrottleParameters> enables;
    // Every owned switch-on, whatever its scope; and every id ended.
    std::vector<Start> starts;
    std::vector<ThrottleSchedule> schedules;
    std::vector<quint64> ends;
    int disables = 0;
    int releases = 0;
    // Every throttle on, oldest first, whoever owns it: what the state lists,
    // and what names its owner and conditions (the whole machine's, else the
    // newest's).
    QList<HelperThrottle> throttles;
    // Reads of either kind.
    int statusQueries = 0;
    // What each statistics reading answers, and how many were asked.
    ShaperStatistics statistics;
    int statisticsReads = 0;
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

    bool active() const { return !throttles.isEmpty(); }
    bool lists(quint64 id) const {
        return std::any_of(throttles.begin(), throttles.end(),
                           [id](const HelperThrottle& t) { return t.id == id; });
    }
    void release() {
        for (const std::coroutine_handle<> call : std::exchange(m_waiting, {})) {
            call.resume();
        }
    }
    // A throttle switched on by someone else, beside the others (the whole
    // machine's replacing the whole machine's); its id.
    quint64 takenBy(ThrottleOwner by, ThrottleParameters parameters = {1, 0, 0, 0, 0},
                    ThrottleScope scope = {}) {
        if (scope.isMachine()) {
            throttles.removeIf([](const HelperThrottle& t) { return t.scope.isMachine(); });
        }
        const quint64 id = ++m_lastId;
        throttles.append({id, std::move(scope), {}, parameters, std::move(by)});
        publish();
        return id;
    }
    void switchedOff() {
        throttles.clear();
        publish();
    }
    void publish(bool available = true) {
        if (m_following) {
            Q_EMIT helperStateChanged(available ? state() : HelperState{});
        }
    }
    HelperState state() {
        HelperState state{true, active(), ++m_serial, {}, {}, failure, throttles};
        if (active()) {
            const auto machine =
                std::find_if(throttles.begin(), throttles.end(),
                             [](const HelperThrottle& t) { return t.scope.isMachine(); });
            const HelperThrottle& shown = machine != throttles.end() ? *machine : throttles.back();
            state.configuration = shown.configuration;
            state.owner = shown.owner;
        }
        return state;
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
    QCoro::Task<quint64> startThrottle(ThrottleParameters parameters, ThrottleScope scope,
                                       ThrottleSchedule schedule, QString description,
                                       bool hold) override {
        enables.push_back(parameters);
        schedules.push_back(std::move(schedule));
        starts.push_back({scope, description, hold});
        co_await Gate{this};
        failIfTold();
        co_return takenBy(ownerOf(description, hold), parameters, std::move(scope));
    }
    QCoro::Task<> endThrottle(quint64 id) override {
        ends.push_back(id);
        co_await Gate{this};
        failIfTold();
        if (!lists(id)) {
            throw ThrottleError::helperError(QStringLiteral("No throttle %1 is on").arg(id));
        }
        throttles.removeIf([id](const HelperThrottle& t) { return t.id == id; });
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
        bool held = false;
        for (HelperThrottle& throttle : throttles) {
            if (throttle.owner.isThisClient && throttle.owner.held) {
                throttle.owner.held = false;
                held = true;
            }
        }
        if (!held) {
            throw ThrottleError::helperError(QStringLiteral("Not the holder"));
        }
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
