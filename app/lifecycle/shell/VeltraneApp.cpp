// SPDX-License-Identifier: MIT
#include "VeltraneApp.h"

#include "MenuBarViewModel.h"
#include "NotificationNames.h"
#include "OnboardingViewModel.h"
#include "ProfileEditorViewModel.h"
#include "ProfileListViewModel.h"
#include "SettingsKeys.h"
#include "SettingsViewModel.h"
#include "SoftwareUpdateViewModel.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTextStream>

namespace {

// The panel as an ordinary window, for desktops that show no tray icons.
const QString kPanelWindow = QStringLiteral("panel-window");
// Room left on the screen for the window's frame and the desktop's bars.
constexpr int kWindowFrameRoom = 120;

} // namespace

VeltraneApp::VeltraneApp(SingleInstance& instance, UserDefaults& defaults,
                         StatePersistenceService& persistence)
    : m_defaults(defaults)
    , m_persistence(persistence)
    , m_helperConnection(m_registration)
    , m_throttleService(m_helperConnection, m_registration, m_notifications)
    , m_profileManager(m_defaults)
    , m_applications(m_throttleService, m_profileManager)
    , m_updaterService(m_userNotifications, m_notifications, m_defaults)
    , m_windows(m_engine)
    , m_panel(m_engine, panelContent(),
              [this] { m_delegate.registerServices(m_throttleService, m_profileManager); })
    , m_delegate({.defaults = m_defaults,
                  .persistence = m_persistence,
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
              .quit = [this] { m_events.terminate(); }})
    , m_trayHost(QDBusConnection::sessionBus(),
                 [] { return QSystemTrayIcon::isSystemTrayAvailable(); })
    , m_instance(instance)
    , m_exitCleanup({.ownThrottles = [this] { return m_throttleService.ownThrottles(); },
                     .log = &HelperConnectionOptions::printLine,
                     .bound = ThrottleService::kQuitBound,
                     .bus = {}}) {
    declareWindows();
    connect(&m_instance, &SingleInstance::activated, this, &VeltraneApp::openPanel);
    connect(&m_trayHost, &TrayHostWatch::availabilityChanged, this,
            &VeltraneApp::trayAvailabilityChanged);
    connect(&m_userNotifications, &UserNotificationCenter::tapped, this,
            [this](const QString& identifier) {
                if (identifier == UserNotificationId::noTray) {
                    m_windows.openWindow(kPanelWindow);
                }
            });
    // Ahead of the delegate, which connects at launch and may spend the
    // quit's bound on its clean-up.
    connect(&m_events, &ApplicationEvents::signalReceived, this, &VeltraneApp::quitStarted);
    connect(&m_events, &ApplicationEvents::willTerminate, this, &VeltraneApp::quitStarted);
}

VeltraneApp::~VeltraneApp() = default;

namespace {

// The required property every view takes, from a view model parented to
// its window so that it lives exactly as long as the window.
QVariantMap viewModel(QObject* model) {
    return {{QStringLiteral("viewModel"), QVariant::fromValue(model)}};
}

} // namespace

WindowScene VeltraneApp::panelContent() {
    return {QStringLiteral("Veltrane"), QStringLiteral("MenuBarView"), [this](QObject* window) {
                auto* panel = new MenuBarViewModel(
                    m_throttleService, m_registration, m_profileManager, m_profileEditorState,
                    m_defaults, m_persistence, m_notifications, m_windows,
                    [this] { m_events.terminate(); }, &QDateTime::currentDateTimeUtc, window);
                panel->setApplications(m_applications.picker(), m_applications.launcher(),
                                       m_applications.names());
                return viewModel(panel);
            }};
}

void VeltraneApp::declareWindows() {
    WindowScene panelWindow = panelContent();
    panelWindow.properties = [viewModelOf = panelWindow.properties](QObject* window) {
        QVariantMap properties = viewModelOf(window);
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            properties.insert(QStringLiteral("maximumHeight"),
                              screen->availableGeometry().height() - kWindowFrameRoom);
        }
        return properties;
    };
    m_windows.add(kPanelWindow, panelWindow);
    m_windows.add(WindowNavigator::onboarding,
                  {.title = QStringLiteral("Welcome"),
                   .viewName = QStringLiteral("OnboardingView"),
                   .properties = [this](QObject* window) {
                       return viewModel(
                           new OnboardingViewModel(m_defaults, m_throttleService.helperConnection(),
                                                   m_registration, m_windows, window));
                   }});
    m_windows.add(WindowNavigator::settings,
                  {QStringLiteral("Veltrane Settings"), QStringLiteral("SettingsView"),
                   [this](QObject* window) {
                       return viewModel(new SettingsViewModel(
                           m_defaults, m_throttleService, m_registration,
                           m_updaterService.updater(), m_notifications, m_windows,
                           AboutViewModel::fromBuild(window), window));
                   }});
    m_windows.add(WindowNavigator::profileEditor,
                  {QStringLiteral("Profile Editor"), QStringLiteral("ProfileEditorWindowView"),
                   [this](QObject* window) {
                       return viewModel(
                           new ProfileEditorViewModel(m_profileEditorState, m_profileManager,
                                                      m_windows, m_applications.entries(), window));
                   }});
    m_windows.add(WindowNavigator::profileList,
                  {QStringLiteral("Manage Profiles"), QStringLiteral("ProfileListView"),
                   [this](QObject* window) {
                       return viewModel(new ProfileListViewModel(m_profileManager,
                                                                 m_profileEditorState, m_windows,
                                                                 &m_applications.names(), window));
                   }});
    m_windows.add(WindowNavigator::softwareUpdate,
                  {QStringLiteral("Software Update"), QStringLiteral("SoftwareUpdateView"),
                   [this](QObject* window) {
                       return viewModel(
                           new SoftwareUpdateViewModel(m_updaterService.updateSession(), window));
                   }});
    m_updaterService.setWindowNavigator(&m_windows);
}

void VeltraneApp::start() {
    m_delegate.applicationDidFinishLaunching();
    m_tray.show();
    // At once rather than when the panel is first opened: throttling left by
    // an earlier run must not stay on while the tray says it is off.
    m_delegate.registerServices(m_throttleService, m_profileManager);
    if (!m_defaults.boolValue(SettingsKeys::hasCompletedOnboarding)) {
        m_windows.openWindow(WindowNavigator::onboarding);
    }
    if (!m_trayHost.isAvailable()) {
        trayAvailabilityChanged(false);
    }
}

void VeltraneApp::openPanel() {
    if (m_trayHost.isAvailable()) {
        m_tray.openPanel();
    } else {
        m_windows.openWindow(kPanelWindow);
    }
}

void VeltraneApp::trayAvailabilityChanged(bool available) {
    if (available) {
        return;
    }
    HelperConnectionOptions::printLine(
        QStringLiteral("No tray shows the icon: the panel opens as a window"));
    m_panel.hide();
    m_windows.openWindow(kPanelWindow);
    // Said once each time the tray goes, not at every start of the window.
    m_userNotifications.add(
        {.identifier = UserNotificationId::noTray,
         .body = QStringLiteral("This desktop shows no tray icons, so Veltrane opens in a window. "
                                "Start Veltrane again to bring the window back.")});
}

void VeltraneApp::quitStarted() {
    if (std::exchange(m_quitStarted, true)) {
        return;
    }
    // A `veltrane` started meanwhile runs, rather than asking this one to
    // open a panel it is about to close.
    m_instance.release();
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
    if (!candidate || candidate->conditions.blocksAllTraffic()) {
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
            m_persistence.saveSelectedProfileID(profile->id());
        } else {
            co_await m_throttleService.removeThrottling();
        }
    } catch (const ThrottleError&) {
    }
}
