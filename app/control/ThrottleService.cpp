// SPDX-License-Identifier: MIT
#include "ThrottleService.h"

#include "ApplyPreconditions.h"
#include "CallFailure.h"
#include "NotificationNames.h"

#include <QPointer>

#include <utility>

namespace {

using ApplyPreconditions::parametersOf;

bool runs(const std::optional<ThrottleProfile>& profile,
          const std::optional<ThrottleParameters>& running) {
    return profile && running && parametersOf(*profile) == running;
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
    // Direct: the tray follows another client's change as soon as it is known.
    connect(&m_helper, &HelperClient::helperStateChanged, this,
            &ThrottleService::helperStateChanged);
    connect(&m_helper, &HelperClient::connectionReplaced, this, [this] {
        if (m_state.isOwnedByThisApplication() && m_ownParameters && !m_takingBack) {
            takeBackAfterReconnect();
        }
    });
    m_helper.followState();
}

void ThrottleService::setOwnership(QString description, std::function<bool()> holds) {
    m_description = std::move(description);
    m_holds = std::move(holds);
}

void ThrottleService::followProfiles(ProfileManager& profiles) {
    m_profiles = &profiles;
    connect(&profiles, &ProfileManager::builtInProfilesChanged, this,
            &ThrottleService::profilesChanged);
    connect(&profiles, &ProfileManager::customProfilesChanged, this,
            &ThrottleService::profilesChanged);
    profilesChanged();
}

QCoro::Task<> ThrottleService::applyProfile(ThrottleProfile profile) {
    std::optional<ThrottleParameters> checked;
    try {
        checked = ApplyPreconditions::parametersToApply(profile, m_registration);
    } catch (const ThrottleError& error) {
        if (error.errorCase() == ThrottleError::Case::helperNotInstalled) {
            storeFailure(error);
        }
        throw;
    }
    const ThrottleParameters parameters = *checked;
    const bool hold = m_holds();

    const QPointer<ThrottleService> alive(this);
    // Kept after a failure too: an enable whose answer was lost may still
    // land, and the helper's state then shows it as this client's.
    m_unconfirmed = profile;
    ++m_applying;
    const std::optional<ThrottleError> failure =
        co_await failureOf(m_helper.takeThrottling(parameters, m_description, hold));
    if (alive) {
        --m_applying;
    }
    if (!settled(alive, failure)) {
        co_return;
    }
    if (m_unconfirmed == profile) {
        m_unconfirmed.reset();
    }
    m_ownProfile = profile;
    m_ownParameters = parameters;
    ThrottleState next = m_state;
    next.isEnabled = true;
    next.currentProfile = profile;
    next.selectedProfile = profile;
    next.enabledAt = m_clock();
    next.error.reset();
    // The helper's own word on the owner may come after its answer.
    if (!next.isOwnedByThisApplication()) {
        ThrottleOwner owner;
        owner.description = m_description;
        owner.since = *next.enabledAt;
        owner.held = hold;
        owner.isThisClient = true;
        next.owner = owner;
    }
    setState(std::move(next));
    m_notifications.post(NotificationName::throttlingEnabled);
}

QCoro::Task<> ThrottleService::removeThrottling() {
    // An enable still in flight is switched off too: the helper carries out
    // one client's calls in order, so the disable lands after it.
    if (!m_state.isEnabled && m_applying == 0) {
        co_return;
    }
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await failureOf(m_helper.disableThrottling());
    if (!settled(alive, failure)) {
        co_return;
    }
    m_unconfirmed.reset();
    m_ownProfile.reset();
    m_ownParameters.reset();
    ThrottleState next = m_state;
    next.isEnabled = false;
    next.currentProfile.reset();
    next.enabledAt.reset();
    next.owner.reset();
    next.error.reset();
    setState(std::move(next));
    m_notifications.post(NotificationName::throttlingDisabled);
}

QCoro::Task<> ThrottleService::selectProfile(ThrottleProfile profile) {
    recordSelection(profile);
    if (m_state.isEnabled) {
        co_await applyProfile(std::move(profile));
    }
}

void ThrottleService::recordSelection(const ThrottleProfile& profile) {
    ThrottleState next = m_state;
    next.selectedProfile = profile;
    setState(std::move(next));
}

void ThrottleService::checkHelperStatus() {
    ThrottleState next = m_state;
    next.isHelperReady = m_registration.daemonStatus() == ServiceStatus::enabled;
    setState(std::move(next));
}

void ThrottleService::helperStateChanged(const HelperState& helper) {
    // A helper that left the bus may come back with its throttling (held
    // throttling survives a restart): the next state says.
    if (!helper.available) {
        m_helperWasGone = true;
        return;
    }
    // A helper that came back onto the bus may have been installed meanwhile.
    const bool appeared = std::exchange(m_helperWasGone, false);
    m_helperState = helper;
    if (m_takingBack && !helper.active) {
        return;
    }
    ThrottleState next = m_state;
    if (appeared) {
        next.isHelperReady = m_registration.daemonStatus() == ServiceStatus::enabled;
    }
    next.cleanupFailure = helper.failure;
    if (!helper.active) {
        m_ownProfile.reset();
        m_ownParameters.reset();
        next.isEnabled = false;
        next.currentProfile.reset();
        next.enabledAt.reset();
        next.owner.reset();
        setState(std::move(next));
        return;
    }
    next.isEnabled = true;
    next.owner = helper.owner;
    bool landedLate = false;
    if (helper.isOwnedByThisClient()) {
        if (runs(m_unconfirmed, helper.configuration)) {
            // An enable whose answer never came was carried out after all:
            // announced like any other, so its auto-disable run starts. One
            // still waiting for its answer announces itself.
            landedLate = m_applying == 0;
            m_ownProfile = std::exchange(m_unconfirmed, std::nullopt);
            m_ownParameters = helper.configuration;
            next.selectedProfile = m_ownProfile;
            next.error.reset();
        }
        next.currentProfile = ownProfileRunning(helper.configuration);
        if (!m_state.isOwnedByThisApplication() || !m_state.enabledAt) {
            next.enabledAt = m_clock();
        }
    } else {
        next.currentProfile = onlyProfileWith(helper.configuration);
        if (!m_state.isEnabled || m_state.owner != helper.owner || !m_state.enabledAt) {
            const bool known = helper.owner && helper.owner->since.isValid();
            next.enabledAt = known ? helper.owner->since : m_clock();
        }
    }
    setState(std::move(next));
    if (landedLate) {
        m_notifications.post(NotificationName::throttlingEnabled);
    }
}

std::optional<ThrottleProfile>
ThrottleService::ownProfileRunning(const std::optional<ThrottleParameters>& running) const {
    if (m_ownParameters && (!running || running == m_ownParameters)) {
        return m_ownProfile;
    }
    return onlyProfileWith(running);
}

std::optional<ThrottleProfile>
ThrottleService::onlyProfileWith(const std::optional<ThrottleParameters>& running) const {
    if (!running || !m_profiles) {
        return std::nullopt;
    }
    std::optional<ThrottleProfile> found;
    for (const ThrottleProfile& profile : m_profiles->allProfiles()) {
        if (parametersOf(profile) == running) {
            if (found) {
                return std::nullopt;
            }
            found = profile;
        }
    }
    return found;
}

bool ThrottleService::isKnown(const ThrottleProfile& profile) const {
    return !m_profiles || m_profiles->profile(profile.id()).has_value();
}

void ThrottleService::profilesChanged() {
    const auto forget = [this](std::optional<ThrottleProfile>& profile) {
        if (profile && !isKnown(*profile)) {
            profile.reset();
        }
    };
    // The conditions of a deleted profile may still run; only its name goes.
    forget(m_ownProfile);
    forget(m_unconfirmed);
    ThrottleState next = m_state;
    forget(next.selectedProfile);
    forget(next.currentProfile);
    if (next.isEnabled && !next.isOwnedByThisApplication()) {
        next.currentProfile = onlyProfileWith(m_helperState.configuration);
    }
    setState(std::move(next));
}

QCoro::Task<> ThrottleService::takeBackAfterReconnect() {
    m_takingBack = true;
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure =
        co_await failureOf(m_helper.takeThrottling(*m_ownParameters, m_description, m_holds()));
    if (!alive) {
        co_return;
    }
    m_takingBack = false;
    if (failure) {
        storeFailure(*failure);
        // Whatever the helper said meanwhile, the "off" included.
        helperStateChanged(m_helperState);
    }
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
