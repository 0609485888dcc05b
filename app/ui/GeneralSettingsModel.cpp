// SPDX-License-Identifier: MIT
#include "GeneralSettingsModel.h"

#include "ServiceRegistration.h"
#include "SettingsKeys.h"
#include "UserDefaults.h"

#include <QTextStream>

#include <optional>

GeneralSettingsModel::GeneralSettingsModel(UserDefaults& defaults,
                                           ServiceRegistration& registration, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_registration(registration) {}

bool GeneralSettingsModel::launchAtLogin() const {
    return m_defaults.boolValue(SettingsKeys::launchAtLogin);
}

void GeneralSettingsModel::setLaunchAtLogin(bool enabled) {
    setBool(SettingsKeys::launchAtLogin, enabled);
    const std::optional<RegistrationError> failure =
        enabled ? m_registration.registerLoginItem() : m_registration.unregisterLoginItem();
    if (!failure) {
        return;
    }
    QTextStream(stdout) << "Failed to update launch at login: " << failure->description << Qt::endl;
    setBool(SettingsKeys::launchAtLogin, !enabled);
    m_launchAtLoginError = failure->description;
    m_showingLaunchAtLoginError = true;
    Q_EMIT launchAtLoginErrorChanged();
}

bool GeneralSettingsModel::showNotifications() const {
    return m_defaults.boolValue(SettingsKeys::showNotifications);
}

void GeneralSettingsModel::setShowNotifications(bool enabled) {
    setBool(SettingsKeys::showNotifications, enabled);
}

bool GeneralSettingsModel::autoDisableOnQuit() const {
    return m_defaults.boolValue(SettingsKeys::autoDisableOnQuit);
}

void GeneralSettingsModel::setAutoDisableOnQuit(bool enabled) {
    setBool(SettingsKeys::autoDisableOnQuit, enabled);
}

QString GeneralSettingsModel::launchAtLoginErrorMessage() const {
    return QStringLiteral("Failed to update launch at login setting: ") + m_launchAtLoginError;
}

void GeneralSettingsModel::dismissLaunchAtLoginError() {
    m_showingLaunchAtLoginError = false;
    Q_EMIT launchAtLoginErrorChanged();
}

void GeneralSettingsModel::setBool(QLatin1StringView key, bool value) {
    m_defaults.setValue(key, value);
    Q_EMIT changed();
}
