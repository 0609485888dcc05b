// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <optional>

// The application that a desktop started a unit of the user's manager for,
// read from the unit's name as systemd's desktop naming has it:
// app[-<launcher>]-<ApplicationID>[@<RANDOM>].service and
// app[-<launcher>]-<ApplicationID>[-<RANDOM>].scope, where the application
// id is a desktop entry's id with systemd's unit name escapes (its own
// dashes as \x2d), so that a raw dash only ever separates the parts.
struct ApplicationUnitName {
    // Who started it ("gnome", "flatpak"), empty when the name does not say.
    QString launcher;
    // The desktop entry's id, unescaped: "firefox-esr" for firefox\x2desr.
    QString desktopId;

    bool operator==(const ApplicationUnitName&) const = default;

    // Nothing for every other unit (session-2.scope, run-u12.scope,
    // app.slice) and for a malformed name.
    static std::optional<ApplicationUnitName> parse(const QString& unitName);

    // The scope `launcher` starts for `desktopId`, unique by `random` (which
    // has no dash).
    static QString scopeName(const QString& launcher, const QString& desktopId,
                             const QString& random);
};
