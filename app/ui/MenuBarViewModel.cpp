// SPDX-License-Identifier: MIT
#include "MenuBarViewModel.h"

#include "CallFailure.h"
#include "ProfileStoreActions.h"
#include "StatePersistenceService.h"

#include <QPointer>

namespace {

// Runs one throttle operation and hands back the text of its failure, so
// that the caller carries on outside any catch block.
QCoro::Task<std::optional<QString>> failureText(QCoro::Task<> operation) {
    const std::optional<ThrottleError> failure = co_await failureOf(std::move(operation));
    co_return failure ? std::optional(failure->description()) : std::nullopt;
}

// QCoro lets a task that nobody awaits run to its end and free itself.
void start(QCoro::Task<> task) {
    Q_UNUSED(task);
}

} // namespace

MenuBarViewModel::MenuBarViewModel(ThrottleService& throttleService,
                                   const ServiceRegistration& registration,
                                   ProfileManager& profileManager,
                                   ProfileEditorState& profileEditorState, UserDefaults& defaults,
                                   StatePersistenceService& persistence,
                                   NotificationCenter& notifications, WindowNavigator& navigator,
                                   std::function<void()> quitAction, ThrottleService::Clock clock,
                                   QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_profileManager(profileManager)
    , m_profileEditorState(profileEditorState)
    , m_persistence(persistence)
    , m_navigator(navigator)
    , m_statsLine(throttleService, clock)
    , m_countdown(throttleService, defaults, notifications, clock)
    , m_liveStatistics(throttleService)
    , m_scheduleStanding(throttleService, clock)
    , m_helperWarning(throttleService, registration)
    , m_profileRows(throttleService, profileManager)
    , m_quit(throttleService, std::move(quitAction)) {
    connect(&m_throttleService, &ThrottleService::stateChanged, this, &MenuBarViewModel::changed);
}

QString MenuBarViewModel::titleText() const {
    return isEnabled() ? QStringLiteral("Throttling: ON") : QStringLiteral("Throttling: OFF");
}

QString MenuBarViewModel::statusText() const {
    if (state().isEnabled && state().throttles.size() > 1) {
        return QStringLiteral("%1 throttles on").arg(state().throttles.size());
    }
    if (state().isOwnedElsewhere()) {
        return QStringLiteral("On — ") + state().owner->displayName();
    }
    if (state().isEnabled) {
        return QStringLiteral("Active: ") + (state().currentProfile
                                                 ? state().currentProfile->name
                                                 : QStringLiteral("no saved profile"));
    }
    if (state().selectedProfile) {
        return QStringLiteral("Selected: ") + state().selectedProfile->name;
    }
    return QStringLiteral("No profile selected");
}

QString MenuBarViewModel::stateErrorText() const {
    return state().error ? state().error->description() : state().cleanupFailure;
}

QVariantList MenuBarViewModel::throttleRows() const {
    return ActiveThrottleRows::toVariant(ActiveThrottleRows::rowsOf(state(), m_applicationNames));
}

void MenuBarViewModel::setApplications(ApplicationPickerModel& picker,
                                       LaunchThrottledModel& launcher, ApplicationNames& names) {
    m_applicationNames = &names;
    m_profileRows.setApplicationNames(names);
    m_applications = std::make_unique<PanelApplications>(
        picker, launcher, [this] { return candidateProfile(); },
        [this](const ThrottleProfile& profile) {
            // One application's throttle blocks nothing else: no confirmation.
            runLoading(
                [&service = m_throttleService, profile] { return service.applyProfile(profile); },
                std::nullopt);
        });
    connect(this, &MenuBarViewModel::changed, m_applications.get(), &PanelApplications::changed);
}

void MenuBarViewModel::stopThrottle(const QString& id) {
    bool isNumber = false;
    const quint64 throttleId = id.toULongLong(&isNumber);
    if (!isNumber) {
        showError(QStringLiteral("No throttle has the id \"%1\"").arg(id));
        return;
    }
    runLoading(
        [&service = m_throttleService, throttleId] { return service.endThrottle(throttleId); },
        std::nullopt);
}

void MenuBarViewModel::handleToggle(bool newValue) {
    if (!newValue) {
        runLoading([&service = m_throttleService] { return service.removeThrottling(); },
                   std::nullopt);
        return;
    }
    const std::optional<ThrottleProfile> candidate = candidateProfile();
    if (!candidate) {
        showError(QStringLiteral("No profile available to apply"));
        return;
    }
    if (candidate->conditions.blocksAllTraffic()) {
        askToConfirm(*candidate);
        return;
    }
    runLoading([&service = m_throttleService,
                profile = *candidate] { return service.applyProfile(profile); },
               candidate->id());
}

void MenuBarViewModel::selectProfile(const ThrottleProfile& profile) {
    // While throttling is off the choice is only recorded: the switch asks.
    if (profile.conditions.blocksAllTraffic() && isEnabled()) {
        askToConfirm(profile);
        return;
    }
    runLoading([&service = m_throttleService, profile] { return service.selectProfile(profile); },
               profile.id());
}

void MenuBarViewModel::applyProfileAfterConfirmation(const ThrottleProfile& profile) {
    // On from a row means switching over; from the master switch, switching on.
    // Both leave the profile selected and applied.
    runLoading(
        [&service = m_throttleService, profile] {
            return service.state().isEnabled ? service.selectProfile(profile)
                                             : service.applyProfile(profile);
        },
        profile.id());
}

void MenuBarViewModel::editProfile(const ThrottleProfile& profile) {
    // Built-in profiles are hidden, not deleted, and only from the profile list.
    m_profileEditorState.prepare(
        profile, ProfileEditorMode::edit, ProfileStoreActions::saveAction(m_profileManager),
        profile.isBuiltIn() ? ProfileEditorState::Action()
                            : ProfileStoreActions::deleteAction(m_profileManager));
    activateWindow(WindowNavigator::profileEditor);
}

void MenuBarViewModel::selectProfile(const QString& profileId) {
    if (const std::optional<ThrottleProfile> profile = profileWithIdText(profileId)) {
        selectProfile(*profile);
    }
}

void MenuBarViewModel::editProfile(const QString& profileId) {
    if (const std::optional<ThrottleProfile> profile = profileWithIdText(profileId)) {
        editProfile(*profile);
    }
}

void MenuBarViewModel::confirmDestructiveProfile() {
    const std::optional<ThrottleProfile> pending = std::exchange(m_pendingDestructiveProfile, {});
    m_showingDestructiveProfileConfirmation = false;
    Q_EMIT changed();
    if (pending) {
        applyProfileAfterConfirmation(*pending);
    }
}

void MenuBarViewModel::cancelDestructiveProfile() {
    m_pendingDestructiveProfile.reset();
    m_showingDestructiveProfileConfirmation = false;
    Q_EMIT changed();
}

void MenuBarViewModel::dismissError() {
    m_showingError = false;
    Q_EMIT changed();
}

void MenuBarViewModel::openProfileList() {
    activateWindow(WindowNavigator::profileList);
}

void MenuBarViewModel::openSettings() {
    activateWindow(WindowNavigator::settings);
}

void MenuBarViewModel::quitApp() {
    m_quit.start();
}

void MenuBarViewModel::activateWindow(const QString& id) {
    // The navigator opens the window, or brings the open one to the front,
    // and makes it the active window: opening and activating are one call.
    m_navigator.openWindow(id);
}

std::optional<ThrottleProfile> MenuBarViewModel::candidateProfile() const {
    return state().profileToApply(m_profileManager.allProfiles());
}

std::optional<ThrottleProfile> MenuBarViewModel::profileWithIdText(const QString& idText) const {
    const std::optional<QUuid> id = ThrottleProfile::idFromText(idText);
    return id ? m_profileManager.profile(*id) : std::nullopt;
}

void MenuBarViewModel::askToConfirm(const ThrottleProfile& profile) {
    m_pendingDestructiveProfile = profile;
    m_showingDestructiveProfileConfirmation = true;
    Q_EMIT changed();
}

void MenuBarViewModel::showError(const QString& message) {
    m_errorMessage = message;
    m_showingError = true;
    Q_EMIT changed();
}

void MenuBarViewModel::runLoading(std::function<QCoro::Task<>()> operation,
                                  std::optional<QUuid> profileToRemember) {
    start(loading(std::move(operation), profileToRemember));
}

QCoro::Task<> MenuBarViewModel::loading(std::function<QCoro::Task<>()> operation,
                                        std::optional<QUuid> profileToRemember) {
    // Counted, not a flag: with two operations in flight the panel stays
    // dimmed until the second one ends.
    ++m_runningTasks;
    Q_EMIT changed();
    StatePersistenceService& persistence = m_persistence;
    const QPointer<MenuBarViewModel> alive(this);

    const std::optional<QString> failure = co_await failureText(operation());

    if (!failure && profileToRemember) {
        persistence.saveSelectedProfileID(profileToRemember);
    }
    if (!alive) {
        co_return;
    }
    --m_runningTasks;
    if (failure) {
        showError(*failure);
    }
    Q_EMIT changed();
}
