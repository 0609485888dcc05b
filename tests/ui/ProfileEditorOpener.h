// SPDX-License-Identifier: MIT
#pragma once

#include "ProfileStoreActions.h"
#include "UiWorld.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <memory>
#include <optional>
#include <stdexcept>

// Opens the profile editor as the panel and the profile list do: a save is
// recorded and answered as `answer` says, a delete goes to the store. The
// applications it offers are those installed into the world's folder.
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
        return std::make_unique<ProfileEditorViewModel>(
            world.editorState, world.profiles, world.navigator,
            DesktopEntries({world.applicationsFolder}, QStringLiteral("C")));
    }

    // An entry of an application that can be started.
    void install(const QString& desktopId, const QByteArray& name, const QByteArray& icon = {}) {
        // For the Qt tests' programs as well as GoogleTest's: a failure throws.
        QFile file(world.applicationsFolder + u'/' + desktopId + QStringLiteral(".desktop"));
        const QByteArray text =
            "[Desktop Entry]\nType=Application\nName=" + name + "\nIcon=" + icon + "\nExec=run\n";
        if (!QDir().mkpath(world.applicationsFolder) || !file.open(QIODevice::WriteOnly) ||
            file.write(text) != text.size()) {
            throw std::runtime_error("cannot write " + file.fileName().toStdString());
        }
    }

    UiWorld world;
    QList<ThrottleProfile> saved;
    // What the store makes of a save.
    ProfileEditorState::Action answer = [](const ThrottleProfile& p) {
        return ProfileChange::done(p);
    };
};
