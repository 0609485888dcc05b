// SPDX-License-Identifier: MIT
#include "VeltraneApp.h"

#include "SettingsKeys.h"
#include "StatePersistenceService.h"

#include <QCursor>
#include <QSystemTrayIcon>
#include <QTextStream>

VeltraneApp::VeltraneApp()
    : m_defaults(UserDefaults::standard())
    , m_helperConnection(m_registration)
    , m_throttleService(m_helperConnection, m_registration, m_notifications)
    , m_profileManager(m_defaults)
    , m_updaterService(m_userNotifications, m_notifications)
    , m_windows(m_engine)
    , m_panel(m_engine, panelContent(),
              [this] { m_delegate.registerServices(m_throttleService, m_profileManager); })
    , m_delegate({.defaults = m_defaults,
                  .persistence = StatePersistenceService::shared(),
                  .registration = m_registration,
                  .userNotifications = m_userNotifications,
                  .notifications = m_notifications,
                  .events = m_events,
                  .timers = m_timers,
                  .windows = m_windows,
                  .newHelperConnection =
                      [this] { return std::make_unique<HelperConnection>(m_registration); },
                  .log = &HelperConnectionOptions::printLine})
    , m_tray(m_throttleService,
             {.openPanel = [this](const QRect& anchor) { m_panel.showAt(anchor); },
              .togglePanel = [this](const QRect& anchor) { m_panel.toggleAt(anchor); },
              .toggleThrottling = [this] { toggleThrottling(); },
              .openWindow = [this](const QString& identifier) { m_windows.openWindow(identifier); },
              .quit = [this] { m_events.terminate(); }}) {
    declareWindows();
}

VeltraneApp::~VeltraneApp() = default;

WindowScene VeltraneApp::panelContent() {
    return WindowScene::placeholder(QStringLiteral("Veltrane"), PanelWindow::width, 320);
}

void VeltraneApp::declareWindows() {
    m_windows.add(WindowNavigator::onboarding,
                  WindowScene::placeholder(QStringLiteral("Welcome"), 450, 420));
    m_windows.add(WindowNavigator::settings,
                  WindowScene::placeholder(QStringLiteral("Veltrane Settings"), 450, 520));
    m_windows.add(WindowNavigator::profileEditor,
                  WindowScene::placeholder(QStringLiteral("Profile Editor"), 380, 480));
    m_windows.add(WindowNavigator::profileList,
                  WindowScene::placeholder(QStringLiteral("Manage Profiles"), 500, 550));
    m_windows.add(QStringLiteral("software-update"),
                  WindowScene::placeholder(QStringLiteral("Software Update"), 480, 360));
}

void VeltraneApp::start() {
    m_delegate.applicationDidFinishLaunching();
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        QTextStream(stderr) << "Veltrane: the desktop offers no system tray; the icon cannot be "
                               "shown until one appears\n";
    }
    m_tray.show();
    // At once rather than when the panel is first opened: throttling left by
    // an earlier run must not stay on while the tray says it is off.
    m_delegate.registerServices(m_throttleService, m_profileManager);
    if (!m_defaults.boolValue(SettingsKeys::hasCompletedOnboarding)) {
        m_windows.openWindow(WindowNavigator::onboarding);
    }
}

void VeltraneApp::toggleThrottling() {
    const ThrottleState& state = m_throttleService.state();
    if (state.isEnabled) {
        switchThrottling(false, std::nullopt);
        return;
    }
    std::optional<ThrottleProfile> candidate = state.selectedProfile;
    if (!candidate && !m_profileManager.allProfiles().isEmpty()) {
        candidate = m_profileManager.allProfiles().constFirst();
    }
    // Blocking all traffic is confirmed in the panel; with nothing to apply
    // the panel says so.
    if (!candidate || candidate->packetLossPercent.value_or(0.0) >= 100.0) {
        m_panel.showAt(QRect(QCursor::pos(), QSize(1, 1)));
        return;
    }
    switchThrottling(true, candidate);
}

QCoro::Task<> VeltraneApp::switchThrottling(bool on, std::optional<ThrottleProfile> profile) {
    // Failures are kept in the service's state, where the panel shows them.
    try {
        if (on) {
            co_await m_throttleService.applyProfile(*profile);
            StatePersistenceService::shared().saveSelectedProfileID(profile->id());
        } else {
            co_await m_throttleService.removeThrottling();
        }
    } catch (const ThrottleError&) {
    }
}
