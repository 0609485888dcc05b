// SPDX-License-Identifier: MIT
#include "LinkSafeFile.h"

#include "FileDescriptor.h"
#include "SystemErrorText.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace LinkSafeFile {

namespace {

// Non-blocking, so that a pipe planted under the name cannot hold the open
// for ever; anything but a regular file is refused right after.
FileDescriptor openRegularForReading(const QByteArray& path, struct stat* status, QString* error,
                                     bool* missing = nullptr) {
    FileDescriptor fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) {
        if (missing) {
            *missing = errno == ENOENT;
        }
        *error = systemErrorText(errno);
        return fd;
    }
    if (::fstat(fd.get(), status) != 0 || !S_ISREG(status->st_mode)) {
        *error = QStringLiteral("not a regular file");
        return FileDescriptor();
    }
    return fd;
}

} // namespace

Contents read(const QString& path, qint64 maxSize) {
    struct stat status {};
    QString error;
    bool missing = false;
    const FileDescriptor fd =
        openRegularForReading(QFile::encodeName(path), &status, &error, &missing);
    if (fd.get() < 0) {
        // A link that leads nowhere is as good as no file.
        return missing ? Contents{} : Contents{Contents::Status::failed, {}, error};
    }
    if (status.st_size > maxSize) {
        return {Contents::Status::tooLarge, {}, {}};
    }
    QByteArray bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return {Contents::Status::failed, {}, systemErrorText(errno)};
        }
        if (got == 0) {
            break;
        }
        // Grown since it was measured: the limit holds all the same.
        if (bytes.size() + got > maxSize) {
            return {Contents::Status::tooLarge, {}, {}};
        }
        bytes.append(buffer, got);
    }
    return {Contents::Status::read, bytes, {}};
}

bool replace(const QString& path, const QByteArray& bytes, QString* error) {
    const QByteArray name = QFile::encodeName(path);
    const auto fail = [&](const QString& reason) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, reason);
        return false;
    };
    struct stat existing {};
    const bool exists = ::lstat(name.constData(), &existing) == 0;
    if (exists && !S_ISREG(existing.st_mode) && !S_ISLNK(existing.st_mode)) {
        return fail(QStringLiteral("not a regular file"));
    }
    // mkostemp creates with O_EXCL: never through a link, never a file
    // someone else made.
    QByteArray temporary = name + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return fail(systemErrorText(errno));
    }
    const mode_t umask = ::umask(0);
    ::umask(umask);
    const mode_t mode =
        exists && S_ISREG(existing.st_mode) ? existing.st_mode & 0777 : 0666 & ~umask;
    try {
        if (::fchmod(fd.get(), mode) != 0) {
            throwErrno(errno);
        }
        writeAll(fd.get(), std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        if (::fsync(fd.get()) != 0) {
            throwErrno(errno);
        }
        fd.close();
    } catch (const std::system_error& failure) {
        ::unlink(temporary.constData());
        return fail(systemErrorText(failure.code().value()));
    }
    // rename replaces a link itself, never what it points to.
    if (::rename(temporary.constData(), name.constData()) != 0) {
        const int cause = errno;
        ::unlink(temporary.constData());
        return fail(systemErrorText(cause));
    }
    return true;
}

bool copyToNew(const QString& source, const QString& destination, bool* exists, QString* error) {
    *exists = false;
    struct stat status {};
    QString reason;
    const FileDescriptor from = openRegularForReading(QFile::encodeName(source), &status, &reason);
    if (from.get() < 0) {
        *error = QStringLiteral("Cannot read %1: %2").arg(source, reason);
        return false;
    }
    const QByteArray to = QFile::encodeName(destination);
    FileDescriptor copy(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                               status.st_mode & 0777));
    if (copy.get() < 0) {
        *exists = errno == EEXIST;
        *error = QStringLiteral("Cannot create %1: %2").arg(destination, systemErrorText(errno));
        return false;
    }
    char buffer[65536];
    try {
        for (;;) {
            const ssize_t got = ::read(from.get(), buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got < 0) {
                throwErrno(errno);
            }
            if (got == 0) {
                copy.close();
                return true;
            }
            writeAll(copy.get(), std::string_view(buffer, static_cast<size_t>(got)));
        }
    } catch (const std::system_error& failure) {
        *error = QStringLiteral("Cannot copy %1: %2")
                     .arg(source, systemErrorText(failure.code().value()));
        ::unlink(to.constData());
        return false;
    }
}

} // namespace LinkSafeFile
