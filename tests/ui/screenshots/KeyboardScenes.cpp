// SPDX-License-Identifier: MIT
// The panel with more profiles than a small screen holds, and the focus
// ring where the keyboard has left it.
#include "PanelWindow.h"
#include "Scenes.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QTest>

#include <functional>

namespace {

// A 1366×768 screen with a 28-pixel top bar, the tray icon near its right end.
int smallScreenPanelHeight() {
    return panelMaximumHeight(QRect(1250, 0, 24, 28), QRect(0, 28, 1366, 740));
}

// 33 profiles: the thirteen built-in ones and twenty of the user's.
void addTwentyProfiles(UiWorld& world) {
    for (int i = 1; i <= 20; ++i) {
        world.addCustom(QStringLiteral("Site visit %1").arg(i, 2, 10, QLatin1Char(u'0')));
    }
}

void pressKeys(QQuickView& window, const QList<Qt::Key>& keys) {
    for (const Qt::Key key : keys) {
        QTest::keyClick(&window, key);
    }
}

void longPanelScene(const QString& name, const QList<Qt::Key>& keys) {
    scenes().emplace(name, [keys] {
        UiWorld world;
        addTwentyProfiles(world);
        const auto panel = world.panel();
        panel->selectProfile(world.named("LTE"));
        panel->handleToggle(true);
        ViewHarness view("MenuBarView", {{"viewModel", QVariant::fromValue(panel.get())},
                                         {"maximumHeight", smallScreenPanelHeight()}});
        pressKeys(view.window(), keys);
        return view.grab(400);
    });
}

const bool keyboardScenesRegistered = [] {
    longPanelScene("panel-30-profiles", {});
    // Down goes to the selected row, then on down the list, which scrolls.
    QList<Qt::Key> down(18, Qt::Key_Down);
    longPanelScene("panel-30-profiles-keyboard", down);
    longPanelScene("panel-focus-switch", {Qt::Key_Tab});

    scenes().emplace("editor-focus-unit", [] {
        UiWorld world;
        const ThrottleProfile custom = world.addCustom("Hotel");
        world.editorState.prepare(custom, ProfileEditorMode::edit, {}, {});
        const auto editor = world.editor();
        ViewHarness view("ProfileEditorWindowView", editor.get());
        // Past the close button, the name and the download switch and field.
        pressKeys(view.window(),
                  {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab});
        return view.grab(400);
    });
    return true;
}();

} // namespace
