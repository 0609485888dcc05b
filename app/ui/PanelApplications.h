// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationPickerModel.h"
#include "ThrottleProfile.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

// The panel's way to throttle one application: the list of the running
// ones to pick from, over the panel while it is shown. A pick switches the
// panel's profile on for that application, beside whatever else runs; the
// panel carries the switch out, so that it shows its progress and failure
// like any other.
class PanelApplications final : public QObject {
    Q_OBJECT
    Q_PROPERTY(ApplicationPickerModel* picker READ picker CONSTANT)
    Q_PROPERTY(bool showingPicker READ showingPicker NOTIFY changed)
    // "Throttled with 3G"; what to do first while there is no profile.
    Q_PROPERTY(QString profileText READ profileText NOTIFY changed)
    Q_PROPERTY(bool hasProfile READ hasProfile NOTIFY changed)

public:
    using ProfileSource = std::function<std::optional<ThrottleProfile>()>;
    using Throttle = std::function<void(const ThrottleProfile& profile)>;

    // `profile` gives the profile a pick is throttled with, `throttle`
    // switches it on.
    PanelApplications(ApplicationPickerModel& picker, ProfileSource profile, Throttle throttle,
                      QObject* parent = nullptr);

    ApplicationPickerModel* picker() { return &m_picker; }
    bool showingPicker() const { return m_showingPicker; }
    QString profileText() const;
    bool hasProfile() const { return m_profile().has_value(); }

    Q_INVOKABLE void openPicker();
    Q_INVOKABLE void closePicker();

Q_SIGNALS:
    // The panel's profile or what is shown changed.
    void changed();

private:
    void picked(QString desktopId);

    ApplicationPickerModel& m_picker;
    ProfileSource m_profile;
    Throttle m_throttle;
    bool m_showingPicker = false;
};
