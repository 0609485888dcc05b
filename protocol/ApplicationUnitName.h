// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string>
#include <string_view>

// The desktop application a unit of a user's systemd manager runs, read off
// the unit's name the way desktops name them: "app[-LAUNCHER]-ID-RANDOM.scope",
// "app[-LAUNCHER]-ID[@RANDOM].service" and "app[-LAUNCHER]-ID.slice", with
// the desktop id's own dashes escaped ("\x2d"). GNOME starts
// "app-gnome-org.gnome.Terminal-4242.scope", KDE Plasma
// "app-org.kde.dolphin@a1b2.service", Flatpak
// "app-flatpak-org.mozilla.firefox-4242.scope". Older launchers left the
// dashes of an id unescaped: with more parts than the form has, the first is
// taken as the launcher and the rest as the id.
struct ApplicationUnitName {
    // Empty when the desktop started it without saying who.
    std::string launcher;
    // The desktop id, unescaped: "org.gnome.Terminal", "firefox-esr".
    std::string desktopId;

    bool operator==(const ApplicationUnitName&) const = default;

    // Nothing for a unit that names no application: "app.slice",
    // "run-u12.scope", "session-2.scope", "dbus.service".
    static std::optional<ApplicationUnitName> parse(std::string_view unit);
    // The scope `launcher` starts for `desktopId`, told from its siblings by
    // `random` (which has no dash), with systemd's escapes.
    static std::string scopeName(std::string_view launcher, std::string_view desktopId,
                                 std::string_view random);

    // Where the systemd manager of `uid` runs its applications, below the
    // cgroup v2 hierarchy: "user.slice/user-UID.slice/user@UID.service/app.slice".
    static std::string applicationSliceOf(unsigned uid);
};
