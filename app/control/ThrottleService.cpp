// SPDX-License-Identifier: MIT
#include "ThrottleService.h"

#include "ApplyPreconditions.h"
#include "CallFailure.h"
#include "NotificationNames.h"

#include <QCoro/QCoroSignal>
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
    connect(&m_takeBack, &ReconnectTakeBack::takenBack, this, &ThrottleService::takenBack);
    connect(&m_takeBack, &ReconnectTakeBack::besideTakenBack, this,
            [this](quint64 id, const BesideThrottle& throttle) {
                m_own.started(id);
                m_beside.record(id, throttle);
                forgetEndedBeside();
            });
    connect(&m_takeBack, &ReconnectTakeBack::besideFailed, this, &ThrottleService::storeFailure);
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

std::pair<ThrottleParameters, ThrottleSchedule>
ThrottleService::checkedForSwitchOn(const ThrottleProfile& profile) {
    try {
        return {ApplyPreconditions::parametersToApply(profile, m_registration),
                ApplyPreconditions::scheduleToApply(profile)};
    } catch (const ThrottleError& error) {
        if (error.errorCase() == ThrottleError::Case::helperNotInstalled) {
            storeFailure(error);
        }
        throw;
    }
}

QCoro::Task<> ThrottleService::applyProfile(ThrottleProfile profile) {
    if (!profile.application.isEmpty()) {
        const QString desktopId = profile.application;
        Q_UNUSED(co_await applyProfileToApplication(std::move(profile), desktopId));
        co_return;
    }
    const auto [parameters, schedule] = checkedForSwitchOn(profile);
    const bool hold = m_holds();
    const bool scoped = !profile.destinations.empty();

    const QPointer<ThrottleService> alive(this);
    const quint64 switchOffs = m_switchOffs;
    const quint64 number = ++m_switchOnsBegun;
    m_pendingSwitchOns.insert(number);
    std::optional<ThrottleError> failure;
    ThrottleScope scope;
    if (scoped) {
        try {
            scope = co_await m_resolver.resolve(profile.destinations);
        } catch (const ThrottleError& error) {
            failure = error;
        }
    }
    std::vector<quint64> replaced;
    quint64 id = 0;
    if (alive && !failure && m_switchOffs == switchOffs) {
        replaced = m_own.replacedBy(scoped, m_stateFollower.helperState().throttles,
                                    [this](quint64 id) { return m_beside.contains(id); });
        // An enable whose answer was lost may still land, and the helper's
        // state then shows it as this client's.
        m_runningProfile.switchOnSent(profile);
        try {
            id = co_await m_helper.startThrottle(parameters, scope, schedule, m_description, hold);
        } catch (const ThrottleError& error) {
            failure = error;
        }
    }
    if (alive) {
        m_pendingSwitchOns.erase(number);
        // Known before anything that waits for the answer goes on.
        m_own.started(id);
        Q_EMIT switchOnSettled();
    }
    if (!settled(alive, failure) || m_switchOffs != switchOffs) {
        co_return;
    }
    m_ownScope = scope;
    m_ownSchedule = schedule;
    m_runningProfile.switchedOn(profile, parameters);
    setState(m_stateFollower.switchedOn(m_state, profile, m_description, hold));
    m_notifications.post(NotificationName::throttlingEnabled);
    co_await endReplaced(replaced);
}

QCoro::Task<quint64> ThrottleService::applyProfileToApplication(ThrottleProfile profile,
                                                                QString desktopId) {
    profile.application = desktopId;
    ThrottleScope scope;
    // The helper finds its scopes, and follows them.
    scope.application = desktopId.toStdString();
    co_return co_await applyBeside(std::move(profile), std::move(scope));
}

QCoro::Task<quint64> ThrottleService::applyProfileToCgroup(ThrottleProfile profile, QString cgroup,
                                                           QString commandLine) {
    ThrottleScope scope;
    scope.cgroups = {cgroup.toStdString()};
    co_return co_await applyBeside(std::move(profile), std::move(scope), std::move(commandLine));
}

QCoro::Task<quint64> ThrottleService::applyBeside(ThrottleProfile profile, ThrottleScope scope,
                                                  QString commandLine) {
    const auto [parameters, schedule] = checkedForSwitchOn(profile);
    const bool hold = m_holds();
    const std::vector<quint64> replaced =
        scope.application.empty()
            ? std::vector<quint64>{}
            : m_own.ofApplication(m_stateFollower.helperState().throttles, scope.application);
    const QPointer<ThrottleService> alive(this);
    const quint64 number = ++m_switchOnsBegun;
    m_pendingSwitchOns.insert(number);
    std::optional<ThrottleError> failure;
    quint64 id = 0;
    try {
        id = co_await m_helper.startThrottle(parameters, scope, schedule, m_description, hold);
    } catch (const ThrottleError& error) {
        failure = error;
    }
    if (alive) {
        m_pendingSwitchOns.erase(number);
        m_own.started(id);
        m_beside.record(id, {profile, parameters, scope, schedule, hold, commandLine});
        Q_EMIT switchOnSettled();
    }
    // An "off" meanwhile ends it as soon as it is known: it is this
    // application's own from its answer on.
    if (!settled(alive, failure)) {
        co_return id;
    }
    ThrottleState next = m_state;
    if (!next.isEnabled) {
        next.isEnabled = true;
        next.enabledAt = m_clock();
    }
    next.error.reset();
    setState(m_beside.describedIn(std::move(next)));
    m_notifications.post(NotificationName::throttlingEnabled);
    co_await endReplaced(replaced);
    co_return id;
}

void ThrottleService::forgetEndedBeside() {
    m_beside.forgetEnded(m_own);
    setState(m_beside.describedIn(m_state));
}

QCoro::Task<std::optional<ThrottleError>> ThrottleService::endEach(std::vector<quint64> ids) {
    const QPointer<ThrottleService> alive(this);
    std::optional<ThrottleError> first;
    for (const quint64 id : ids) {
        const std::optional<ThrottleError> failure = co_await failureOf(m_helper.endThrottle(id));
        if (!alive) {
            co_return first ? first : failure;
        }
        if (failure && m_stateFollower.helperState().lists(id)) {
            first = first ? first : failure;
        } else {
            m_own.forget(id);
        }
    }
    forgetEndedBeside();
    co_return first;
}

QCoro::Task<> ThrottleService::endReplaced(std::vector<quint64> ids) {
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await endEach(std::move(ids));
    settled(alive, failure);
}

QCoro::Task<> ThrottleService::removeThrottling() {
    // An enable still in flight is switched off too: the helper carries out
    // one client's calls in order, so the disable lands after it.
    ++m_switchOffs;
    if (!m_state.isEnabled && !isApplying()) {
        co_return;
    }
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await failureOf(m_helper.disableThrottling());
    if (!settled(alive, failure)) {
        co_return;
    }
    m_runningProfile.forgetAll();
    m_own.forgetAll();
    m_beside.forgetAll();
    setState(ThrottleStateFollower::switchedOff(m_beside.describedIn(m_state)));
    m_notifications.post(NotificationName::throttlingDisabled);
}

QCoro::Task<> ThrottleService::endOwnThrottling() {
    ++m_switchOffs;
    if (!ownsThrottling()) {
        co_return;
    }
    const quint64 begunBefore = m_switchOnsBegun;
    const QPointer<ThrottleService> alive(this);
    std::vector<quint64> asked;
    std::optional<ThrottleError> failure;
    while (true) {
        std::vector<quint64> ids = m_own.except(asked);
        asked.insert(asked.end(), ids.begin(), ids.end());
        const std::optional<ThrottleError> ending = co_await endEach(std::move(ids));
        failure = failure ? failure : ending;
        if (!alive) {
            break;
        }
        // A switch-on may have been answered while those ended.
        if (!m_own.except(asked).empty()) {
            continue;
        }
        const bool waiting =
            !m_pendingSwitchOns.empty() && *m_pendingSwitchOns.begin() <= begunBefore;
        if (!waiting) {
            break;
        }
        co_await qCoro(this, &ThrottleService::switchOnSettled);
    }
    if (!settled(alive, failure)) {
        co_return;
    }
    // Whatever of its own was sent before has been ended with it.
    m_runningProfile.forgetAll();
    clearError();
    m_notifications.post(NotificationName::throttlingDisabled);
}

QCoro::Task<> ThrottleService::endThrottle(quint64 id) {
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await failureOf(m_helper.endThrottle(id));
    if (!settled(alive, failure)) {
        co_return;
    }
    m_own.forget(id);
    forgetEndedBeside();
    clearError();
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
    if (helper.available) {
        m_own.follow(helper);
        forgetEndedBeside();
    }
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
    const QList<HelperThrottle>& listed = m_stateFollower.helperState().throttles;
    // Only while it still ran: its row may have been stopped on its own.
    const bool ownRan =
        listed.isEmpty() ? m_state.isOwnedByThisApplication() : m_own.listsMain(listed);
    if (ownRan && own && !m_takeBack.isRunning()) {
        m_takeBack.takeBack(*own, m_ownScope, m_ownSchedule, m_description, m_holds());
    }
    std::map<quint64, BesideThrottle> lost = m_beside.takeUnheld();
    for (const auto& [id, throttle] : lost) {
        m_own.forget(id);
    }
    if (!lost.empty()) {
        // A task of its own: it runs to its end, whether or not anyone awaits it.
        Q_UNUSED(m_takeBack.takeBackEach(std::move(lost), m_description));
    }
}

QCoro::Task<> ThrottleService::takenBack(quint64 id) {
    // The helper removed what the lost connection held; what it did not hold
    // is still on beside the new one, and ends here.
    std::vector<quint64> old;
    const std::vector<quint64> known = m_own.ids();
    for (const quint64 each : known) {
        if (each != id && !m_beside.contains(each)) {
            m_own.forget(each);
            if (m_stateFollower.helperState().lists(each)) {
                old.push_back(each);
            }
        }
    }
    m_own.started(id);
    const QPointer<ThrottleService> alive(this);
    const std::optional<ThrottleError> failure = co_await endEach(std::move(old));
    if (failure && alive) {
        storeFailure(*failure);
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

void ThrottleService::clearError() {
    ThrottleState next = m_state;
    next.error.reset();
    setState(std::move(next));
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
