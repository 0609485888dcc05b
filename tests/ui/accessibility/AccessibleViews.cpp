// SPDX-License-Identifier: MIT
// The panel (throttling on, with a custom profile), the profile editor
// (editing that profile, kept to an application chosen from a list of the
// installed ones, asking whether to delete it) and a second panel showing its
// list of running applications, each in a window of its own, for a screen
// reader's client to walk. It prints "ready" once all are on screen and runs
// until its standard input closes, or for a minute at most, so that a test that dies never leaves
// it behind.
#include "ProfileEditorOpener.h"
#include "ViewHarness.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

int main(int argc, char** argv) {
    ViewHarness::prepareApplication();
    ViewTestApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("veltrane-accessible-views"));

    ProfileEditorOpener opened;
    UiWorld& world = opened.world;
    const ThrottleProfile custom = world.addCustom(QStringLiteral("Hotel Wi-Fi"));
    const auto panelModel = world.panel();
    panelModel->selectProfile(custom);
    panelModel->handleToggle(true);
    opened.install(QStringLiteral("org.mozilla.firefox"), "Firefox");
    opened.install(QStringLiteral("com.slack.Slack"), "Slack");
    const auto editorModel = opened.open(custom, ProfileEditorMode::edit);
    editorModel->fields()->setAppliesTo(2);
    editorModel->fields()->setApplication(QStringLiteral("com.slack.Slack"));
    editorModel->actions()->requestDelete();

    ViewHarness panel(QStringLiteral("MenuBarView"), panelModel.get());
    panel.window().setTitle(QStringLiteral("Veltrane"));
    world.runApplication(QStringLiteral("com.slack.Slack"), QStringLiteral("Slack"));
    const auto picking = world.panel();
    picking->applications()->openPicker();
    ViewHarness applications(QStringLiteral("MenuBarView"), picking.get());
    applications.window().setTitle(QStringLiteral("Applications"));
    ViewHarness editor(QStringLiteral("ProfileEditorWindowView"), editorModel.get());
    editor.window().setTitle(QStringLiteral("Profile Editor"));
    // In front, as the panel opens it: its focus is what a screen reader reads first.
    editor.window().requestActivate();

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            app.quit();
        }
    });
    QTimer::singleShot(std::chrono::minutes(1), &app, &QCoreApplication::quit);

    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
