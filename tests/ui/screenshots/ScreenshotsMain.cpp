// SPDX-License-Identifier: MIT
// Renders every registered scene offscreen, light and dark, into
// DIR/<scene>-<appearance>.png. An optional second argument keeps only the
// scenes whose name contains it.
#include "Scenes.h"
#include "ViewHarness.h"

#include <QDir>
#include <QGuiApplication>
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
    int failures = 0;
    for (const bool dark : {false, true}) {
        ViewHarness::useAppearance(dark);
        for (const auto& [name, scene] : scenes()) {
            if (!name.contains(filter)) {
                continue;
            }
            const QString file = directory.filePath(
                name + (dark ? QStringLiteral("-dark.png") : QStringLiteral("-light.png")));
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
