// SPDX-License-Identifier: MIT
#pragma once

#include "HelperClient.h"
#include "Presets.h"
#include "ServiceRegistration.h"
#include "TaskDeadline.h"
#include "ThrottleError.h"
#include "ThrottleProfile.h"

#include <chrono>
#include <coroutine>
#include <exception>
#include <stdexcept>
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
    int settingsOpened = 0;

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
    void openSystemSettingsLoginItems() override { ++settingsOpened; }

private:
    std::optional<RegistrationError> changeLoginItem(ServiceStatus to) {
        if (loginItemFailure) {
            return std::exchange(loginItemFailure, std::nullopt);
        }
        loginItem = to;
        return std::nullopt;
    }
};

// A helper that records what it is asked and fails when told to.
class FakeHelperClient final : public HelperClient {
public:
    std::vector<HelperParameters> enables;
    int disables = 0;
    bool active = false;
    int statusQueries = 0;
    // Thrown by the next call.
    std::exception_ptr nextFailure;
    int installs = 0;
    // Thrown by every install; otherwise an install leaves the daemon as
    // this says, when set.
    std::optional<ThrottleError> installFailure;
    FakeServiceRegistration* registration = nullptr;
    ServiceStatus statusAfterInstalling = ServiceStatus::enabled;
    // While set, enables and disables wait for release(), like a helper that
    // hangs; release() resumes the waiting ones at once, inside it.
    bool gated = false;

    using HelperClient::setConnected;

    void release() {
        for (const std::coroutine_handle<> call : std::exchange(m_waiting, {})) {
            call.resume();
        }
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
    QCoro::Task<> enableThrottling(HelperParameters parameters) override {
        enables.push_back(parameters);
        co_await Gate{this};
        failIfTold();
        active = true;
    }
    QCoro::Task<> disableThrottling() override {
        ++disables;
        co_await Gate{this};
        failIfTold();
        active = false;
    }
    QCoro::Task<> takeThrottling(HelperParameters parameters, QString, bool) override {
        co_await enableThrottling(parameters);
    }
    QCoro::Task<> releaseThrottling() override { co_return; }
    QCoro::Task<HelperState> readState() override {
        HelperState state;
        state.available = true;
        state.active = active;
        co_return state;
    }
    void followState() override {}

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
