// SPDX-License-Identifier: MIT
#pragma once

#include "ActiveThrottleRows.h"
#include "AutoOffCountdownModel.h"
#include "CompactStatsLineModel.h"
#include "LiveStatisticsModel.h"
#include "NotificationCenter.h"
#include "PanelApplications.h"
#include "PanelHelperWarning.h"
#include "PanelProfileRows.h"
#include "ProfileEditorState.h"
#include "ProfileManager.h"
#include "QuitAfterRemovingThrottling.h"
#include "ScheduleStandingModel.h"
#include "StatePersistenceService.h"
#include "ThrottleService.h"
#include "UserDefaults.h"
#include "WindowNavigator.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QVariantList>

#include <functional>
#include <memory>
#include <optional>

// The panel under the tray icon: the master switch, the status, the running
// throttle, the profiles marked for the menu and the footer actions; the
// helper warning and the profile rows are models of their own. It owns
// nothing but a few view flags; everything else comes from the throttle
// service, the profile store and the settings, and every change goes through
// the throttle service. Operations that talk to the helper run as tasks of
// their own; one that is still running when the panel goes away finishes
// without it, and still remembers the selection it made.
class MenuBarViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled NOTIFY changed)
    Q_PROPERTY(QString titleText READ titleText NOTIFY changed)
    Q_PROPERTY(QString statusText READ statusText NOTIFY changed)
    Q_PROPERTY(PanelHelperWarning* helperWarning READ helperWarning CONSTANT)
    Q_PROPERTY(bool showsStateError READ showsStateError NOTIFY changed)
    Q_PROPERTY(QString stateErrorText READ stateErrorText NOTIFY changed)
    Q_PROPERTY(bool showsActiveSection READ showsActiveSection NOTIFY changed)
    Q_PROPERTY(bool listsThrottles READ listsThrottles NOTIFY changed)
    Q_PROPERTY(QVariantList throttleRows READ throttleRows NOTIFY changed)
    Q_PROPERTY(bool isToggleDisabled READ isToggleDisabled NOTIFY changed)
    Q_PROPERTY(bool isLoading READ isLoading NOTIFY changed)
    Q_PROPERTY(bool showingError READ showingError NOTIFY changed)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY changed)
    Q_PROPERTY(bool showingDestructiveProfileConfirmation READ showingDestructiveProfileConfirmation
                   NOTIFY changed)
    Q_PROPERTY(PanelProfileRows* profileRows READ profileRows CONSTANT)
    Q_PROPERTY(CompactStatsLineModel* statsLine READ statsLine CONSTANT)
    Q_PROPERTY(AutoOffCountdownModel* countdown READ countdown CONSTANT)
    Q_PROPERTY(LiveStatisticsModel* liveStatistics READ liveStatistics CONSTANT)
    Q_PROPERTY(ScheduleStandingModel* scheduleStanding READ scheduleStanding CONSTANT)
    Q_PROPERTY(PanelApplications* applications READ applications CONSTANT)

public:
    // quitAction runs the application's own quit steps; the clock gives the
    // wall-clock time for the elapsed time and the countdown.
    MenuBarViewModel(ThrottleService& throttleService, const ServiceRegistration& registration,
                     ProfileManager& profileManager, ProfileEditorState& profileEditorState,
                     UserDefaults& defaults, StatePersistenceService& persistence,
                     NotificationCenter& notifications, WindowNavigator& navigator,
                     std::function<void()> quitAction,
                     ThrottleService::Clock clock = &QDateTime::currentDateTimeUtc,
                     QObject* parent = nullptr);

    bool isEnabled() const { return state().isEnabled; }
    // "Throttling: ON" or "Throttling: OFF".
    QString titleText() const;
    // "3 throttles on" while several are, "On — <owner>" for another
    // client's throttling, else "Active: …",
    // "Selected: …" or "No profile selected".
    QString statusText() const;
    // The last failure of this application's own switch, else what the
    // helper's clean-up could not remove.
    bool showsStateError() const { return state().error || !state().cleanupFailure.isEmpty(); }
    QString stateErrorText() const;
    bool showsActiveSection() const {
        return state().isEnabled && (state().currentProfile || listsThrottles());
    }
    // Each throttle in force with its own Stop, when there is more to tell
    // than the one whole-machine throttle.
    bool listsThrottles() const { return ActiveThrottleRows::listed(state()); }
    QVariantList throttleRows() const;
    bool isToggleDisabled() const { return isLoading() || !state().isHelperReady; }

    bool isLoading() const { return m_runningTasks > 0; }
    bool showingError() const { return m_showingError; }
    QString errorMessage() const { return m_errorMessage; }
    bool showingDestructiveProfileConfirmation() const {
        return m_showingDestructiveProfileConfirmation;
    }
    const std::optional<ThrottleProfile>& pendingDestructiveProfile() const {
        return m_pendingDestructiveProfile;
    }

    PanelHelperWarning* helperWarning() { return &m_helperWarning; }
    PanelProfileRows* profileRows() { return &m_profileRows; }
    CompactStatsLineModel* statsLine() { return &m_statsLine; }
    AutoOffCountdownModel* countdown() { return &m_countdown; }
    LiveStatisticsModel* liveStatistics() { return &m_liveStatistics; }
    ScheduleStandingModel* scheduleStanding() { return &m_scheduleStanding; }
    PanelApplications* applications() { return m_applications.get(); }

    // The desktop's running applications to throttle one of, the installed
    // ones to launch throttled, and their names for the rows; once, before
    // the view is made, which needs them. All outlive this.
    void setApplications(ApplicationPickerModel& picker, LaunchThrottledModel& launcher,
                         ApplicationNames& names);

    // Each time the panel comes on screen.
    Q_INVOKABLE void appear() { m_helperWarning.appear(); }

    // The master switch and "Stop Throttling".
    Q_INVOKABLE void handleToggle(bool newValue);
    // A row's Stop: ends that throttle alone, whoever owns it, when the
    // helper lets this user.
    Q_INVOKABLE void stopThrottle(const QString& id);
    void selectProfile(const ThrottleProfile& profile);
    void applyProfileAfterConfirmation(const ThrottleProfile& profile);
    void editProfile(const ThrottleProfile& profile);
    // The rows name their profile by its id text.
    Q_INVOKABLE void selectProfile(const QString& profileId);
    Q_INVOKABLE void editProfile(const QString& profileId);

    // The buttons of the 100% packet loss confirmation and of the error alert.
    Q_INVOKABLE void confirmDestructiveProfile();
    Q_INVOKABLE void cancelDestructiveProfile();
    Q_INVOKABLE void dismissError();

    Q_INVOKABLE void openProfileList();
    // Also the helper warning's "Install": the helper is installed from there.
    Q_INVOKABLE void openSettings();
    Q_INVOKABLE void quitApp();
    void activateWindow(const QString& id);

Q_SIGNALS:
    // The throttling state or a view flag changed.
    void changed();

private:
    const ThrottleState& state() const { return m_throttleService.state(); }
    std::optional<ThrottleProfile> candidateProfile() const;
    std::optional<ThrottleProfile> profileWithIdText(const QString& idText) const;
    void askToConfirm(const ThrottleProfile& profile);
    void showError(const QString& message);

    // Runs one throttle operation as a task of its own with the loading flag
    // held, remembers the profile on success and shows a failure.
    void runLoading(std::function<QCoro::Task<>()> operation,
                    std::optional<QUuid> profileToRemember);
    QCoro::Task<> loading(std::function<QCoro::Task<>()> operation,
                          std::optional<QUuid> profileToRemember);

    ThrottleService& m_throttleService;
    ProfileManager& m_profileManager;
    ProfileEditorState& m_profileEditorState;
    StatePersistenceService& m_persistence;
    WindowNavigator& m_navigator;

    int m_runningTasks = 0;
    bool m_showingError = false;
    QString m_errorMessage;
    bool m_showingDestructiveProfileConfirmation = false;
    std::optional<ThrottleProfile> m_pendingDestructiveProfile;

    CompactStatsLineModel m_statsLine;
    AutoOffCountdownModel m_countdown;
    LiveStatisticsModel m_liveStatistics;
    ScheduleStandingModel m_scheduleStanding;
    PanelHelperWarning m_helperWarning;
    PanelProfileRows m_profileRows;
    QuitAfterRemovingThrottling m_quit;
    std::unique_ptr<PanelApplications> m_applications;
    ApplicationNames* m_applicationNames = nullptr;
};
