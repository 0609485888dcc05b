// SPDX-License-Identifier: MIT
#include "PanelApplications.h"

#include <utility>

PanelApplications::PanelApplications(ApplicationPickerModel& picker, ProfileSource profile,
                                     Throttle throttle, QObject* parent)
    : QObject(parent)
    , m_picker(picker)
    , m_profile(std::move(profile))
    , m_throttle(std::move(throttle)) {
    connect(&m_picker, &ApplicationPickerModel::picked, this,
            [this](const QString& desktopId) { picked(desktopId); });
}

QString PanelApplications::profileText() const {
    const std::optional<ThrottleProfile> profile = m_profile();
    return profile ? QStringLiteral("Throttled with %1").arg(profile->name)
                   : QStringLiteral("Select a profile to throttle it with first.");
}

void PanelApplications::openPicker() {
    if (m_showingPicker) {
        return;
    }
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
