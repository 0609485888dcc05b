// SPDX-License-Identifier: MIT
#include "CommandCgroup.h"

#include "CgroupV2Mount.h"
#include "CliError.h"
#include "SystemErrorText.h"
#include "TransientScopeCall.h"

#include <QByteArray>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A bus call, and the move of the process into its scope, take this long
// at most.
constexpr int kScopeTimeoutMs = 5000;

constexpr const char* kCgroupPrefix = "veltrane-run-";

const QString kCannot = QStringLiteral("Cannot give the command a cgroup of its own: ");

// This process's cgroup below the root, "" for the root itself.
QString ownCgroup() {
    QFile file(QStringLiteral("/proc/self/cgroup"));
    if (!file.open(QIODevice::ReadOnly)) {
        throw CliError::failure(kCannot + QStringLiteral("cannot read /proc/self/cgroup: ") +
                                file.errorString());
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("0::/")) {
            return QString::fromUtf8(line.mid(4));
        }
    }
    throw CliError::failure(kCannot + QStringLiteral("this process is in no cgroup v2"));
}

// Whether the process `pid` is gone, or has ended and waits only to be
// reaped.
bool isGone(pid_t pid) {
    if (::kill(pid, 0) != 0) {
        return errno == ESRCH;
    }
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(')');
    return end >= 0 && line.mid(end + 2, 1) == "Z";
}

// Removes the cgroups that a run killed before it could left below
// `folder`: each is named after its command, and is left once that command
// is gone. The kernel removes only an empty cgroup, so a command's
// descendants still running keep theirs.
void sweepLeftovers(const QByteArray& folder) {
    DIR* listing = ::opendir(folder.constData());
    if (listing == nullptr) {
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const QByteArray name(entry->d_name);
        if (!name.startsWith(kCgroupPrefix)) {
            continue;
        }
        bool isNumber = false;
        const pid_t command = name.mid(qsizetype(std::strlen(kCgroupPrefix))).toInt(&isNumber);
        if (isNumber && command > 0 && isGone(command)) {
            ::rmdir((folder + '/' + name).constData());
        }
    }
    ::closedir(listing);
}

// The cgroup of the process `pid` below the root, or nothing.
std::optional<QString> cgroupOf(pid_t pid) {
    QFile file(QStringLiteral("/proc/%1/cgroup").arg(pid));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("0::/")) {
            return QString::fromUtf8(line.mid(4));
        }
    }
    return std::nullopt;
}

} // namespace

CommandCgroup::CommandCgroup(pid_t pid) {
    const std::optional<QByteArray> root = CgroupV2Mount::find(kMountPoint);
    if (!root) {
        throw CliError::failure(
            kCannot + QStringLiteral("neither %1 nor %1/unified is a cgroup v2 file system")
                          .arg(QString::fromLatin1(kMountPoint)));
    }
    m_root = *root;
    const std::optional<QString> noScope = startScope(pid);
    if (!noScope) {
        return;
    }
    if (const std::optional<QString> noCgroup = makeBelowOwn(pid)) {
        throw CliError::failure(kCannot + *noScope + QStringLiteral("; and ") + *noCgroup);
    }
}

std::optional<QString> CommandCgroup::startScope(pid_t pid) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return QStringLiteral("no session bus to ask systemd's user manager for a scope");
    }
    const QString unit = QStringLiteral("veltrane-run-%1.scope").arg(pid);
    const QDBusMessage call = transientScopeCall(
        unit, pid, QStringLiteral("A command throttled by veltranectl run --only"));
    const QDBusMessage reply = bus.call(call, QDBus::Block, kScopeTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage) {
        return QStringLiteral("systemd's user manager made no scope (%1)")
            .arg(reply.errorMessage());
    }
    // The move is the start job's: the scope is in force once the process
    // is in it.
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < kScopeTimeoutMs) {
        const std::optional<QString> now = cgroupOf(pid);
        if (now && now->endsWith(u'/' + unit)) {
            m_path = *now;
            // systemd removes it once empty.
            m_removed = true;
            return std::nullopt;
        }
        QThread::msleep(5);
    }
    return QStringLiteral("systemd's user manager did not move the command into %1 in time")
        .arg(unit);
}

std::optional<QString> CommandCgroup::makeBelowOwn(pid_t pid) {
    const QString own = ownCgroup();
    sweepLeftovers(m_root + '/' + own.toUtf8());
    m_path = (own.isEmpty() ? QString() : own + u'/') + QString::fromLatin1(kCgroupPrefix) +
             QString::number(pid);
    const QByteArray folder = m_root + '/' + m_path.toUtf8();
    if (::mkdir(folder.constData(), 0755) != 0) {
        m_removed = true;
        return QStringLiteral("cannot make %1: %2")
            .arg(QString::fromUtf8(folder), systemErrorText(errno));
    }
    const QByteArray procs = folder + "/cgroup.procs";
    const QByteArray number = QByteArray::number(pid);
    const int fd = ::open(procs.constData(), O_WRONLY | O_CLOEXEC);
    const bool moved =
        fd >= 0 && ::write(fd, number.constData(), size_t(number.size())) == number.size();
    const int error = errno;
    if (fd >= 0) {
        ::close(fd);
    }
    if (!moved) {
        remove();
        return QStringLiteral("cannot move the command into %1: %2")
            .arg(QString::fromUtf8(folder), systemErrorText(error));
    }
    return std::nullopt;
}

CommandCgroup::~CommandCgroup() {
    remove();
}

std::optional<QString> CommandCgroup::remove() {
    if (m_removed) {
        return std::nullopt;
    }
    m_removed = true;
    const QByteArray folder = m_root + '/' + m_path.toUtf8();
    if (::rmdir(folder.constData()) != 0 && errno != ENOENT) {
        return QStringLiteral("Cannot remove the command's cgroup %1: %2")
            .arg(QString::fromUtf8(folder), systemErrorText(errno));
    }
    return std::nullopt;
}
