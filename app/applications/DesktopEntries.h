// SPDX-License-Identifier: MIT
#pragma once

#include "DesktopEntry.h"

#include <QList>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

// The desktop entries installed for the user, looked up the freedesktop
// way: the applications folders in order of precedence, the first file of
// an id winning, where the id "kde4-foo" may also be the file kde4/foo.desktop.
class DesktopEntries final {
public:
    // `folders`: the applications folders, the one that wins first.
    // `locale`: the one to read names in, as DesktopEntry::parse takes it.
    DesktopEntries(QStringList folders, QString locale);

    // Of the user and locale that `environment` describes.
    static DesktopEntries fromEnvironment(
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment());
    // $XDG_DATA_HOME/applications (~/.local/share by default), then each of
    // $XDG_DATA_DIRS (/usr/local/share:/usr/share by default).
    static QStringList standardFolders(const QProcessEnvironment& environment);

    // The entry that wins for `desktopId`, whatever it says of itself
    // (a running application may have a hidden one); nothing when there is none.
    std::optional<DesktopEntry> find(const QString& desktopId) const;

    // What a person may start: the winning entry of each id that is an
    // application with a command, neither hidden (a user's Hidden entry
    // deletes the system's) nor kept out of menus. Sorted by name,
    // case-insensitively.
    QList<DesktopEntry> installed() const;

private:
    std::optional<DesktopEntry> read(const QString& path, const QString& id) const;

    QStringList m_folders;
    QString m_locale;
};
