// SPDX-License-Identifier: MIT
#include "ProcessCgroups.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

#include <algorithm>

namespace {

// Below every cgroup the processes are listed in this file.
const QString kProcs = QStringLiteral("cgroup.procs");

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

ProcessCgroups::ProcessCgroups(QString procRoot, QString hierarchy)
    : m_procRoot(std::move(procRoot))
    , m_hierarchy(std::move(hierarchy)) {}

QString ProcessCgroups::userManagerCgroup(uid_t uid) {
    return QStringLiteral("user.slice/user-%1.slice/user@%1.service").arg(uid);
}

std::optional<ApplicationCgroup> ProcessCgroups::applicationAt(const QString& cgroup,
                                                               const QString& managerCgroup) {
    if (managerCgroup.isEmpty() || !cgroup.startsWith(managerCgroup + u'/')) {
        return std::nullopt;
    }
    // Units sit in slices only: the first part below the manager that is no
    // slice is the unit, the rest is its own.
    const QStringList parts = cgroup.mid(managerCgroup.size() + 1).split(u'/');
    const auto unit = std::find_if(parts.begin(), parts.end(), [](const QString& part) {
        return !part.endsWith(QStringLiteral(".slice"));
    });
    if (unit == parts.end()) {
        return std::nullopt;
    }
    const std::optional<ApplicationUnitName> application =
        ApplicationUnitName::parse(unit->toStdString());
    if (!application) {
        return std::nullopt;
    }
    const QStringList upToUnit(parts.begin(), unit + 1);
    return ApplicationCgroup{*unit, managerCgroup + u'/' + upToUnit.join(u'/'), *application};
}

std::optional<QString> ProcessCgroups::cgroupOf(const QString& process) const {
    // One line per hierarchy; cgroup v2's is the one numbered 0 with no controllers.
    for (const QByteArray& line :
         readFile(m_procRoot + u'/' + process + QStringLiteral("/cgroup")).split('\n')) {
        if (line.startsWith("0::/")) {
            return QString::fromUtf8(line.mid(4));
        }
    }
    return std::nullopt;
}

std::optional<ProcessCgroup> ProcessCgroups::processCgroup(pid_t pid,
                                                           const QString& managerCgroup) const {
    const std::optional<QString> cgroup = cgroupOf(QString::number(pid));
    if (!cgroup) {
        return std::nullopt;
    }
    return ProcessCgroup{*cgroup, applicationAt(*cgroup, managerCgroup)};
}

QList<qint64> ProcessCgroups::pidsIn(const QString& cgroup) const {
    if (m_hierarchy.isEmpty()) {
        return {};
    }
    // Where a unit keeps cgroups of its own, its processes are in those.
    QStringList files;
    QDirIterator below(m_hierarchy + u'/' + cgroup, {kProcs}, QDir::Files,
                       QDirIterator::Subdirectories);
    while (below.hasNext()) {
        files << below.next();
    }
    QList<qint64> pids;
    for (const QString& file : std::as_const(files)) {
        for (const QByteArray& line : readFile(file).split('\n')) {
            bool isNumber = false;
            const qint64 pid = line.toLongLong(&isNumber);
            if (isNumber && pid > 0) {
                pids << pid;
            }
        }
    }
    std::sort(pids.begin(), pids.end());
    return pids;
}

QString ProcessCgroups::commandOf(qint64 pid) const {
    return QString::fromUtf8(readFile(m_procRoot + QStringLiteral("/%1/comm").arg(pid))).trimmed();
}
