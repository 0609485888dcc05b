// SPDX-License-Identifier: MIT
#include "AutoDisableSettingsModel.h"

#include "NotificationNames.h"
#include "SettingsKeys.h"
#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

TEST(AutoDisableSettingsModel, ChangesAreStoredAndAnnounced) {
    UiWorld world;
    AutoDisableSettingsModel model(world.defaults, world.notifications);
    const auto lastPosted = [&world](const QString& name) {
        return world.posted.empty() || world.posted.back().first != name
                   ? QVariantMap()
                   : world.posted.back().second;
    };
    const QString changed = NotificationName::autoDisableSettingChanged;
    EXPECT_EQ(model.durationText(), "30 minutes");

    model.setEnabled(true);
    EXPECT_EQ(lastPosted(changed), (QVariantMap{{"enabled", true}, {"minutes", 30}}));

    model.selectDuration(static_cast<int>(model.durationChoices().indexOf("1 hour")));
    EXPECT_EQ(world.defaults.value(SettingsKeys::autoDisableMinutes), 60);
    EXPECT_EQ(lastPosted(changed), (QVariantMap{{"enabled", true}, {"minutes", 60}}));
    // Choosing the duration already set changes nothing and says nothing.
    const std::size_t posts = world.posted.size();
    model.selectDuration(model.durationIndex());
    EXPECT_EQ(world.posted.size(), posts);

    model.setEnabled(false);
    EXPECT_FALSE(world.defaults.boolValue(SettingsKeys::autoDisableEnabled));
    EXPECT_EQ(lastPosted(changed), (QVariantMap{{"enabled", false}, {"minutes", 60}}));

    // A duration written by hand is shown as it is, not as a choice.
    world.defaults.setValue(SettingsKeys::autoDisableMinutes, 45);
    EXPECT_EQ(model.durationIndex(), -1);
    EXPECT_EQ(model.durationText(), "45 minutes");
}

} // namespace
