// SPDX-License-Identifier: MIT
#include "ProfileStoreActions.h"

namespace ProfileStoreActions {

void save(ProfileManager& profiles, const ThrottleProfile& profile) {
    profiles.saveProfile(profile);
}

void remove(ProfileManager& profiles, const ThrottleProfile& profile) {
    profiles.deleteProfile(profile);
}

void duplicate(ProfileManager& profiles, const ThrottleProfile& profile) {
    profiles.duplicateProfile(profile);
}

void setShownInMenu(ProfileManager& profiles, const ThrottleProfile& profile, bool shown) {
    profiles.setShownInMenu(profile, shown);
}

ProfileEditorState::Action saveAction(ProfileManager& profiles) {
    return [&profiles](const ThrottleProfile& profile) { save(profiles, profile); };
}

ProfileEditorState::Action deleteAction(ProfileManager& profiles) {
    return [&profiles](const ThrottleProfile& profile) { remove(profiles, profile); };
}

} // namespace ProfileStoreActions
