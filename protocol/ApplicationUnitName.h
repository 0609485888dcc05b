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

    // Nothing for a unit that names no application: "app.slice",
    // "run-u12.scope", "session-2.scope", "dbus.service".
    static std::optional<ApplicationUnitName> parse(std::string_view unit);

    // Where the systemd manager of `uid` runs its applications, below the
    // cgroup v2 hierarchy: "user.slice/user-UID.slice/user@UID.service/app.slice".
    static std::string applicationSliceOf(unsigned uid);
    // The application whose scope, or a process in it, has the cgroup
    // `path` (below the hierarchy, with or without a leading slash), when
    // it lies in `uid`'s application slice, in a unit named for an
    // application there or in a slice there; otherwise nothing, and why in
    // `why`.
    static std::optional<ApplicationUnitName> ofCgroup(std::string_view path, unsigned uid,
                                                       std::string& why);
};
