// SPDX-License-Identifier: MIT
#include "Appcast.h"
#include "Ed25519Verifier.h"
#include "ReleaseNotes.h"
#include "TestSigningKey.h"
#include "VersionComparison.h"
#include "WhatThrows.h"

#include <gtest/gtest.h>

namespace {

QByteArray feed(const QByteArray& items) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/"
           "sparkle\">\n<channel><title>Veltrane</title><link>https://example.org/</link>\n" +
           items + "</channel></rss>\n";
}

QByteArray
item(const QByteArray& version,
     const QByteArray& enclosureAttributes = "url=\"https://example.org/v.deb\" length=\"10\"") {
    return "<item><sparkle:version>" + version + "</sparkle:version><enclosure " +
           enclosureAttributes + " type=\"application/vnd.debian.binary-package\"/></item>\n";
}

} // namespace

TEST(VersionComparison, OrdersNumbersNumericallyAndPreReleasesBeforeTheirRelease) {
    struct Case {
        const char16_t* older;
        const char16_t* newer;
    };
    for (const Case& c :
         {Case{u"1.9", u"1.10"}, Case{u"1.0", u"1.0.1"}, Case{u"1.2.3", u"1.2.10"},
          Case{u"1.0b1", u"1.0"}, Case{u"1.0a9", u"1.0B2"}, Case{u"1.0.0b1", u"1.0"},
          Case{u"1.0b1", u"1.0.1"}, Case{u"99999999999999999999", u"100000000000000000000"}}) {
        SCOPED_TRACE(QString::fromUtf16(c.older).toStdString());
        EXPECT_EQ(compareVersions(c.older, c.newer), std::strong_ordering::less);
        EXPECT_EQ(compareVersions(c.newer, c.older), std::strong_ordering::greater);
    }
    EXPECT_EQ(compareVersions(u"1.0", u"1.0.0"), std::strong_ordering::equal);
    EXPECT_EQ(compareVersions(u"2.01", u"2.1"), std::strong_ordering::equal);
}

TEST(Appcast, OffersTheNewestInstallableItemAboveTheRunningAndSkippedVersions) {
    const Appcast appcast = Appcast::parse(
        feed(item("1.9") + item("1.10") +
             // Newer, but nothing to install, or not for this system.
             "<item><sparkle:version>3.0</sparkle:version></item>\n" +
             item("2.5", "url=\"https://example.org/v.dmg\" length=\"10\" sparkle:os=\"macos\"") +
             item("2.0", "url=\"https://example.org/v.deb\" length=\"many\"") +
             // Older feeds carry the versions on the enclosure.
             "<item><title>One</title><enclosure url=\"https://example.org/1.2.deb\" length=\"7\" "
             "sparkle:version=\"1.2\" sparkle:shortVersionString=\"1.2 final\" "
             "sparkle:edSignature=\"c2ln\"/></item>\n"));

    ASSERT_EQ(appcast.items.size(), 6);
    EXPECT_EQ(appcast.link, QUrl(QStringLiteral("https://example.org/")));
    const AppcastItem& old = appcast.items.last();
    EXPECT_EQ(old.version, QStringLiteral("1.2"));
    EXPECT_EQ(old.displayVersion, QStringLiteral("1.2 final"));
    EXPECT_EQ(old.enclosure->length, 7);
    EXPECT_EQ(old.enclosure->edSignature, QByteArray("c2ln"));

    EXPECT_EQ(appcast.newestApplicableItem(u"1.0", u"")->version, QStringLiteral("1.10"));
    EXPECT_EQ(appcast.newestApplicableItem(u"1.0", u"1.9")->version, QStringLiteral("1.10"));
    EXPECT_FALSE(appcast.newestApplicableItem(u"1.0", u"1.10"));
    EXPECT_FALSE(appcast.newestApplicableItem(u"1.10", u""));
}

TEST(Appcast, ReportsWhatIsWrongWithADocumentThatIsNotAFeed) {
    for (const QByteArray& document :
         {QByteArray(), QByteArray("<rss><channel><item>"), QByteArray("<html></html>"),
          feed(item("1.1")).replace("</channel>", "</chanel>")}) {
        const std::string error = whatThrows([&] { Appcast::parse(document); });
        EXPECT_TRUE(error != "(no error)" && !error.empty()) << document.toStdString();
    }
    const std::string unclosed =
        whatThrows([] { Appcast::parse("<rss>\n<channel>\n<item></itm>"); });
    EXPECT_NE(unclosed.find("line 3"), std::string::npos) << unclosed;
}

TEST(ReleaseNotes, KeepSimpleMarkupAndDropEverythingThatRunsOrLoads) {
    EXPECT_EQ(
        ReleaseNotes::fromHtml(
            u"<html><head><title>x</title><style>p{}</style></head><body>"
            u"<h2 class=\"t\">New</h2><script>alert('<p>')</script>"
            u"<p onclick=\"steal()\">Faster <b>loss</b> &amp; <a href=\"https://x\">more</a>"
            u"<img src=\"https://tracker/p.png\"><IMG SRC=x></p><!-- <img src=y> -->"
            u"<ul><li>1 < 2</li></ul><iframe src=\"https://x\">framed</iframe></body></html>"),
        QStringLiteral("<h2>New</h2><p>Faster <b>loss</b> &amp; more</p><ul><li>1 &lt; "
                       "2</li></ul>"));
    EXPECT_EQ(ReleaseNotes::fromPlainText(u"  Fixed <b> & co\nThanks\n"),
              QStringLiteral("Fixed &lt;b&gt; &amp; co<br>Thanks"));
}

// Signed, mis-signed and unsigned packages are the updater's tests; here
// what a feed or a build could carry malformed.
TEST(Ed25519Verifier, RefusesMalformedSignaturesAndKeys) {
    const TestSigningKey key;
    const QByteArray package("package bytes");
    const Ed25519Verifier verifier(key.publicKey());
    ASSERT_TRUE(verifier.verify(package, key.sign(package)));
    EXPECT_FALSE(verifier.verify(package, key.sign(package).left(40)));
    EXPECT_FALSE(verifier.verify(package, "not base64!"));
    EXPECT_FALSE(Ed25519Verifier("").verify(package, key.sign(package)));
}
