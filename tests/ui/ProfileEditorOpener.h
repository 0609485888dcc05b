// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileStoreActions.h"
#include "UiWorld.h"

#include <QList>

#include <memory>
#include <optional>

// Opens the profile editor as the panel and the profile list do: a save is
// recorded and answered as `answer` says, a delete goes to the store.
struct ProfileEditorOpener {
    std::unique_ptr<ProfileEditorViewModel> open(std::optional<ThrottleProfile> profile,
                                                 ProfileEditorMode mode) {
        world.editorState.prepare(
            std::move(profile), mode,
            [this](const ThrottleProfile& p) {
                saved << p;
                return answer(p);
            },
            ProfileStoreActions::deleteAction(world.profiles));
        return world.editor();
    }

    UiWorld world;
    QList<ThrottleProfile> saved;
    // What the store makes of a save.
    ProfileEditorState::Action answer = [](const ThrottleProfile& p) {
        return ProfileChange::done(p);
    };
};
