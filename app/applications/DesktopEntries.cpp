// SPDX-License-Identifier: MIT
#include "DesktopEntries.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>

namespace {

const QString kSuffix = QStringLiteral(".desktop");

// The file of `name` in `folder`, trying each dash of it as a subfolder.
std::optional<QString> locate(const QString& folder, const QString& name) {
    const QString file = folder + u'/' + name + kSuffix;
    if (QFileInfo(file).isFile()) {
        return file;
    }
    for (qsizetype dash = name.indexOf(u'-'); dash >= 0; dash = name.indexOf(u'-', dash + 1)) {
        const QString subfolder = name.left(dash);
        // Not "..": an id never leads out of the folder.
        if (subfolder.isEmpty() || subfolder.startsWith(u'.') ||
            !QFileInfo(folder + u'/' + subfolder).isDir()) {
            continue;
        }
        if (std::optional<QString> found = locate(folder + u'/' + subfolder, name.mid(dash + 1))) {
            return found;
        }
    }
    return std::nullopt;
}

// An absolute folder of an XDG variable, or the default: relative ones are
// to be ignored.
QStringList absoluteFolders(const QString& value, const QStringList& fallback) {
    QStringList folders;
    for (const QString& folder : value.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(folder)) {
            folders << folder;
        }
    }
    return folders.isEmpty() ? fallback : folders;
}

} // namespace

DesktopEntries::DesktopEntries(QStringList folders, QString locale)
    : m_folders(std::move(folders))
    , m_locale(std::move(locale)) {}

DesktopEntries DesktopEntries::fromEnvironment(const QProcessEnvironment& environment) {
    // The locale of messages, which desktop entries are translated for.
    QString locale;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = environment.value(QString::fromLatin1(name));
        if (!locale.isEmpty()) {
            break;
        }
    }
    return DesktopEntries(standardFolders(environment), locale);
}

QStringList DesktopEntries::standardFolders(const QProcessEnvironment& environment) {
    const QString home = environment.value(QStringLiteral("HOME"));
    QStringList dataFolders = absoluteFolders(
        environment.value(QStringLiteral("XDG_DATA_HOME")),
        home.isEmpty() ? QStringList() : QStringList{home + QStringLiteral("/.local/share")});
    dataFolders << absoluteFolders(
        environment.value(QStringLiteral("XDG_DATA_DIRS")),
        {QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share")});
    QStringList folders;
    for (const QString& folder : std::as_const(dataFolders)) {
        folders << folder + QStringLiteral("/applications");
    }
    return folders;
}

std::optional<DesktopEntry> DesktopEntries::read(const QString& path, const QString& id) const {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    DesktopEntry entry = DesktopEntry::parse(file.readAll(), m_locale);
    entry.id = id;
    entry.path = path;
    return entry;
}

std::optional<DesktopEntry> DesktopEntries::find(const QString& desktopId) const {
    if (desktopId.isEmpty() || desktopId.contains(u'/')) {
        return std::nullopt;
    }
    for (const QString& folder : m_folders) {
        if (const std::optional<QString> path = locate(folder, desktopId)) {
            if (std::optional<DesktopEntry> entry = read(*path, desktopId)) {
                return entry;
            }
        }
    }
    return std::nullopt;
}

QList<DesktopEntry> DesktopEntries::installed() const {
    QSet<QString> seen;
    QList<DesktopEntry> entries;
    for (const QString& folder : m_folders) {
        const QDir root(folder);
        QDirIterator files(folder, {QStringLiteral("*") + kSuffix}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QString id = root.relativeFilePath(path);
            id.chop(kSuffix.size());
            id.replace(u'/', u'-');
            if (seen.contains(id)) {
                continue;
            }
            seen.insert(id);
            const std::optional<DesktopEntry> entry = read(path, id);
            if (entry && entry->type == QStringLiteral("Application") && !entry->hidden &&
                !entry->noDisplay && !entry->exec.isEmpty()) {
                entries << *entry;
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [](const DesktopEntry& a, const DesktopEntry& b) {
        const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
        return byName != 0 ? byName < 0 : a.id < b.id;
    });
    return entries;
}
