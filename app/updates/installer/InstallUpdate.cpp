// SPDX-License-Identifier: MIT
#include "InstallUpdate.h"

#include "Ed25519Verifier.h"
#include "FileDescriptor.h"
#include "SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <string_view>
#include <sys/mman.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace InstallUpdate {
namespace {

// Why the installer stops; run() turns it into its result.
struct Refusal {
    InstallStatus status;
    QString message;
};

// Opened once: everything after works on this descriptor, so renaming or
// replacing the path later changes nothing here.
FileDescriptor openPackage(const QString& path, qint64 maxBytes) {
    if (!QDir::isAbsolutePath(path)) {
        throw Refusal{InstallStatus::usage, QStringLiteral("%1 is not an absolute path").arg(path)};
    }
    // Non-blocking and no controlling terminal: a FIFO or a device must not
    // hold root here before fstat has refused it.
    FileDescriptor fd(::open(QFile::encodeName(path).constData(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        throw Refusal{InstallStatus::unusablePackageFile,
                      error == ELOOP
                          ? QStringLiteral("%1 is a symbolic link").arg(path)
                          : QStringLiteral("cannot open %1: %2").arg(path, systemErrorText(error))};
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        throw Refusal{InstallStatus::unusablePackageFile,
                      QStringLiteral("%1 is not a regular file").arg(path)};
    }
    if (status.st_size > maxBytes) {
        throw Refusal{
            InstallStatus::unusablePackageFile,
            QStringLiteral("%1 is larger than %2 MiB").arg(path).arg(maxBytes / (1024 * 1024))};
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

QString cacheRefusal(const QString& path, const QString& why) {
    return QStringLiteral("the update folder %1 %2").arg(path, why);
}

// A folder of this user's that nobody else may change: made when missing,
// refused when it is a link, not a folder or someone else's.
FileDescriptor openOwnFolder(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        throw Refusal{
            InstallStatus::cacheFolderUnusable,
            cacheRefusal(path, QStringLiteral("cannot be made: ") + systemErrorText(errno))};
    }
    FileDescriptor fd(::open(native.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.get() < 0) {
        throw Refusal{InstallStatus::cacheFolderUnusable,
                      cacheRefusal(path, errno == ELOOP || errno == ENOTDIR
                                             ? QStringLiteral("is not a folder")
                                             : QStringLiteral("cannot be opened: ") +
                                                   systemErrorText(errno))};
    }
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0 || status.st_uid != ::geteuid()) {
        throw Refusal{InstallStatus::cacheFolderUnusable,
                      cacheRefusal(path, QStringLiteral("belongs to another user"))};
    }
    // Only its owner, this user, can have loosened it.
    if ((status.st_mode & 07777) != 0700 && ::fchmod(fd.get(), 0700) != 0) {
        throw Refusal{InstallStatus::cacheFolderUnusable,
                      cacheRefusal(path, QStringLiteral("cannot be closed to others"))};
    }
    return fd;
}

// The folder's own parent must not let another user swap the folder.
FileDescriptor openCacheFolder(const QString& path) {
    const QString parent = QFileInfo(path).path();
    const QByteArray native = QFile::encodeName(parent);
    if (::mkdir(native.constData(), 0755) != 0 && errno != EEXIST) {
        throw Refusal{
            InstallStatus::cacheFolderUnusable,
            cacheRefusal(parent, QStringLiteral("cannot be made: ") + systemErrorText(errno))};
    }
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != ::geteuid() || (status.st_mode & 022) != 0) {
        throw Refusal{
            InstallStatus::cacheFolderUnusable,
            cacheRefusal(parent, QStringLiteral("is not a folder only this user changes"))};
    }
    return openOwnFolder(path);
}

// The installer's own copy under a fresh name, removed whatever happens.
class PackageCopy final {
public:
    PackageCopy(const FileDescriptor& folder, const QString& folderPath)
        : m_folder(folder.get()) {
        for (int attempt = 0; attempt < 8 && m_fd < 0; ++attempt) {
            // apt-get takes an argument for a file only when it ends in ".deb".
            m_name = QStringLiteral("update-%1.deb")
                         .arg(QRandomGenerator::system()->generate64(), 16, 16, QLatin1Char('0'));
            m_fd = ::openat(m_folder, QFile::encodeName(m_name).constData(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (m_fd < 0 && errno != EEXIST) {
                break;
            }
        }
        if (m_fd < 0) {
            throw Refusal{InstallStatus::cacheFolderUnusable,
                          cacheRefusal(folderPath, QStringLiteral("takes no new file: ") +
                                                       systemErrorText(errno))};
        }
        m_path = QDir(folderPath).filePath(m_name);
    }
    ~PackageCopy() {
        ::close(m_fd);
        ::unlinkat(m_folder, QFile::encodeName(m_name).constData(), 0);
    }
    PackageCopy(const PackageCopy&) = delete;
    PackageCopy& operator=(const PackageCopy&) = delete;

    int fd() const { return m_fd; }
    const QString& path() const { return m_path; }

private:
    int m_folder;
    int m_fd = -1;
    QString m_name;
    QString m_path;
};

// Through the one descriptor, bounded again: the file may grow after fstat.
qint64 copyPackage(int from, const PackageCopy& to, const Setup& setup, const QString& source) {
    char buffer[64 * 1024];
    qint64 total = 0;
    while (true) {
        const ssize_t count = ::read(from, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            throw Refusal{InstallStatus::unusablePackageFile,
                          QStringLiteral("cannot read %1: %2").arg(source, systemErrorText(errno))};
        }
        if (count == 0) {
            return total;
        }
        total += count;
        if (total > setup.maxPackageBytes) {
            throw Refusal{InstallStatus::unusablePackageFile,
                          QStringLiteral("%1 is larger than %2 MiB")
                              .arg(source)
                              .arg(setup.maxPackageBytes / (1024 * 1024))};
        }
        try {
            writeAll(to.fd(), std::string_view(buffer, static_cast<size_t>(count)));
        } catch (const std::system_error& failure) {
            throw Refusal{InstallStatus::cacheFolderUnusable,
                          QStringLiteral("cannot copy the package to %1: %2")
                              .arg(to.path(), systemErrorText(failure.code().value()))};
        }
        if (total == count && setup.onStep) {
            setup.onStep(Step::copying);
        }
    }
}

bool signedByRelease(const PackageCopy& copy, qint64 size, const Ed25519Verifier& verifier,
                     const QByteArray& signature) {
    if (size == 0) {
        return verifier.verify({}, signature);
    }
    void* mapped = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, copy.fd(), 0);
    if (mapped == MAP_FAILED) {
        throw Refusal{
            InstallStatus::cacheFolderUnusable,
            QStringLiteral("cannot read %1: %2").arg(copy.path(), systemErrorText(errno))};
    }
    const bool valid =
        verifier.verify(QByteArrayView(static_cast<const char*>(mapped), size), signature);
    ::munmap(mapped, static_cast<size_t>(size));
    return valid;
}

struct ToolRun {
    int exitCode;
    QByteArray output;
    QByteArray errors;
};

QString lastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return QString::fromUtf8(lines.last().trimmed());
}

// By absolute path, with an argument list, an environment of its own and a
// time limit. Nothing of the caller's environment reaches root's tools.
ToolRun runTool(const QString& program, const QStringList& arguments,
                std::chrono::milliseconds limit) {
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("DEBIAN_FRONTEND"), QStringLiteral("noninteractive"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments);
    const QString name = QFileInfo(program).fileName();
    if (!process.waitForStarted()) {
        throw Refusal{InstallStatus::toolFailed,
                      QStringLiteral("%1 could not be started").arg(program)};
    }
    if (!process.waitForFinished(static_cast<int>(limit.count()))) {
        process.kill();
        process.waitForFinished();
        throw Refusal{InstallStatus::toolFailed,
                      QStringLiteral("%1 did not finish in time").arg(name)};
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        throw Refusal{InstallStatus::toolFailed,
                      QStringLiteral("%1 stopped unexpectedly").arg(name)};
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

struct PackageFields {
    QString name;
    QString version;
};

PackageFields packageFields(const Setup& setup, const QString& package) {
    const ToolRun run = runTool(
        setup.dpkgDeb,
        {QStringLiteral("--field"), package, QStringLiteral("Package"), QStringLiteral("Version")},
        setup.queryTimeout);
    PackageFields fields;
    for (const QByteArray& line : run.output.split('\n')) {
        if (line.startsWith("Package: ")) {
            fields.name = QString::fromUtf8(line.mid(9).trimmed());
        } else if (line.startsWith("Version: ")) {
            fields.version = QString::fromUtf8(line.mid(9).trimmed());
        }
    }
    // A Debian version starts with a digit; anything else would reach dpkg
    // below as an option.
    if (run.exitCode != 0 || fields.name.isEmpty() || fields.version.isEmpty() ||
        !fields.version.front().isDigit()) {
        throw Refusal{
            InstallStatus::toolFailed,
            QStringLiteral("the file is no Debian package (%1)").arg(lastLine(run.errors))};
    }
    return fields;
}

QString installedVersion(const Setup& setup) {
    const ToolRun run =
        runTool(setup.dpkgQuery,
                {QStringLiteral("--show"),
                 QStringLiteral("--showformat=${db:Status-Status} ${Version}"), setup.packageName},
                setup.queryTimeout);
    const QString shown = QString::fromUtf8(run.output.trimmed());
    if (run.exitCode != 0 || !shown.startsWith(QStringLiteral("installed "))) {
        throw Refusal{InstallStatus::notInstalled,
                      QStringLiteral("%1 is not installed from a package").arg(setup.packageName)};
    }
    return shown.section(QLatin1Char(' '), 1);
}

bool isNewer(const Setup& setup, const QString& version, const QString& installed) {
    const ToolRun run =
        runTool(setup.dpkg,
                {QStringLiteral("--compare-versions"), version, QStringLiteral("gt"), installed},
                setup.queryTimeout);
    if (run.exitCode > 1) {
        throw Refusal{
            InstallStatus::toolFailed,
            QStringLiteral("dpkg cannot compare the versions (%1)").arg(lastLine(run.errors))};
    }
    return run.exitCode == 0;
}

void installPackage(const Setup& setup, const QString& package) {
    const ToolRun run =
        runTool(setup.aptGet,
                {QStringLiteral("install"), QStringLiteral("--yes"),
                 QStringLiteral("--no-install-recommends"),
                 // Keep the administrator's changed configuration files without asking.
                 QStringLiteral("-o"), QStringLiteral("Dpkg::Options::=--force-confold"), package},
                setup.installTimeout);
    if (run.exitCode != 0) {
        throw Refusal{InstallStatus::installFailed,
                      QStringLiteral("the package tool failed (%1)")
                          .arg(lastLine(run.errors.isEmpty() ? run.output : run.errors))};
    }
}

} // namespace

Result run(const Setup& setup, const QString& packagePath, const QByteArray& signature) {
    const auto step = [&setup](Step reached) {
        if (setup.onStep) {
            setup.onStep(reached);
        }
    };
    try {
        const Ed25519Verifier verifier(setup.publicKey);
        if (!verifier.hasValidKey()) {
            throw Refusal{InstallStatus::badSignature,
                          QStringLiteral("this build has no valid update signing key")};
        }
        const FileDescriptor package = openPackage(packagePath, setup.maxPackageBytes);
        step(Step::opened);
        const FileDescriptor folder = openCacheFolder(setup.cacheFolder);
        const PackageCopy copy(folder, setup.cacheFolder);
        const qint64 size = copyPackage(package.get(), copy, setup, packagePath);
        step(Step::copied);
        if (!signedByRelease(copy, size, verifier, signature)) {
            throw Refusal{InstallStatus::badSignature,
                          QStringLiteral("the package does not match its signature")};
        }
        const PackageFields fields = packageFields(setup, copy.path());
        if (fields.name != setup.packageName) {
            throw Refusal{
                InstallStatus::otherPackage,
                QStringLiteral("the package is %1, not %2").arg(fields.name, setup.packageName)};
        }
        const QString installed = installedVersion(setup);
        if (!isNewer(setup, fields.version, installed)) {
            throw Refusal{InstallStatus::notNewer,
                          QStringLiteral("version %1 is not newer than the installed %2")
                              .arg(fields.version, installed)};
        }
        installPackage(setup, copy.path());
        return {InstallStatus::installed, {}};
    } catch (const Refusal& refusal) {
        return {refusal.status, refusal.message};
    }
}

} // namespace InstallUpdate
