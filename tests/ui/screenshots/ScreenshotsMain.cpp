// SPDX-License-Identifier: MIT
// Renders every registered scene offscreen, light and dark, into
// DIR/<scene>-<appearance>.png, at a desktop font of 13 pixels; some again at
// 16 pixels (-font125), or only those at twice the scale (-scale2). An optional second argument
// keeps only the scenes whose name contains it.
#include "Scenes.h"
#include "ViewHarness.h"

#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QScreen>
#include <QTextStream>

#include <exception>

std::map<QString, Scene>& scenes() {
    static std::map<QString, Scene> all;
    return all;
}

int main(int argc, char** argv) {
    ViewHarness::prepareApplication();
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList arguments = app.arguments();
    if (arguments.size() < 2 || arguments.size() > 3) {
        err << "usage: veltrane-screenshots DIR [SCENE-FILTER]\n";
        return 2;
    }
    const QDir directory(arguments.at(1));
    if (!directory.mkpath(QStringLiteral("."))) {
        err << "cannot create " << directory.path() << "\n";
        return 1;
    }
    if (!ViewHarness::fontsRender()) {
        err << "no usable font: text would render as boxes\n";
        return 1;
    }
    const QString filter = arguments.value(2);
    // The views that show most text, again at a desktop font a quarter larger
    // and, when the renderer runs under QT_SCALE_FACTOR=2, at twice the scale.
    const QStringList sizeScenes{"panel-on-3g-lossy",      "panel-on-live-figures",
                                 "panel-no-tray-window",   "editor-edit",
                                 "profile-list",           "settings-helper-error",
                                 "onboarding-1-install",   "about",
                                 "software-update",        "editor-destinations",
                                 "panel-on-several",       "panel-on-schedule",
                                 "editor-schedule-phases", "panel-applications",
                                 "panel-on-application",   "launch-throttled-refused",
                                 "editor-application"};
    const bool scaled = QGuiApplication::primaryScreen()->devicePixelRatio() > 1;
    struct Pass {
        int fontPixels;
        QString suffix;
        bool sizeScenesOnly;
    };
    const QList<Pass> passes =
        scaled ? QList<Pass>{{13, QStringLiteral("-scale2"), true}}
               : QList<Pass>{{13, QString(), false}, {16, QStringLiteral("-font125"), true}};
    int failures = 0;
    for (const Pass& pass : passes)
        for (const bool dark : {false, true}) {
            ViewHarness::useAppearance(dark);
            QFont font = QGuiApplication::font();
            font.setPixelSize(pass.fontPixels);
            QGuiApplication::setFont(font);
            for (const auto& [name, scene] : scenes()) {
                if (!name.contains(filter) || (pass.sizeScenesOnly && !sizeScenes.contains(name))) {
                    continue;
                }
                const QString file = directory.filePath(
                    name + pass.suffix +
                    (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png")));
                try {
                    if (!scene().save(file)) {
                        throw std::runtime_error("cannot write " + file.toStdString());
                    }
                    QTextStream(stdout) << file << "\n";
                } catch (const std::exception& error) {
                    err << name << ": " << error.what() << "\n";
                    ++failures;
                }
            }
        }
    return failures == 0 ? 0 : 1;
}
