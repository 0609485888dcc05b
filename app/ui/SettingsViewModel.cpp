// SPDX-License-Identifier: MIT
#include "SettingsViewModel.h"

#include "HelperInstallation.h"
#include "NotificationCenter.h"
#include "NotificationNames.h"
#include "ServiceRegistration.h"
#include "SettingsKeys.h"
#include "SoftwareUpdater.h"
#include "ThrottleService.h"
#include "UserDefaults.h"

#include <QPointer>
#include <QTextStream>

namespace {

const QStringList& durationLabels() {
    static const QStringList labels{
        QStringLiteral("5 minutes"),  QStringLiteral("10 minutes"), QStringLiteral("15 minutes"),
        QStringLiteral("30 minutes"), QStringLiteral("1 hour"),     QStringLiteral("2 hours"),
    };
    return labels;
}

} // namespace

const QList<int>& SettingsViewModel::durationMinutes() {
    static const QList<int> minutes{5, 10, 15, 30, 60, 120};
    return minutes;
}

SettingsViewModel::SettingsViewModel(UserDefaults& defaults, ThrottleService& throttleService,
                                     ServiceRegistration& registration, SoftwareUpdater& updater,
                                     NotificationCenter& notifications, WindowNavigator& navigator,
                                     AboutViewModel* about, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_throttleService(throttleService)
    , m_registration(registration)
    , m_updater(updater)
    , m_notifications(notifications)
    , m_navigator(navigator)
    , m_about(about ? about : AboutViewModel::fromBuild(this)) {
    connect(&m_updater, &SoftwareUpdater::canCheckForUpdatesChanged, this,
            &SettingsViewModel::updaterChanged);
    connect(&m_updater, &SoftwareUpdater::automaticallyChecksForUpdatesChanged, this,
            &SettingsViewModel::updaterChanged);
    connect(m_about, &AboutViewModel::dismissRequested, this, [this] {
        m_showingAbout = false;
        Q_EMIT showingAboutChanged();
    });
}

bool SettingsViewModel::launchAtLogin() const {
    return m_defaults.boolValue(SettingsKeys::launchAtLogin);
}

void SettingsViewModel::setLaunchAtLogin(bool enabled) {
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
    Q_EMIT alertsChanged();
}

bool SettingsViewModel::showNotifications() const {
    return m_defaults.boolValue(SettingsKeys::showNotifications);
}

void SettingsViewModel::setShowNotifications(bool enabled) {
    setBool(SettingsKeys::showNotifications, enabled);
}

bool SettingsViewModel::autoDisableOnQuit() const {
    return m_defaults.boolValue(SettingsKeys::autoDisableOnQuit);
}

void SettingsViewModel::setAutoDisableOnQuit(bool enabled) {
    setBool(SettingsKeys::autoDisableOnQuit, enabled);
}

bool SettingsViewModel::autoDisableEnabled() const {
    return m_defaults.boolValue(SettingsKeys::autoDisableEnabled);
}

void SettingsViewModel::setAutoDisableEnabled(bool enabled) {
    setBool(SettingsKeys::autoDisableEnabled, enabled);
    postAutoDisableSetting(enabled, m_defaults.integerValue(SettingsKeys::autoDisableMinutes));
}

QStringList SettingsViewModel::durationChoices() const {
    return durationLabels();
}

int SettingsViewModel::durationIndex() const {
    return static_cast<int>(
        durationMinutes().indexOf(m_defaults.integerValue(SettingsKeys::autoDisableMinutes)));
}

QString SettingsViewModel::durationText() const {
    const int index = durationIndex();
    // A duration stored by hand still reads as what it is.
    return index >= 0 ? durationLabels().at(index)
                      : QStringLiteral("%1 minutes")
                            .arg(m_defaults.integerValue(SettingsKeys::autoDisableMinutes));
}

void SettingsViewModel::selectDuration(int index) {
    if (index < 0 || index >= durationMinutes().size() || index == durationIndex()) {
        return;
    }
    const int minutes = durationMinutes().at(index);
    m_defaults.setValue(SettingsKeys::autoDisableMinutes, minutes);
    Q_EMIT settingsChanged();
    postAutoDisableSetting(autoDisableEnabled(), minutes);
}

bool SettingsViewModel::automaticallyChecksForUpdates() const {
    return m_updater.automaticallyChecksForUpdates();
}

void SettingsViewModel::setAutomaticallyChecksForUpdates(bool enabled) {
    m_updater.setAutomaticallyChecksForUpdates(enabled);
    Q_EMIT updaterChanged();
}

bool SettingsViewModel::canCheckForUpdates() const {
    return m_updater.canCheckForUpdates();
}

void SettingsViewModel::checkForUpdates() {
    if (m_updater.canCheckForUpdates()) {
        m_updater.checkForUpdates();
    }
}

QString SettingsViewModel::helperStatusText() const {
    switch (m_helperStatus) {
    case HelperStatus::Checking:
        return QStringLiteral("Checking…");
    case HelperStatus::Installed:
        return QStringLiteral("Installed");
    case HelperStatus::NotInstalled:
        return QStringLiteral("Not Installed");
    case HelperStatus::NoSystemBus:
        return QStringLiteral("No System Bus");
    case HelperStatus::NotResponding:
        return QStringLiteral("Not Responding");
    case HelperStatus::Error:
        return QStringLiteral("Install Failed");
    }
    return {};
}

bool SettingsViewModel::offersRetry() const {
    return m_helperStatus == HelperStatus::NoSystemBus ||
           m_helperStatus == HelperStatus::NotResponding || m_helperStatus == HelperStatus::Error;
}

void SettingsViewModel::checkHelperStatus() {
    ++m_helperCheck;
    setHelperStatus(HelperStatus::Checking);
    const ServiceStatus status = m_registration.daemonStatus();
    switch (status) {
    case ServiceStatus::enabled:
        probeHelper();
        return;
    case ServiceStatus::requiresApproval:
        setHelperStatus(HelperStatus::NotResponding, ServiceRegistration::unavailableText(status));
        return;
    case ServiceStatus::notRegistered:
    case ServiceStatus::notFound:
        setHelperStatus(HelperStatus::NotInstalled);
        return;
    case ServiceStatus::busUnreachable:
        setHelperStatus(HelperStatus::NoSystemBus, ServiceRegistration::unavailableText(status));
        return;
    }
}

QCoro::Task<> SettingsViewModel::probeHelper() {
    const QPointer<SettingsViewModel> self(this);
    const int check = m_helperCheck;
    const bool answered = co_await helperAnswers(m_throttleService.helperConnection());
    if (!self || check != m_helperCheck) {
        co_return;
    }
    if (answered) {
        setHelperStatus(HelperStatus::Installed);
    } else {
        setHelperStatus(HelperStatus::NotResponding,
                        ServiceRegistration::unavailableText(ServiceStatus::enabled));
    }
}

void SettingsViewModel::installHelper() {
    // One installation at a time: a second one would ask for the password again.
    if (!m_isInstallingHelper) {
        runInstall();
    }
}

void SettingsViewModel::tryAgain() {
    if (m_helperStatus == HelperStatus::Error) {
        installHelper();
    } else {
        checkHelperStatus();
    }
}

QCoro::Task<> SettingsViewModel::runInstall() {
    const QPointer<SettingsViewModel> self(this);
    m_isInstallingHelper = true;
    ++m_helperCheck;
    Q_EMIT helperChanged();
    const std::optional<QString> failure = co_await installHelperReportingFailure(
        m_throttleService.helperConnection(), m_registration);
    if (!self) {
        co_return;
    }
    m_isInstallingHelper = false;
    if (failure) {
        setHelperStatus(HelperStatus::Error, *failure);
    } else {
        m_throttleService.checkHelperStatus();
        setHelperStatus(HelperStatus::Installed);
    }
    m_helperInstallError = failure;
    m_showingHelperInstallAlert = true;
    Q_EMIT alertsChanged();
}

void SettingsViewModel::toggleAdvancedHelper() {
    m_showAdvancedHelper = !m_showAdvancedHelper;
    Q_EMIT helperChanged();
}

QString SettingsViewModel::helperInstallAlertMessage() const {
    return m_helperInstallError ? *m_helperInstallError
                                : QStringLiteral("Helper installed successfully!");
}

void SettingsViewModel::dismissHelperInstallAlert() {
    m_showingHelperInstallAlert = false;
    Q_EMIT alertsChanged();
}

QString SettingsViewModel::launchAtLoginErrorMessage() const {
    return QStringLiteral("Failed to update launch at login setting: ") + m_launchAtLoginError;
}

void SettingsViewModel::dismissLaunchAtLoginError() {
    m_showingLaunchAtLoginError = false;
    Q_EMIT alertsChanged();
}

void SettingsViewModel::showAbout() {
    m_showingAbout = true;
    Q_EMIT showingAboutChanged();
}

void SettingsViewModel::done() {
    m_navigator.closeWindow(WindowNavigator::settings);
}

void SettingsViewModel::setHelperStatus(HelperStatus status, const QString& message) {
    m_helperStatus = status;
    m_helperMessage = message;
    Q_EMIT helperChanged();
}

void SettingsViewModel::setBool(QLatin1StringView key, bool value) {
    m_defaults.setValue(key, value);
    Q_EMIT settingsChanged();
}

void SettingsViewModel::postAutoDisableSetting(bool enabled, int minutes) {
    m_notifications.post(
        NotificationName::autoDisableSettingChanged,
        {{QStringLiteral("enabled"), enabled}, {QStringLiteral("minutes"), minutes}});
}
