// SPDX-License-Identifier: MIT
#include "CommandCgroup.h"

#include "CliError.h"
#include "SystemErrorText.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

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

} // namespace

CommandCgroup::CommandCgroup(pid_t pid) {
    struct statfs mounted {};
    if (::statfs(kRoot, &mounted) != 0 || mounted.f_type != CGROUP2_SUPER_MAGIC) {
        throw CliError::failure(kCannot + QString::fromLatin1(kRoot) +
                                QStringLiteral(" is not a cgroup v2 file system"));
    }
    const QString own = ownCgroup();
    m_path = (own.isEmpty() ? QString() : own + u'/') + QStringLiteral("veltrane-run-%1").arg(pid);
    const QByteArray folder = QByteArray(kRoot) + '/' + m_path.toUtf8();
    if (::mkdir(folder.constData(), 0755) != 0) {
        m_removed = true;
        throw CliError::failure(kCannot +
                                QStringLiteral("cannot make %1: %2")
                                    .arg(QString::fromUtf8(folder), systemErrorText(errno)));
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
        throw CliError::failure(kCannot +
                                QStringLiteral("cannot move the command into %1: %2")
                                    .arg(QString::fromUtf8(folder), systemErrorText(error)));
    }
}

CommandCgroup::~CommandCgroup() {
    remove();
}

std::optional<QString> CommandCgroup::remove() {
    if (m_removed) {
        return std::nullopt;
    }
    m_removed = true;
    const QByteArray folder = QByteArray(kRoot) + '/' + m_path.toUtf8();
    if (::rmdir(folder.constData()) != 0 && errno != ENOENT) {
        return QStringLiteral("Cannot remove the command's cgroup %1: %2")
            .arg(QString::fromUtf8(folder), systemErrorText(errno));
    }
    return std::nullopt;
}
