// SPDX-License-Identifier: MIT
#pragma once

#include "AppDelegate.h"
#include "DesktopApplications.h"
#include "DesktopNotificationCenter.h"
#include "ExitCleanup.h"
#include "HelperConnection.h"
#include "NotificationCenter.h"
#include "PanelWindow.h"
#include "ProfileEditorState.h"
#include "ProfileManager.h"
#include "SingleInstance.h"
#include "StatePersistenceService.h"
#include "SystemApplicationEvents.h"
#include "SystemServiceRegistration.h"
#include "SystemTimerSource.h"
#include "ThrottleService.h"
#include "TrayEntry.h"
#include "TrayHostWatch.h"
#include "UpdaterService.h"
#include "UserDefaults.h"
#include "WindowRegistry.h"

#include <QObject>
#include <QQmlEngine>

// The application: creates the shared objects once, for the life of the
// process, attaches the delegate, shows the tray entry and declares the
// windows that open by identifier. The process's one instance of it opens
// its panel when another `veltrane` is started in the session. Without a
// tray to hold its icon, the panel opens as an ordinary window instead.
class VeltraneApp final : public QObject {
    Q_OBJECT

public:
    // The settings and what is remembered in them are the process's, made
    // by main() once it has checked that they may be touched.
    VeltraneApp(SingleInstance& instance, UserDefaults& defaults,
                StatePersistenceService& persistence);
    ~VeltraneApp() override;

    // Runs the launch, shows the tray entry, hands the services to the
    // delegate, and opens onboarding when it has not been completed.
    void start();

private:
    void quitStarted();
    // Under the icon, or in a window when the desktop shows no tray icons.
    void openPanel();
    void trayAvailabilityChanged(bool available);
    void declareWindows();
    WindowScene panelContent();
    void toggleThrottling();
    QCoro::Task<> switchThrottling(bool on, std::optional<ThrottleProfile> profile);

    UserDefaults& m_defaults;
    StatePersistenceService& m_persistence;
    SystemServiceRegistration m_registration;
    NotificationCenter m_notifications;
    HelperConnection m_helperConnection;
    ThrottleService m_throttleService;
    ProfileManager m_profileManager;
    ProfileEditorState m_profileEditorState;
    DesktopApplications m_applications;
    DesktopNotificationCenter m_userNotifications;
    UpdaterService m_updaterService;
    SystemApplicationEvents m_events;
    SystemTimerSource m_timers;
    QQmlEngine m_engine;
    WindowRegistry m_windows;
    PanelWindow m_panel;
    AppDelegate m_delegate;
    TrayEntry m_tray;
    TrayHostWatch m_trayHost;
    SingleInstance& m_instance;
    bool m_quitStarted = false;
    // Last: armed once everything it asks and every bus connection exist.
    ExitCleanup m_exitCleanup;
};
