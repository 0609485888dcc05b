// SPDX-License-Identifier: MIT
#include "RootCacheFolder.h"

#include "InstallRefusal.h"
#include "SystemErrorText.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

InstallRefusal unusable(const QString& path, const QString& why) {
    return {InstallStatus::cacheFolderUnusable, RootCacheFolder::refusal(path, why)};
}

// A folder of this user's that nobody else may change: made when missing,
// refused when it is a link, not a folder or someone else's.
FileDescriptor openOwnFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        throw unusable(path, QStringLiteral("cannot be made: ") + systemErrorText(errno));
    }
    FileDescriptor fd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        throw unusable(path, errno == ELOOP || errno == ENOTDIR
                                 ? QStringLiteral("is not a folder")
                                 : QStringLiteral("cannot be opened: ") + systemErrorText(errno));
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || status.st_uid != ::geteuid()) {
        throw unusable(path, QStringLiteral("belongs to another user"));
    }
    // Only its owner, this user, can have loosened it.
    if ((status.st_mode & 07777) != 0700 && ::fchmod(fd.get(), 0700) != 0) {
        throw unusable(path, QStringLiteral("cannot be closed to others"));
    }
    return fd;
}

// The folder's own parent must not let another user swap the folder.
FileDescriptor openCacheFolder(const QString& path) {
    const QString parent = QFileInfo(path).path();
    const QByteArray native = QFile::encodeName(parent);
    if (::mkdir(native.constData(), 0755) != 0 && errno != EEXIST) {
        throw unusable(parent, QStringLiteral("cannot be made: ") + systemErrorText(errno));
    }
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid() || (status.st_mode & 022) != 0) {
        throw unusable(parent, QStringLiteral("is not a folder only this user changes"));
    }
    return openOwnFolder(path);
}

} // namespace

RootCacheFolder::RootCacheFolder(const QString& path)
    : m_path(path)
    , m_fd(openCacheFolder(path)) {}

QString RootCacheFolder::refusal(const QString& path, const QString& why) {
    return QStringLiteral("the update folder %1 %2").arg(path, why);
}
