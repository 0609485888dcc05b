// SPDX-License-Identifier: MIT
#include "NotificationTapRouter.h"

#include "AppFakes.h"
#include "NotificationCenter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::ElementsAre;

namespace {

// The identifiers and the name are spelled out: they are what the desktop
// and the updater see.
TEST(NotificationTapRouterTest, TheHelpersOpensTheSettingsTheUpdatesShowsItTheOthersOnlyInform) {
    FakeWindowNavigator windows;
    NotificationCenter notifications;
    QStringList posted;
    QObject::connect(&notifications, &NotificationCenter::posted,
                     [&posted](const QString& name) { posted << name; });
    NotificationTapRouter router(windows, notifications);
    for (const char* identifier :
         {"auto-disable-warning", "helper-not-installed", "sparkle-update-available"}) {
        router.tapped(QString::fromLatin1(identifier));
    }
    EXPECT_THAT(windows.opened, ElementsAre("settings"));
    EXPECT_THAT(posted, ElementsAre("SparkleUpdateNotificationTapped"));
}

} // namespace
