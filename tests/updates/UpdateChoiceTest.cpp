// SPDX-License-Identifier: MIT
#include "UpdateChoice.h"

#include "UserDefaults.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

Appcast feedOffering(const QByteArray& version) {
    return Appcast::parse(
        "<rss xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
        "<item><sparkle:version>" +
        version +
        "</sparkle:version><enclosure url=\"https://example.org/v.deb\" length=\"10\" "
        "type=\"application/vnd.debian.binary-package\"/></item></channel></rss>");
}

QString offered(const UpdateChoice& choice, const Appcast& feed, UpdateCheck check) {
    const std::optional<UpdateChoice::Offer> offer = choice.choose(feed, check);
    return offer ? offer->update.version : QStringLiteral("nothing");
}

} // namespace

TEST(UpdateChoiceTest, ASkippedVersionIsOfferedAgainOnlyWhenAskedForOrWhenANewerOneComes) {
    QTemporaryDir folder;
    UserDefaults defaults(folder.filePath("settings.json"));
    UpdateChoice choice(defaults, QStringLiteral("1.4.1"));
    const Appcast skipped = feedOffering("1.4.2");
    ASSERT_EQ(offered(choice, skipped, UpdateCheck::scheduled), "1.4.2");
    choice.skip(choice.choose(skipped, UpdateCheck::scheduled)->update);

    // Kept in the settings, for the next start.
    UserDefaults restarted(folder.filePath("settings.json"));
    const UpdateChoice later(restarted, QStringLiteral("1.4.1"));
    EXPECT_EQ(offered(later, skipped, UpdateCheck::scheduled), "nothing");
    EXPECT_EQ(offered(later, skipped, UpdateCheck::userInitiated), "1.4.2");
    EXPECT_EQ(offered(later, feedOffering("1.5"), UpdateCheck::scheduled), "1.5");
}
