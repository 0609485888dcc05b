// SPDX-License-Identifier: MIT
#include "PackageCopy.h"

#include "Ed25519Verifier.h"
#include "InstallRefusal.h"
#include "RootCacheFolder.h"
#include "SystemErrorText.h"
#include "UserPackageFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <system_error>
#include <unistd.h>

namespace {

FileDescriptor createFreshFile(const RootCacheFolder& folder, QString* name) {
    int fd = -1;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        // apt-get takes an argument for a file only when it ends in ".deb".
        *name = QStringLiteral("update-%1.deb")
                    .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
        fd = ::openat(folder.fd(), QFile::encodeName(*name).constData(),
                      O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) {
            break;
        }
    }
    if (fd < 0) {
        throw InstallRefusal{
            InstallStatus::cacheFolderUnusable,
            RootCacheFolder::refusal(folder.path(), QStringLiteral("takes no new file: ") +
                                                        systemErrorText(errno))};
    }
    return FileDescriptor(fd);
}

} // namespace

PackageCopy::PackageCopy(const RootCacheFolder& folder)
    : m_folder(folder.fd())
    , m_fd(createFreshFile(folder, &m_name))
    , m_path(QDir(folder.path()).filePath(m_name)) {}

PackageCopy::~PackageCopy() {
    m_fd.reset();
    ::unlinkat(m_folder, QFile::encodeName(m_name).constData(), 0);
}

void PackageCopy::copyFrom(const UserPackageFile& package, qint64 maxBytes,
                           const std::function<void()>& firstBlockCopied) {
    char buffer[64 * 1024];
    m_size = 0;
    while (true) {
        const ssize_t count = ::read(package.fd(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throw InstallRefusal{
                InstallStatus::unusablePackageFile,
                QStringLiteral("cannot read %1: %2").arg(package.path(), systemErrorText(errno))};
        }
        if (count == 0) {
            return;
        }
        m_size += count;
        if (m_size > maxBytes) {
            throw InstallRefusal{InstallStatus::unusablePackageFile,
                                 QStringLiteral("%1 is larger than %2 MiB")
                                     .arg(package.path())
                                     .arg(maxBytes / (1024 * 1024))};
        }
        try {
            writeAll(m_fd.get(), std::string_view(buffer, static_cast<size_t>(count)));
        } catch (const std::system_error& failure) {
            throw InstallRefusal{InstallStatus::cacheFolderUnusable,
                                 QStringLiteral("cannot copy the package to %1: %2")
                                     .arg(m_path, systemErrorText(failure.code().value()))};
        }
        if (m_size == count && firstBlockCopied) {
            firstBlockCopied();
        }
    }
}

bool PackageCopy::isSignedBy(const Ed25519Verifier& verifier, const QByteArray& signature) const {
    if (m_size == 0) {
        return verifier.verify({}, signature);
    }
    void* mapped =
        ::mmap(nullptr, static_cast<size_t>(m_size), PROT_READ, MAP_PRIVATE, m_fd.get(), 0);
    if (mapped == MAP_FAILED) {
        throw InstallRefusal{
            InstallStatus::cacheFolderUnusable,
            QStringLiteral("cannot read %1: %2").arg(m_path, systemErrorText(errno))};
    }
    const bool valid =
        verifier.verify(QByteArrayView(static_cast<const char*>(mapped), m_size), signature);
    ::munmap(mapped, static_cast<size_t>(m_size));
    return valid;
}
