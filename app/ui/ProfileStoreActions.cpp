// SPDX-License-Identifier: MIT
#include "ProfileStoreActions.h"

namespace ProfileStoreActions {

ProfileChange save(ProfileManager& profiles, const ThrottleProfile& profile) {
    return profiles.saveProfile(profile);
}

ProfileChange remove(ProfileManager& profiles, const ThrottleProfile& profile) {
    return profiles.deleteProfile(profile);
}

ProfileChange duplicate(ProfileManager& profiles, const ThrottleProfile& profile) {
    return profiles.duplicateProfile(profile);
}

ProfileChange setShownInMenu(ProfileManager& profiles, const ThrottleProfile& profile, bool shown) {
    return profiles.setShownInMenu(profile, shown);
}

ProfileEditorState::Action saveAction(ProfileManager& profiles) {
    return [&profiles](const ThrottleProfile& profile) { return save(profiles, profile); };
}

ProfileEditorState::Action deleteAction(ProfileManager& profiles) {
    return [&profiles](const ThrottleProfile& profile) { return remove(profiles, profile); };
}

} // namespace ProfileStoreActions
