// SPDX-License-Identifier: MIT
#include "SoftwareUpdateViewModel.h"

#include <gtest/gtest.h>

namespace {

AppcastItem update(const QString& displayVersion) {
    AppcastItem item;
    item.version = QStringLiteral("142");
    item.displayVersion = displayVersion;
    return item;
}

} // namespace

TEST(SoftwareUpdateViewModel, FollowsTheSessionThroughItsStages) {
    UpdateSession session(QStringLiteral("1.4.1"));
    const SoftwareUpdateViewModel model(session);
    int changes = 0;
    QObject::connect(&model, &SoftwareUpdateViewModel::changed, [&] { ++changes; });

    session.setStage(UpdateSession::Stage::checking);
    EXPECT_EQ(model.title(), QStringLiteral("Checking for updates…"));
    EXPECT_TRUE(model.showsProgress() && model.progressIsIndeterminate());
    EXPECT_EQ(model.dismissText(), QStringLiteral("Cancel"));

    // What the view shows of an update found and its download, its test checks.
    session.setUpdate(update(QStringLiteral("1.4.2")), QStringLiteral("<p>Faster</p>"));
    EXPECT_EQ(model.message(), QStringLiteral("Veltrane 1.4.2 is now available—you have 1.4.1. "
                                              "Would you like to download it now?"));
    session.setProgress(1'200'000, 5'000'000);
    EXPECT_DOUBLE_EQ(model.progress(), 0.24);
    EXPECT_FALSE(model.progressIsIndeterminate() || model.showsReleaseNotes());

    session.setStage(UpdateSession::Stage::upToDate);
    EXPECT_EQ(model.title(), QStringLiteral("You're up to date!"));
    EXPECT_EQ(model.message(),
              QStringLiteral("Veltrane 1.4.1 is currently the newest version available."));
    EXPECT_EQ(model.dismissText(), QStringLiteral("OK"));

    session.setError(QStringLiteral("The update is improperly signed and could not be validated."));
    EXPECT_EQ(model.title(), QStringLiteral("Update Error!"));
    EXPECT_EQ(model.message(),
              QStringLiteral("The update is improperly signed and could not be validated."));
    EXPECT_EQ(changes, 5);
}
