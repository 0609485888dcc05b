// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationNames.h"
#include "ProfileRowsModel.h"
#include "ThrottleProfile.h"

#include <QObject>

class ProfileManager;
class ThrottleService;

// The panel's two lists of profiles marked for the menu, built-in and
// custom, each row marked selected and active as the throttling state says,
// and a profile for an application naming it. They follow the store and the
// state by themselves.
class PanelProfileRows final : public QObject {
    Q_OBJECT
    Q_PROPERTY(ProfileRowsModel* builtIn READ builtIn CONSTANT)
    Q_PROPERTY(ProfileRowsModel* custom READ custom CONSTANT)
    Q_PROPERTY(bool hasCustom READ hasCustom NOTIFY hasCustomChanged)

public:
    PanelProfileRows(const ThrottleService& throttleService, const ProfileManager& profileManager,
                     QObject* parent = nullptr);

    ProfileRowsModel* builtIn() { return &m_builtIn; }
    ProfileRowsModel* custom() { return &m_custom; }
    bool hasCustom() const { return m_custom.rowCount() > 0; }

    // While throttling is on, the applied profile; while off, the selected one.
    bool isProfileSelected(const ThrottleProfile& profile) const;
    bool isProfileActive(const ThrottleProfile& profile) const;

    // What a profile's application is called; until then, its desktop id.
    // `names` outlives this.
    void setApplicationNames(ApplicationNames& names);

Q_SIGNALS:
    void hasCustomChanged();

private:
    void refresh();

    const ThrottleService& m_throttleService;
    const ProfileManager& m_profileManager;
    ApplicationNames* m_applicationNames = nullptr;
    ProfileRowsModel m_builtIn;
    ProfileRowsModel m_custom;
};
