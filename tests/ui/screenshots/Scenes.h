// SPDX-License-Identifier: MIT
#pragma once

#include <QImage>
#include <QString>

#include <functional>
#include <map>

// A scene builds one view in a chosen state and returns its picture; it runs
// once per appearance. Each view family registers its scenes in a file of
// its own with a static SceneRegistration.
using Scene = std::function<QImage()>;

std::map<QString, Scene>& scenes();

struct SceneRegistration {
    SceneRegistration(const QString& name, Scene scene) {
        scenes().emplace(name, std::move(scene));
    }
};
