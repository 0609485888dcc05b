// SPDX-License-Identifier: MIT
#include "ProfileStoreActions.h"
#include "Scenes.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <functional>

namespace {

// The editor window's view, opened as the panel and the profile list open
// it, in the state that `arrange` has left it in.
QImage editorFor(std::optional<ThrottleProfile> profile, ProfileEditorMode mode,
                 const std::function<void(ProfileEditorViewModel&)>& arrange = {}) {
    UiWorld world;
    world.editorState.prepare(std::move(profile), mode,
                              ProfileStoreActions::saveAction(world.profiles),
                              ProfileStoreActions::deleteAction(world.profiles));
    const auto editor = world.editor();
    // Before the view exists, so that no animation is half-way in the picture.
    if (arrange) {
        arrange(*editor);
    }
    return ViewHarness("ProfileEditorWindowView", editor.get()).grab();
}

ThrottleProfile cafe() {
    return ThrottleProfile(QUuid::createUuid(), QStringLiteral("Crowded cafe"),
                           Bandwidth{3, BandwidthUnit::mbps}, Bandwidth{512, BandwidthUnit::kbps},
                           120, 12.5, {}, false, true);
}

const SceneRegistration createWithErrors(QStringLiteral("editor-create-errors"), [] {
    return editorFor(std::nullopt, ProfileEditorMode::create, [](ProfileEditorViewModel& editor) {
        editor.setHasLatency(true);
        editor.saveProfile();
    });
});

const SceneRegistration edit(QStringLiteral("editor-edit"),
                             [] { return editorFor(cafe(), ProfileEditorMode::edit); });

const SceneRegistration deleting(QStringLiteral("editor-delete-confirmation"), [] {
    return editorFor(cafe(), ProfileEditorMode::edit,
                     [](ProfileEditorViewModel& editor) { editor.requestDelete(); });
});

const SceneRegistration view(QStringLiteral("editor-view-lte"), [] {
    return editorFor(preset(QStringLiteral("LTE")), ProfileEditorMode::edit);
});

const SceneRegistration duplicate(QStringLiteral("editor-duplicate-3g"), [] {
    return editorFor(preset(QStringLiteral("3G")), ProfileEditorMode::duplicate);
});

} // namespace
