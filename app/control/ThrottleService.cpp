// SPDX-License-Identifier: MIT
#include "ThrottleService.h"

#include "ApplyPreconditions.h"
#include "CallFailure.h"
#include "NotificationNames.h"

#include <QPointer>

#include <algorithm>
#include <utility>

ThrottleService::ThrottleService(HelperClient& helperConnection, ServiceRegistration& registration,
                                 NotificationCenter& notifications, Clock clock, QObject* parent)
    : QObject(parent)
    , m_helper(helperConnection)
    , m_registration(registration)
    , m_notifications(notifications)
    , m_clock(clock)
    , m_stateFollower(registration, m_runningProfile, std::move(clock))
    , m_takeBack(helperConnection) {
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
    connect(&m_helper, &HelperClient::connectionReplaced, this,
            &ThrottleService::connectionReplaced);
    connect(&m_takeBack, &ReconnectTakeBack::failed, this, [this](const ThrottleError& error) {
        storeFailure(error);
        // Whatever the helper said meanwhile, the "off" included.
        helperStateChanged(m_stateFollower.helperState());
    });
    connect(&m_takeBack, &ReconnectTakeBack::scopedTakenBack, this,
            [this](quint64 id) { m_ownScopedId = id; });
    m_helper.followState();
}

void ThrottleService::setOwnership(QString description, std::function<bool()> holds) {
    m_description = std::move(description);
    m_holds = std::move(holds);
}

void ThrottleService::followProfiles(ProfileManager& profiles) {
    m_runningProfile.setProfiles(profiles);
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
    const bool scoped = !profile.destinations.empty();

    const QPointer<ThrottleService> alive(this);
    ThrottleScope scope;
    if (scoped) {
        const quint64 removals = m_removals;
        std::optional<ThrottleError> unresolved;
        ++m_resolving;
        try {
            scope = co_await m_resolver.resolve(profile.destinations);
        } catch (const ThrottleError& error) {
            unresolved = error;
        }
        if (alive) {
            --m_resolving;
        }
        if (!settled(alive, unresolved) || m_removals != removals) {
            co_return;
        }
    }
    const std::vector<quint64> replaced = ownThrottlesReplacedBy(scoped);
    // An enable whose answer was lost may still land, and the helper's state
    // then shows it as this client's.
    m_runningProfile.switchOnSent(profile);
    ++m_applying;
    std::optional<ThrottleError> failure;
    std::optional<quint64> scopedId;
    if (scoped) {
        try {
            scopedId = co_await m_helper.startThrottle(parameters, scope, m_description, hold);
        } catch (const ThrottleError& error) {
            failure = error;
        }
    } else {
        failure = co_await failureOf(m_helper.takeThrottling(parameters, m_description, hold));
    }
    if (alive) {
        --m_applying;
    }
    if (!settled(alive, failure)) {
        co_return;
    }
    m_ownScopedId = scopedId;
    m_ownScope = scope;
    m_runningProfile.switchedOn(profile, parameters);
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
    co_await endReplaced(replaced);
}

std::vector<quint64> ThrottleService::ownThrottlesReplacedBy(bool scoped) const {
    std::vector<quint64> ids;
    if (m_ownScopedId) {
        ids.push_back(*m_ownScopedId);
    }
    for (const HelperThrottle& throttle : m_stateFollower.helperState().throttles) {
        // The helper itself replaces the whole machine's with the whole machine's.
        const bool replacedAnyway = !scoped && throttle.scope.isMachine();
        if (throttle.owner.isThisClient && !replacedAnyway &&
            std::find(ids.begin(), ids.end(), throttle.id) == ids.end()) {
            ids.push_back(throttle.id);
        }
    }
    return ids;
}

QCoro::Task<> ThrottleService::endReplaced(std::vector<quint64> ids) {
    const QPointer<ThrottleService> alive(this);
    for (const quint64 id : ids) {
        const std::optional<ThrottleError> failure = co_await failureOf(m_helper.endThrottle(id));
        if (!alive) {
            co_return;
        }
        const QList<HelperThrottle>& listed = m_stateFollower.helperState().throttles;
        const bool stillOn = std::any_of(listed.begin(), listed.end(),
                                         [id](const HelperThrottle& t) { return t.id == id; });
        if (failure && stillOn) {
            settled(alive, failure);
        }
    }
}

QCoro::Task<> ThrottleService::removeThrottling() {
    // An enable still in flight is switched off too: the helper carries out
    // one client's calls in order, so the disable lands after it.
    ++m_removals;
    if (!m_state.isEnabled && !isApplying()) {
        co_return;
    }
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await failureOf(m_helper.disableThrottling());
    if (!settled(alive, failure)) {
        co_return;
    }
    m_runningProfile.forgetAll();
    m_ownScopedId.reset();
    ThrottleState next = m_state;
    next.isEnabled = false;
    next.currentProfile.reset();
    next.enabledAt.reset();
    next.owner.reset();
    next.throttles.clear();
    next.error.reset();
    setState(std::move(next));
    m_notifications.post(NotificationName::throttlingDisabled);
}

QCoro::Task<> ThrottleService::endThrottle(quint64 id) {
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await failureOf(m_helper.endThrottle(id));
    if (!settled(alive, failure)) {
        co_return;
    }
    if (m_ownScopedId == id) {
        m_ownScopedId.reset();
    }
    if (m_state.error) {
        ThrottleState next = m_state;
        next.error.reset();
        setState(std::move(next));
    }
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
    std::optional<ThrottleStateFollower::Followed> followed =
        m_stateFollower.follow(m_state, helper, isApplying(), m_takeBack.isRunning());
    if (!followed) {
        return;
    }
    setState(std::move(followed->state));
    if (followed->landedLate) {
        m_notifications.post(NotificationName::throttlingEnabled);
    }
}

void ThrottleService::profilesChanged() {
    setState(m_runningProfile.afterProfilesChanged(m_state,
                                                   m_stateFollower.helperState().configuration));
}

void ThrottleService::connectionReplaced() {
    const std::optional<ThrottleParameters>& own = m_runningProfile.ownParameters();
    if (m_state.isOwnedByThisApplication() && own && !m_takeBack.isRunning()) {
        m_takeBack.takeBack(*own, m_ownScopedId ? m_ownScope : ThrottleScope{}, m_description,
                            m_holds());
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
