// SPDX-License-Identifier: MIT
#include "ControlFakes.h"
#include "HelperConnection.h"
#include "HelperOnPrivateBus.h"
#include "MenuBarViewModel.h"
#include "PanelWorld.h"
#include "SystemServiceRegistration.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;

namespace {

bool eventually(const std::function<bool()>& condition) {
    const QDeadlineTimer deadline(30'000);
    while (!condition() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return condition();
}

// The panel over the application's real throttle control, against the
// sandboxed daemon on a private bus: the helper answers asynchronously, as
// it does for the user.
TEST(PanelAgainstTheSandboxHelper, TheSwitchTurnsTheDaemonOnWithTheSelectionAndOffAgain) {
    HelperOnPrivateBus helper;
    SystemServicePaths paths;
    paths.bus = BusEndpoint(helper.bus().address());
    SystemServiceRegistration registration(paths);
    HelperConnection connection(registration, {BusEndpoint(helper.bus().address())});
    NotificationCenter notifications;
    ThrottleService service(connection, registration, notifications);
    QTemporaryDir home;
    UserDefaults defaults(home.filePath(QStringLiteral("settings.json")));
    ProfileManager profiles(defaults, home.path(), QString());
    profiles.loadBuiltInProfiles();
    ProfileEditorState editorState;
    FakeWindowNavigator navigator;
    MenuBarViewModel panel(service, profiles, editorState, defaults, notifications, navigator,
                           [] {});
    panel.appear();
    ASSERT_FALSE(panel.isToggleDisabled());

    panel.selectProfile(preset(QStringLiteral("3G")));
    panel.handleToggle(true);
    EXPECT_TRUE(panel.isLoading());
    ASSERT_TRUE(eventually([&] { return !panel.isLoading(); }));
    EXPECT_FALSE(panel.showingError()) << panel.errorMessage().toStdString();
    EXPECT_EQ(panel.statusText(), QStringLiteral("Active: 3G"));
    EXPECT_THAT(helper.tools().toolRuns(),
                Contains("dnctl pipe 1 config bw 97500Byte/s delay 50ms"));
    EXPECT_TRUE(finish(connection.getStatus()));

    panel.handleToggle(false);
    ASSERT_TRUE(eventually([&] { return !panel.isLoading(); }));
    EXPECT_FALSE(panel.isEnabled());
    EXPECT_EQ(helper.tools().toolRuns().back(), "dnctl -q flush");
    EXPECT_FALSE(finish(connection.getStatus()));
}

} // namespace
