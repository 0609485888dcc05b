// SPDX-License-Identifier: MIT
#include "ApplicationUnitName.h"

#include <gtest/gtest.h>

namespace {

// "launcher|id", or "-" for a unit that names no application.
std::string read(const char* unit) {
    const auto parsed = ApplicationUnitName::parse(unit);
    return parsed ? parsed->launcher + "|" + parsed->desktopId : "-";
}

TEST(ApplicationUnitNameTest, EachDesktopsUnitsNameTheirApplication) {
    const struct {
        const char* unit;
        const char* read;
    } cases[] = {
        {"app-gnome-org.gnome.Terminal-4242.scope", "gnome|org.gnome.Terminal"},
        {"app-gnome-firefox\\x2desr-4242.scope", "gnome|firefox-esr"},
        {"app-flatpak-org.mozilla.firefox-4242.scope", "flatpak|org.mozilla.firefox"},
        {"app-org.kde.konsole-4242.scope", "|org.kde.konsole"},
        {"app-org.kde.dolphin@a1b2c3.service", "|org.kde.dolphin"},
        {"app-gnome-org.gnome.Nautilus@1.service", "gnome|org.gnome.Nautilus"},
        {"app-firefox.service", "|firefox"},
        {"app-org.gnome.Terminal.slice", "|org.gnome.Terminal"},
        // An id whose dashes a launcher left unescaped.
        {"app-gnome-firefox-esr-4242.scope", "gnome|firefox-esr"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(read(each.unit), each.read) << each.unit;
    }
}

TEST(ApplicationUnitNameTest, OtherUnitsAndMalformedNamesNameNone) {
    for (const char* unit :
         {"app.slice", "run-u12.scope", "session-2.scope", "dbus.service", "app-4242.scope",
          "app-gnome--4242.scope", "app-gnome-x-.scope", "app-evil\\x2f..-1.scope",
          "app-bad\\x2-1.scope", "app-nul\\x00-1.scope", "app-editor.socket", "app-"}) {
        EXPECT_EQ(read(unit), "-") << unit;
    }
}

// The scope a launch makes reads back as the application it was made for.
TEST(ApplicationUnitNameTest, AScopeNameReadsBackAsTheIdItWasMadeFor) {
    EXPECT_EQ(ApplicationUnitName::scopeName("veltrane", "my-tool", "42"),
              R"(app-veltrane-my\x2dtool-42.scope)");
    for (const char* id : {"org.example.A_b", "firefox-esr", "x+y"}) {
        EXPECT_EQ(ApplicationUnitName::parse(ApplicationUnitName::scopeName("veltrane", id, "7")),
                  (ApplicationUnitName{"veltrane", id}))
            << id;
    }
}

} // namespace
