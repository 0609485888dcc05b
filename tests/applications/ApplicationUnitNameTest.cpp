// SPDX-License-Identifier: MIT
#include "ApplicationUnitName.h"

#include <gtest/gtest.h>

namespace {

TEST(ApplicationUnitNameTest, DesktopsUnitNamesGiveTheLauncherAndTheUnescapedDesktopId) {
    const struct {
        const char* unit;
        const char* launcher;
        const char* desktopId;
    } named[] = {
        {"app-gnome-org.gnome.Terminal-12345.scope", "gnome", "org.gnome.Terminal"},
        {R"(app-gnome-firefox\x2desr-4242.scope)", "gnome", "firefox-esr"},
        {"app-org.kde.konsole-12345.scope", "", "org.kde.konsole"},
        {"app-org.kde.dolphin@a1b2c3.service", "", "org.kde.dolphin"},
        {"app-firefox@0f1e2d.service", "", "firefox"},
        {"app-gnome-org.gnome.Nautilus@x1.service", "gnome", "org.gnome.Nautilus"},
        {"app-flatpak-org.mozilla.firefox-12345.scope", "flatpak", "org.mozilla.firefox"},
        {"app-myapp-1.scope", "", "myapp"},
        {"app-myapp.scope", "", "myapp"},
        {R"(app-caf\xc3\xa9-9.scope)", "", "café"},
    };
    for (const auto& unit : named) {
        SCOPED_TRACE(unit.unit);
        const std::optional<ApplicationUnitName> name =
            ApplicationUnitName::parse(QString::fromUtf8(unit.unit));
        ASSERT_TRUE(name.has_value());
        EXPECT_EQ(name->launcher, QString::fromUtf8(unit.launcher));
        EXPECT_EQ(name->desktopId, QString::fromUtf8(unit.desktopId));
    }
}

TEST(ApplicationUnitNameTest, OtherUnitsAndMalformedNamesAreNoApplications) {
    for (const char* unit :
         {"run-u12.scope", "session-2.scope", "dbus.service", "app.slice",
          "app-org.kde.konsole.slice", "app-.scope", "app--x-1.scope", "app-a-b-c-1.scope",
          "app-a-b-c.service", "app-foo@.service", "app-foo@1.scope", R"(app-x\x2-1.scope)",
          R"(app-x\y41-1.scope)", "app-has space-1.scope", "application-foo-1.scope",
          // An id is a file name in the applications folders: none leads out.
          R"(app-\x2e\x2e\x2fetc\x2fpasswd-1.scope)", R"(app-a\x2fb-1.scope)"}) {
        EXPECT_EQ(ApplicationUnitName::parse(QString::fromUtf8(unit)), std::nullopt) << unit;
    }
}

TEST(ApplicationUnitNameTest, AScopeNameReadsBackAsTheIdItWasMadeFor) {
    const QString scope = ApplicationUnitName::scopeName(
        QStringLiteral("veltrane"), QStringLiteral("my-tool"), QStringLiteral("42"));
    EXPECT_EQ(scope, QStringLiteral(R"(app-veltrane-my\x2dtool-42.scope)"));
    for (const QString& id : {QStringLiteral(".hidden-app"), QStringLiteral("café éditeur"),
                              QStringLiteral("org.example.A_b:c")}) {
        const auto name = ApplicationUnitName::parse(
            ApplicationUnitName::scopeName(QStringLiteral("veltrane"), id, QStringLiteral("7")));
        EXPECT_EQ(name, (ApplicationUnitName{QStringLiteral("veltrane"), id})) << id.toStdString();
    }
}

} // namespace
