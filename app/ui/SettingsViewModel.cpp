// SPDX-License-Identifier: MIT
#include "SettingsViewModel.h"

SettingsViewModel::SettingsViewModel(UserDefaults& defaults, ThrottleService& throttleService,
                                     ServiceRegistration& registration, SoftwareUpdater& updater,
                                     NotificationCenter& notifications, WindowNavigator& navigator,
                                     AboutViewModel* about, QObject* parent)
    : QObject(parent)
    , m_navigator(navigator)
    , m_about(about ? about : AboutViewModel::fromBuild(this))
    , m_general(defaults, registration)
    , m_autoDisable(defaults, notifications)
    , m_updates(updater)
    , m_helper(throttleService, registration) {
    connect(m_about, &AboutViewModel::dismissRequested, this, [this] {
        m_showingAbout = false;
        Q_EMIT showingAboutChanged();
        Q_EMIT coveredChanged();
    });
    connect(&m_general, &GeneralSettingsModel::launchAtLoginErrorChanged, this,
            &SettingsViewModel::coveredChanged);
    connect(&m_helper, &HelperSettingsModel::installAlertChanged, this,
            &SettingsViewModel::coveredChanged);
}

bool SettingsViewModel::isCovered() const {
    return m_showingAbout || m_helper.showingInstallAlert() ||
           m_general.showingLaunchAtLoginError();
}

void SettingsViewModel::showAbout() {
    m_showingAbout = true;
    Q_EMIT showingAboutChanged();
    Q_EMIT coveredChanged();
}

void SettingsViewModel::done() {
    m_navigator.closeWindow(WindowNavigator::settings);
}
