// SPDX-License-Identifier: MIT
#include "ProfileEditorOpener.h"
#include "ProfileStoreActions.h"
#include "Scenes.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QQuickItem>

#include <algorithm>
#include <functional>

namespace {

// The editor window's view, opened as the panel and the profile list open
// it, in the state that `arrange` has left it in.
void editorScene(const QString& name, const std::optional<ThrottleProfile>& profile,
                 ProfileEditorMode mode,
                 const std::function<void(ProfileEditorViewModel&)>& arrange = {}) {
    scenes().emplace(name, [=] {
        UiWorld world;
        world.editorState.prepare(profile, mode, ProfileStoreActions::saveAction(world.profiles),
                                  ProfileStoreActions::deleteAction(world.profiles));
        const auto editor = world.editor();
        // Before the view exists, so that no animation is half-way in the picture.
        if (arrange) {
            arrange(*editor);
        }
        return ViewHarness("ProfileEditorWindowView", editor.get()).grab();
    });
}

// Limited to a few destinations, one of them mistyped, scrolled down to them.
void destinationsScene(const ThrottleProfile& profile) {
    scenes().emplace("editor-destinations", [=] {
        UiWorld world;
        world.editorState.prepare(profile, ProfileEditorMode::edit, {}, {});
        const auto editor = world.editor();
        editor->fields()->setAppliesTo(1);
        editor->fields()->setDestinations(
            "api.example.com\n10.0.0.0/8\n[2001:db8::1]:8443\n192.0.2.7:4430000");
        ViewHarness view("ProfileEditorWindowView", editor.get());
        QQuickItem* body = view.find("editorBody");
        body->setProperty("contentY", body->property("contentHeight").toReal() - body->height());
        return view.grab();
    });
}

// A profile whose conditions change over time, scrolled down to them.
void scheduleScene(const QString& name, const ThrottleProfile& profile, ProfileEditorMode mode,
                   const std::function<void(ProfileEditorViewModel&)>& arrange = {}) {
    scenes().emplace(name, [=] {
        UiWorld world;
        world.editorState.prepare(profile, mode, {}, {});
        const auto editor = world.editor();
        if (arrange) {
            arrange(*editor);
        }
        ViewHarness view("ProfileEditorWindowView", editor.get());
        QQuickItem* body = view.find("editorBody");
        body->setProperty("contentY", body->property("contentHeight").toReal() - body->height());
        return view.grab();
    });
}

// "Only an application", among a few installed ones, scrolled to its card.
void applicationScene(const QString& name, const std::optional<ThrottleProfile>& profile,
                      ProfileEditorMode mode,
                      const std::function<void(ProfileEditorViewModel&)>& arrange) {
    scenes().emplace(name, [=] {
        ProfileEditorOpener opened;
        opened.install("org.mozilla.firefox", "Firefox", "firefox");
        opened.install("org.gimp.GIMP", "GNU Image Manipulation Program", "org.gimp.GIMP");
        opened.install("libreoffice-writer", "LibreOffice Writer", "libreoffice-writer");
        opened.install("com.slack.Slack", "Slack", "com.slack.Slack");
        opened.install("org.gnome.Terminal", "Terminal", "org.gnome.Terminal");
        opened.install("org.mozilla.Thunderbird", "Thunderbird", "org.mozilla.Thunderbird");
        opened.install("code-insiders", "Visual Studio Code - Insiders", "vscode-insiders");
        const auto editor = opened.open(profile, mode);
        editor->fields()->setAppliesTo(2);
        arrange(*editor);
        ViewHarness view("ProfileEditorWindowView", editor.get());
        // The card at the top, as far as the form scrolls.
        QQuickItem* body = view.find("editorBody");
        const QQuickItem* content = body->property("contentItem").value<QQuickItem*>();
        const qreal card = view.find("appliesTo")->mapToItem(content, QPointF(0, 0)).y() - 40;
        body->setProperty(
            "contentY", std::min(card, body->property("contentHeight").toReal() - body->height()));
        return view.grab();
    });
}

const bool editorScenesRegistered = [] {
    editorScene("editor-create-errors", std::nullopt, ProfileEditorMode::create,
                [](ProfileEditorViewModel& editor) {
                    editor.fields()->setHasLatency(true);
                    editor.actions()->saveProfile();
                });
    const ThrottleProfile cafe(QUuid::createUuid(), "Crowded cafe",
                               Bandwidth{3, BandwidthUnit::mbps},
                               Bandwidth{512, BandwidthUnit::kbps}, 120, 12.5, {}, false, true);
    editorScene("editor-edit", cafe, ProfileEditorMode::edit);
    // The advanced section opens by itself for a profile that uses it.
    ThrottleProfile train = cafe;
    train.name = "Train through tunnels";
    train.conditions.jitter = 40;
    train.conditions.packetLossCorrelationPercent = 25;
    train.conditions.reorderPercent = 2.5;
    train.conditions.duplicatePercent = 1;
    editorScene("editor-advanced", train, ProfileEditorMode::edit);
    editorScene("editor-delete-confirmation", cafe, ProfileEditorMode::edit,
                [](ProfileEditorViewModel& editor) { editor.actions()->requestDelete(); });
    ThrottleProfile api = cafe;
    api.name = "Slow API only";
    destinationsScene(api);
    ThrottleProfile calls = cafe;
    calls.name = "Slack calls";
    calls.application = "com.slack.Slack";
    applicationScene("editor-application", calls, ProfileEditorMode::edit,
                     [](ProfileEditorViewModel&) {});
    // None chosen on saving, and a search that finds none.
    applicationScene("editor-application-none", std::nullopt, ProfileEditorMode::create,
                     [](ProfileEditorViewModel& editor) {
                         editor.fields()->setName("Video calls");
                         editor.fields()->applications()->setSearchText("zoom");
                         editor.actions()->saveProfile();
                     });
    editorScene("editor-view-lte", preset("LTE"), ProfileEditorMode::edit);
    editorScene("editor-duplicate-3g", preset("3G"), ProfileEditorMode::duplicate);
    // The phases of a built-in schedule, one of them mistyped on saving.
    scheduleScene("editor-schedule-phases", preset("Commuter Train"), ProfileEditorMode::duplicate,
                  [](ProfileEditorViewModel& editor) {
                      editor.schedule()->setPhaseDuration(1, "0.05");
                      editor.actions()->saveProfile();
                  });
    // A recorded link's download, its rate rising and falling.
    ThrottleProfile recorded = cafe;
    recorded.name = "Recorded LTE drive";
    recorded.schedule.trace.stepMs = 100;
    for (int step = 0; step < 3'000; ++step) {
        recorded.schedule.trace.downloadBytesPerSecond.push_back(
            step % 600 < 60 ? 0 : 250'000 + step % 600 * 1'500);
    }
    scheduleScene("editor-schedule-trace", recorded, ProfileEditorMode::edit);
    return true;
}();

} // namespace
