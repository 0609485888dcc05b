// SPDX-License-Identifier: MIT
#include "PanelProfileRows.h"

#include "ProfileManager.h"
#include "ThrottleService.h"

#include <optional>

namespace {

bool sameProfile(const std::optional<ThrottleProfile>& profile, const ThrottleProfile& other) {
    return profile && profile->id() == other.id();
}

} // namespace

PanelProfileRows::PanelProfileRows(const ThrottleService& throttleService,
                                   const ProfileManager& profileManager, QObject* parent)
    : QObject(parent)
    , m_throttleService(throttleService)
    , m_profileManager(profileManager) {
    connect(&m_throttleService, &ThrottleService::stateChanged, this, &PanelProfileRows::refresh);
    connect(&m_profileManager, &ProfileManager::builtInProfilesChanged, this,
            &PanelProfileRows::refresh);
    connect(&m_profileManager, &ProfileManager::customProfilesChanged, this,
            &PanelProfileRows::refresh);
    refresh();
}

bool PanelProfileRows::isProfileSelected(const ThrottleProfile& profile) const {
    const ThrottleState& state = m_throttleService.state();
    return sameProfile(state.isEnabled ? state.currentProfile : state.selectedProfile, profile);
}

bool PanelProfileRows::isProfileActive(const ThrottleProfile& profile) const {
    const ThrottleState& state = m_throttleService.state();
    return state.isEnabled && sameProfile(state.currentProfile, profile);
}

void PanelProfileRows::setApplicationNames(ApplicationNames& names) {
    m_applicationNames = &names;
    refresh();
}

void PanelProfileRows::refresh() {
    const auto rowsOf = [this](const QList<ThrottleProfile>& profiles) {
        QList<ProfileRowsModel::Row> rows;
        rows.reserve(profiles.size());
        for (const ThrottleProfile& profile : profiles) {
            rows.append({profile, isProfileSelected(profile), isProfileActive(profile),
                         ProfileScopeLabel::of(profile, m_applicationNames)});
        }
        return rows;
    };
    const bool hadCustom = hasCustom();
    m_builtIn.setRows(rowsOf(m_profileManager.menuBuiltInProfiles()));
    m_custom.setRows(rowsOf(m_profileManager.menuCustomProfiles()));
    if (hasCustom() != hadCustom) {
        Q_EMIT hasCustomChanged();
    }
}
