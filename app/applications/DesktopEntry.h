// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>
#include <QString>

// What an application's desktop entry file says of it, from its
// [Desktop Entry] group; the other groups (actions, a desktop's own) are
// not the application's.
struct DesktopEntry {
    // The desktop id: the file's path below its applications folder, with
    // slashes as dashes and without ".desktop".
    QString id;
    // The file it was read from.
    QString path;
    QString type;
    // In the reader's locale where the entry has it.
    QString name;
    QString icon;
    // With the value escapes undone; the command line's own quoting and
    // field codes are still there (DesktopExec reads them).
    QString exec;
    bool noDisplay = false;
    // The entry counts as deleted.
    bool hidden = false;

    bool operator==(const DesktopEntry&) const = default;

    // `locale` as the environment gives it: lang_COUNTRY.ENCODING@MODIFIER,
    // any part but lang left out.
    static DesktopEntry parse(const QByteArray& text, const QString& locale);
};
