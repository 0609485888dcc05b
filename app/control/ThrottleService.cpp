// SPDX-License-Identifier: MIT
#include "ThrottleService.h"

#include <QPointer>

namespace {

// Runs one helper call and hands back its failure as a ThrottleError, so
// that the caller can update its state outside any catch block.
QCoro::Task<std::optional<ThrottleError>> failureOf(QCoro::Task<> call) {
    try {
        co_await call;
    } catch (const ThrottleError& error) {
        co_return error;
    } catch (const std::exception& error) {
        co_return ThrottleError::unknown(QString::fromUtf8(error.what()));
    } catch (...) {
        co_return ThrottleError::unknown(QStringLiteral("Unknown error"));
    }
    co_return std::nullopt;
}

} // namespace

ThrottleService::ThrottleService(HelperClient& helperConnection, ServiceRegistration& registration,
                                 NotificationCenter& notifications, Clock clock, QObject* parent)
    : QObject(parent)
    , m_helper(helperConnection)
    , m_registration(registration)
    , m_notifications(notifications)
    , m_clock(std::move(clock)) {
    // Queued like the main-queue delivery the views expect; a value that
    // arrives after the service is gone is dropped with the connection.
    connect(
        &m_helper, &HelperClient::isConnectedChanged, this,
        [this](bool connected) {
            ThrottleState next = m_state;
            next.isHelperReady = connected;
            setState(std::move(next));
        },
        Qt::QueuedConnection);
}

QCoro::Task<> ThrottleService::applyProfile(ThrottleProfile profile) {
    if (!HelperParameters::configuresSomething(profile)) {
        throw ThrottleError::invalidProfile(
            QStringLiteral("Profile must have at least one throttling parameter configured"));
    }
    if (m_registration.daemonStatus() != ServiceStatus::enabled) {
        storeFailure(ThrottleError::helperNotInstalled());
        throw ThrottleError::helperNotInstalled();
    }
    // Refused before anything is sent, like the check above.
    const HelperParameters parameters = HelperParameters::from(profile);

    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure =
        co_await failureOf(m_helper.enableThrottling(parameters));
    if (!settled(alive, failure)) {
        co_return;
    }
    ThrottleState next = m_state;
    next.isEnabled = true;
    next.currentProfile = profile;
    next.selectedProfile = profile;
    next.enabledAt = m_clock();
    next.error.reset();
    setState(std::move(next));
    m_notifications.post(NotificationCenter::throttlingEnabled);
}

QCoro::Task<> ThrottleService::removeThrottling() {
    if (!m_state.isEnabled) {
        co_return;
    }
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await failureOf(m_helper.disableThrottling());
    if (!settled(alive, failure)) {
        co_return;
    }
    ThrottleState next = m_state;
    next.isEnabled = false;
    next.currentProfile.reset();
    next.enabledAt.reset();
    next.error.reset();
    setState(std::move(next));
    m_notifications.post(NotificationCenter::throttlingDisabled);
}

QCoro::Task<> ThrottleService::selectProfile(ThrottleProfile profile) {
    ThrottleState next = m_state;
    next.selectedProfile = profile;
    setState(std::move(next));
    if (m_state.isEnabled) {
        co_await applyProfile(std::move(profile));
    }
}

void ThrottleService::checkHelperStatus() {
    ThrottleState next = m_state;
    next.isHelperReady = m_registration.daemonStatus() == ServiceStatus::enabled;
    setState(std::move(next));
}

bool ThrottleService::settled(const QPointer<ThrottleService>& service,
                              const std::optional<ThrottleError>& failure) {
    if (failure) {
        // When the service is gone there is no state to keep it in, but the
        // caller still learns the outcome.
        if (service) {
            service->storeFailure(*failure);
        }
        throw *failure;
    }
    return !service.isNull();
}

void ThrottleService::storeFailure(const ThrottleError& error) {
    ThrottleState next = m_state;
    next.error = error;
    setState(std::move(next));
}

void ThrottleService::setState(ThrottleState state) {
    if (state == m_state) {
        return;
    }
    m_state = std::move(state);
    Q_EMIT stateChanged(m_state);
}
