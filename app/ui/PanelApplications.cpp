// SPDX-License-Identifier: MIT
#include "PanelApplications.h"

#include <utility>

PanelApplications::PanelApplications(ApplicationPickerModel& picker, LaunchThrottledModel& launcher,
                                     ProfileSource profile, Throttle throttle, QObject* parent)
    : QObject(parent)
    , m_picker(picker)
    , m_launcher(launcher)
    , m_profile(std::move(profile))
    , m_throttle(std::move(throttle)) {
    connect(&m_picker, &ApplicationPickerModel::picked, this,
            [this](const QString& desktopId) { picked(desktopId); });
    // What a launch will be throttled with follows the selection.
    connect(this, &PanelApplications::changed, this, [this] {
        const std::optional<ThrottleProfile> chosen = m_profile();
        m_launcher.setProfileName(chosen ? chosen->name : QString());
    });
    Q_EMIT changed();
}

LaunchThrottler PanelApplications::throttlerFor(ThrottleService& service,
                                                const ProfileManager& profiles) {
    const auto profile = [&service, &profiles] {
        std::optional<ThrottleProfile> chosen =
            service.state().profileToApply(profiles.allProfiles());
        if (!chosen) {
            throw ThrottleError::invalidProfile(QStringLiteral("No profile to throttle it with"));
        }
        return *chosen;
    };
    return {.application =
                [&service, profile](QString desktopId) {
                    return service.applyProfileToApplication(profile(), std::move(desktopId));
                },
            .command =
                [&service, profile](QString cgroup, QString commandLine) {
                    return service.applyProfileToCgroup(profile(), std::move(cgroup),
                                                        std::move(commandLine));
                },
            .end = [&service](quint64 id) { return service.endThrottle(id); }};
}

QString PanelApplications::profileText() const {
    const std::optional<ThrottleProfile> profile = m_profile();
    return profile ? QStringLiteral("Throttled with %1").arg(profile->name)
                   : QStringLiteral("Select a profile to throttle it with first.");
}

void PanelApplications::openLauncher() {
    closePicker();
    m_launcher.open();
}

void PanelApplications::closeAll() {
    closePicker();
    m_launcher.close();
}

void PanelApplications::openPicker() {
    if (m_showingPicker) {
        return;
    }
    m_launcher.close();
    m_showingPicker = true;
    m_picker.open();
    Q_EMIT changed();
}

void PanelApplications::closePicker() {
    if (!m_showingPicker) {
        return;
    }
    m_showingPicker = false;
    // Closed, the list asks the user's manager nothing.
    m_picker.close();
    Q_EMIT changed();
}

void PanelApplications::picked(QString desktopId) {
    std::optional<ThrottleProfile> profile = m_profile();
    if (!profile) {
        return;
    }
    closePicker();
    // The profile's own application, if it names one, gives way to the pick.
    profile->application = std::move(desktopId);
    m_throttle(*profile);
}
