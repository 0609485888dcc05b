// SPDX-License-Identifier: MIT
#include "AboutViewModel.h"

#include <gtest/gtest.h>

TEST(AboutViewModel, ShowsTheBuildsTextsOrTheFallbacks) {
    const QDate today(2031, 5, 4);

    const AboutViewModel set(QStringLiteral("2.3.1"), QStringLiteral("© 2019 Someone Else"), today);
    EXPECT_EQ(set.versionText(), QStringLiteral("Version 2.3.1"));
    // A packaged notice is never amended with a year or a suffix.
    EXPECT_EQ(set.copyrightText(), QStringLiteral("© 2019 Someone Else"));

    const AboutViewModel unset(QString(), QString(), today);
    EXPECT_EQ(unset.versionText(), QStringLiteral("Version 1.0.0"));
    EXPECT_EQ(unset.copyrightText(), QStringLiteral("© 2031 Veltrane. All rights reserved."));
}
