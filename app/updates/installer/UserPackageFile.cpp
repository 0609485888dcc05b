// SPDX-License-Identifier: MIT
#include "UserPackageFile.h"

#include "InstallRefusal.h"
#include "SystemErrorText.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

FileDescriptor openPackage(const QString& path, qint64 maxBytes) {
    if (!QDir::isAbsolutePath(path)) {
        throw InstallRefusal{InstallStatus::usage,
                             QStringLiteral("%1 is not an absolute path").arg(path)};
    }
    // Non-blocking and no controlling terminal: a FIFO or a device must not
    // hold root here before fstat has refused it.
    FileDescriptor fd(::open(QFile::encodeName(path).constData(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        throw InstallRefusal{
            InstallStatus::unusablePackageFile,
            error == ELOOP
                ? QStringLiteral("%1 is a symbolic link").arg(path)
                : QStringLiteral("cannot open %1: %2").arg(path, systemErrorText(error))};
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        throw InstallRefusal{InstallStatus::unusablePackageFile,
                             QStringLiteral("%1 is not a regular file").arg(path)};
    }
    if (status.st_size > maxBytes) {
        throw InstallRefusal{
            InstallStatus::unusablePackageFile,
            QStringLiteral("%1 is larger than %2 MiB").arg(path).arg(maxBytes / (1024 * 1024))};
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

} // namespace

UserPackageFile::UserPackageFile(const QString& path, qint64 maxBytes)
    : m_path(path)
    , m_fd(openPackage(path, maxBytes)) {}
