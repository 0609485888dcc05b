// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationPickerModel.h"
#include "LaunchThrottledModel.h"
#include "ProfileManager.h"
#include "ThrottleProfile.h"
#include "ThrottleService.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The panel's ways to throttle one application: the list of the running
// ones to pick from, and launching one throttled, each over the panel while
// it is shown, one at a time. A pick switches the panel's profile on for
// that application, beside whatever else runs; the panel carries the switch
// out, so that it shows its progress and failure like any other. A launch
// shows its own.
class PanelApplications final : public QObject {
    Q_OBJECT
    Q_PROPERTY(ApplicationPickerModel* picker READ picker CONSTANT)
    Q_PROPERTY(bool showingPicker READ showingPicker NOTIFY changed)
    Q_PROPERTY(LaunchThrottledModel* launcher READ launcher CONSTANT)
    // "Throttled with 3G"; what to do first while there is no profile.
    Q_PROPERTY(QString profileText READ profileText NOTIFY changed)
    Q_PROPERTY(bool hasProfile READ hasProfile NOTIFY changed)

public:
    using ProfileSource = std::function<std::optional<ThrottleProfile>()>;
    using Throttle = std::function<void(const ThrottleProfile& profile)>;

    // `profile` gives the profile a pick is throttled with, `throttle`
    // switches it on. `picker` and `launcher` outlive this.
    PanelApplications(ApplicationPickerModel& picker, LaunchThrottledModel& launcher,
                      ProfileSource profile, Throttle throttle, QObject* parent = nullptr);

    // How a launch switches the selected profile on (else the first), for
    // the application or the command it starts, and ends it again.
    static LaunchThrottler throttlerFor(ThrottleService& service, const ProfileManager& profiles);

    ApplicationPickerModel* picker() { return &m_picker; }
    LaunchThrottledModel* launcher() { return &m_launcher; }
    bool showingPicker() const { return m_showingPicker; }
    QString profileText() const;
    bool hasProfile() const { return m_profile().has_value(); }

    Q_INVOKABLE void openPicker();
    Q_INVOKABLE void closePicker();
    Q_INVOKABLE void openLauncher();
    // Both, as the panel goes off screen: closed, neither reads anything.
    Q_INVOKABLE void closeAll();

Q_SIGNALS:
    // The panel's profile or what is shown changed.
    void changed();

private:
    void picked(QString desktopId);

    ApplicationPickerModel& m_picker;
    LaunchThrottledModel& m_launcher;
    ProfileSource m_profile;
    Throttle m_throttle;
    bool m_showingPicker = false;
};
