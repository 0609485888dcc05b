// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileEditorState.h"
#include "ProfileManager.h"
#include "ThrottleProfile.h"

// The profile store's change operations as the views reach them. Every
// view-side call of a ProfileManager change goes through here, so that what
// the views make of a change's outcome is decided in one place. A failure to
// write is reported by the store itself; the change stays in memory, and the
// outcome goes back to the caller for the user.
namespace ProfileStoreActions {

ProfileChange save(ProfileManager& profiles, const ThrottleProfile& profile);
ProfileChange remove(ProfileManager& profiles, const ThrottleProfile& profile);
ProfileChange duplicate(ProfileManager& profiles, const ThrottleProfile& profile);
ProfileChange setShownInMenu(ProfileManager& profiles, const ThrottleProfile& profile, bool shown);

// The editor's completion actions for an opener that saves and deletes in
// the store. The store must outlive the editor state that holds them.
ProfileEditorState::Action saveAction(ProfileManager& profiles);
ProfileEditorState::Action deleteAction(ProfileManager& profiles);

} // namespace ProfileStoreActions
