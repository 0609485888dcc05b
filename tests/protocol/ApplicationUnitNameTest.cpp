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

// What `veltranectl apply --pid` reads off a process's cgroup.
TEST(ApplicationUnitNameTest, AProcessesCgroupNamesTheApplicationOfItsUsersScopeOnly) {
    const std::string slice = "/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const struct {
        std::string cgroup;
        std::string read;
    } cases[] = {
        {slice + "app-gnome-org.gnome.Terminal-42.scope", "org.gnome.Terminal"},
        {slice + "app-org.gnome.Terminal.slice/vte-spawn-1.scope", "org.gnome.Terminal"},
        {slice + "app-flatpak-org.mozilla.firefox-7.scope/sub", "org.mozilla.firefox"},
        {slice.substr(1) + "app-firefox@x.service", "firefox"},
        {slice + "dbus.service", "! it is not in an application's scope of your systemd manager"},
        {slice + "misc.slice/other.slice/app-deep-1.scope",
         "! it is not in an application's scope of your systemd manager"},
        {"/user.slice/user-1000.slice/session-2.scope",
         "! it is not in an application's scope of your systemd manager"},
        {"/user.slice/user-1001.slice/user@1001.service/app.slice/app-x-1.scope",
         "! it is another user's"},
        {"/system.slice/cron.service",
         "! it is not in an application's scope of your systemd manager"},
    };
    for (const auto& each : cases) {
        std::string why;
        const auto parsed = ApplicationUnitName::ofCgroup(each.cgroup, 1000, why);
        EXPECT_EQ(parsed ? parsed->desktopId : "! " + why, each.read) << each.cgroup;
    }
}

} // namespace
