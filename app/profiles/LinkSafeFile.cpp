// SPDX-License-Identifier: MIT
#include "LinkSafeFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace LinkSafeFile {

namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

class Descriptor final {
public:
    explicit Descriptor(int fd)
        : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return m_fd; }
    // Closing reports a late write error (on network file systems).
    bool close() { return ::close(std::exchange(m_fd, -1)) == 0; }

private:
    int m_fd;
};

bool writeAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Non-blocking, so that a pipe planted under the name cannot hold the open
// for ever; anything but a regular file is refused right after.
int openRegularForReading(const QByteArray& path, struct stat* status, QString* error,
                          bool* missing = nullptr) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (missing) {
            *missing = errno == ENOENT;
        }
        *error = systemError(errno);
        return -1;
    }
    if (::fstat(fd, status) != 0 || !S_ISREG(status->st_mode)) {
        *error = QStringLiteral("not a regular file");
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

Contents read(const QString& path, qint64 maxSize) {
    struct stat status {};
    QString error;
    bool missing = false;
    const Descriptor fd(openRegularForReading(QFile::encodeName(path), &status, &error, &missing));
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
            return {Contents::Status::failed, {}, systemError(errno)};
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
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) {
        return fail(systemError(errno));
    }
    const mode_t umask = ::umask(0);
    ::umask(umask);
    const mode_t mode =
        exists && S_ISREG(existing.st_mode) ? existing.st_mode & 0777 : 0666 & ~umask;
    if (::fchmod(fd.get(), mode) != 0 || !writeAll(fd.get(), bytes.constData(), bytes.size()) ||
        ::fsync(fd.get()) != 0 || !fd.close()) {
        const int cause = errno;
        ::unlink(temporary.constData());
        return fail(systemError(cause));
    }
    // rename replaces a link itself, never what it points to.
    if (::rename(temporary.constData(), name.constData()) != 0) {
        const int cause = errno;
        ::unlink(temporary.constData());
        return fail(systemError(cause));
    }
    return true;
}

bool copyToNew(const QString& source, const QString& destination, bool* exists, QString* error) {
    *exists = false;
    struct stat status {};
    QString reason;
    const Descriptor from(openRegularForReading(QFile::encodeName(source), &status, &reason));
    if (from.get() < 0) {
        *error = QStringLiteral("Cannot read %1: %2").arg(source, reason);
        return false;
    }
    const QByteArray to = QFile::encodeName(destination);
    Descriptor copy(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           status.st_mode & 0777));
    if (copy.get() < 0) {
        *exists = errno == EEXIST;
        *error = QStringLiteral("Cannot create %1: %2").arg(destination, systemError(errno));
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(from.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got == 0 && copy.close()) {
            return true;
        }
        if (got <= 0 || !writeAll(copy.get(), buffer, got)) {
            *error = QStringLiteral("Cannot copy %1: %2").arg(source, systemError(errno));
            ::unlink(to.constData());
            return false;
        }
    }
}

} // namespace LinkSafeFile
