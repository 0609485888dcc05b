// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationNames.h"
#include "ApplicationPickerModel.h"
#include "LaunchThrottledModel.h"
#include "PanelApplications.h"
#include "RunningApplications.h"
#include "SystemdUserUnits.h"

// The desktop's applications as the panel and the editor show them: the
// running ones through the user's service manager on the session bus (asked
// only while the list is open), the installed ones to launch throttled
// through the same manager, and from the installed entries names, icons and
// the ones a profile may be for.
class DesktopApplications final {
public:
    // `service` and `profiles` outlive this.
    DesktopApplications(ThrottleService& service, const ProfileManager& profiles)
        : m_entries(DesktopEntries::fromEnvironment())
        , m_units(QDBusConnection::sessionBus())
        , m_running(m_units, m_entries, ProcessCgroups())
        , m_picker(m_running)
        , m_launcher(m_units, m_entries, ProcessCgroups(),
                     PanelApplications::throttlerFor(service, profiles))
        , m_names(m_entries) {}
    DesktopApplications(const DesktopApplications&) = delete;
    DesktopApplications& operator=(const DesktopApplications&) = delete;

    ApplicationPickerModel& picker() { return m_picker; }
    LaunchThrottledModel& launcher() { return m_launcher; }
    ApplicationNames& names() { return m_names; }
    const DesktopEntries& entries() const { return m_entries; }

private:
    DesktopEntries m_entries;
    SystemdUserUnits m_units;
    RunningApplications m_running;
    ApplicationPickerModel m_picker;
    LaunchThrottledModel m_launcher;
    ApplicationNames m_names;
};
