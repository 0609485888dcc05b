// SPDX-License-Identifier: MIT
#pragma once

#include "AboutViewModel.h"
#include "AutoDisableSettingsModel.h"
#include "GeneralSettingsModel.h"
#include "HelperSettingsModel.h"
#include "UpdateSettingsModel.h"
#include "WindowNavigator.h"

#include <QObject>

class NotificationCenter;
class ServiceRegistration;
class SoftwareUpdater;
class ThrottleService;
class UserDefaults;

// The settings window: a model per section (General with auto-disable,
// Updates, Privileged Helper), the about sheet, and what closes the window.
class SettingsViewModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(GeneralSettingsModel* general READ general CONSTANT)
    Q_PROPERTY(AutoDisableSettingsModel* autoDisable READ autoDisable CONSTANT)
    Q_PROPERTY(UpdateSettingsModel* updates READ updates CONSTANT)
    Q_PROPERTY(HelperSettingsModel* helper READ helper CONSTANT)
    Q_PROPERTY(bool showingAbout READ showingAbout NOTIFY showingAboutChanged)
    Q_PROPERTY(AboutViewModel* aboutViewModel READ aboutViewModel CONSTANT)
    // The about sheet or an alert is in front: the window's own keys wait.
    Q_PROPERTY(bool isCovered READ isCovered NOTIFY coveredChanged)

public:
    SettingsViewModel(UserDefaults& defaults, ThrottleService& throttleService,
                      ServiceRegistration& registration, SoftwareUpdater& updater,
                      NotificationCenter& notifications, WindowNavigator& navigator,
                      AboutViewModel* about = nullptr, QObject* parent = nullptr);

    GeneralSettingsModel* general() { return &m_general; }
    AutoDisableSettingsModel* autoDisable() { return &m_autoDisable; }
    UpdateSettingsModel* updates() { return &m_updates; }
    HelperSettingsModel* helper() { return &m_helper; }

    bool showingAbout() const { return m_showingAbout; }
    AboutViewModel* aboutViewModel() const { return m_about; }
    bool isCovered() const;

    // Each appearance of the window checks the helper again.
    Q_INVOKABLE void appear() { m_helper.checkStatus(); }
    Q_INVOKABLE void showAbout();
    Q_INVOKABLE void done();

Q_SIGNALS:
    void showingAboutChanged();
    void coveredChanged();

private:
    WindowNavigator& m_navigator;
    AboutViewModel* m_about;
    GeneralSettingsModel m_general;
    AutoDisableSettingsModel m_autoDisable;
    UpdateSettingsModel m_updates;
    HelperSettingsModel m_helper;
    bool m_showingAbout = false;
};
