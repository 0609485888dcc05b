// SPDX-License-Identifier: MIT
#pragma once

#include "FakeUserManager.h"
#include "PrivateBus.h"
#include "RunningApplications.h"
#include "SystemdUserUnits.h"
#include "WaitUntil.h"
#include "WriteFile.h"

#include <QTemporaryDir>

inline QStringList namesOf(const QList<RunningApplication>& applications) {
    QStringList names;
    for (const RunningApplication& application : applications) {
        names << application.name;
    }
    return names;
}

// A user's session: systemd's user manager on a private session bus, and
// what the kernel and the installed desktop entries would show as files.
struct UserManagerSession {
    // Connections of one name are one: each session's have names of their own.
    static QString connectionName(const char* role) {
        static int sessions = 0;
        return QStringLiteral("%1-%2").arg(QString::fromLatin1(role)).arg(++sessions);
    }

    PrivateBus bus{QList<PrivateBus::Service>{}};
    QTemporaryDir files;
    const QString hierarchy = files.filePath(QStringLiteral("cgroup"));
    const QString proc = files.filePath(QStringLiteral("proc"));
    const QString applications = files.filePath(QStringLiteral("applications"));
    FakeUserManager manager{bus.connect(connectionName("manager")), hierarchy, proc};
    SystemdUserUnits units{bus.connect(connectionName("panel"))};
    RunningApplications running{units, DesktopEntries({applications}, QStringLiteral("C")),
                                ProcessCgroups(proc, hierarchy)};

    void install(const QString& id, const QByteArray& name, const QByteArray& icon = {}) {
        writeFile(applications + u'/' + id + QStringLiteral(".desktop"),
                  "[Desktop Entry]\nType=Application\nName=" + name + "\nIcon=" + icon + '\n');
    }
    void own(const QString& process, const QByteArray& file, const QByteArray& text) {
        writeFile(proc + u'/' + process + u'/' + QString::fromLatin1(file), text);
    }
    QStringList names() const { return namesOf(running.applications()); }
    bool startAndLoad() {
        running.start();
        return waitUntil([this] { return running.isLoaded(); });
    }
};
