// SPDX-License-Identifier: MIT
#include "BuildInfo.h"
#include "HelperProtocol.h"
#include "SystemServiceRegistration.h"

#include <QCoro/QCoroProcess>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

// The user may take their time in the authorisation dialog, but an
// installer that hangs must not hold the caller for ever.
constexpr int kInstallerTimeoutMs = 10 * 60 * 1000;
constexpr std::chrono::seconds kStartTimeout{5};

// pkexec's own exit statuses, which say nothing about the installer.
constexpr int kPkexecNotAuthorized = 126;
constexpr int kPkexecCannotAuthenticate = 127;

RegistrationError registrationError(qint64 code, const QString& description) {
    return {SystemServiceRegistration::errorDomain, code, description};
}

// The installer as it may be run as root: its real path, when the file and
// every folder above it belong to root and nobody else may write them, so no
// one but root can change what runs. Otherwise why it may not run.
struct InstallerCheck {
    QString path;
    QString refusal;
};

InstallerCheck checkInstaller(const QString& installer) {
    const QString path = QFileInfo(installer).canonicalFilePath();
    if (installer.isEmpty() || path.isEmpty()) {
        return {{},
                QStringLiteral("The helper's installer is not installed (%1). Install the helper "
                               "as root with \"scripts/install-helper build/dev\", as the README "
                               "describes")
                    .arg(installer.isEmpty() ? QStringLiteral("none in this build") : installer)};
    }
    for (QString part = path; !part.isEmpty();) {
        struct stat info {};
        const QByteArray local = QFile::encodeName(part);
        if (::lstat(local.constData(), &info) != 0 || info.st_uid != 0 ||
            (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            return {{},
                    QStringLiteral("Refusing to run %1 as root: %2 may be changed by users "
                                   "other than root")
                        .arg(path, part)};
        }
        const QString parent = QFileInfo(part).path();
        part = parent == part ? QString() : parent;
    }
    if (!QFileInfo(path).isFile() || !QFileInfo(path).isExecutable()) {
        return {{}, QStringLiteral("%1 is not an executable file").arg(path)};
    }
    return {path, {}};
}

QString desktopEntryValue(const QString& text) {
    // Exec= quoting of the desktop entry format.
    QString quoted = text;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    quoted.replace(u'`', QStringLiteral("\\`")).replace(u'$', QStringLiteral("\\$"));
    return u'"' + quoted + u'"';
}

// The desktop entry the application is installed with, so that the login
// item is named, described and drawn as in the menu; only the program is
// the one given. Its actions belong to the menu, not to a login.
QByteArray autostartEntry(const QString& application) {
    QFile desktopEntry(
        QStringLiteral(":/packaging/%1.desktop").arg(QLatin1StringView(BuildInfo::desktopEntryId)));
    desktopEntry.open(QIODevice::ReadOnly);
    QStringList lines;
    for (const QString& line :
         QString::fromUtf8(desktopEntry.readAll()).split(u'\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(u'[') && !lines.isEmpty()) {
            break;
        }
        if (line.startsWith(QStringLiteral("Actions="))) {
            continue;
        }
        lines << (line.startsWith(QStringLiteral("Exec="))
                      ? QStringLiteral("Exec=") + desktopEntryValue(application)
                      : line);
    }
    lines << QStringLiteral("X-GNOME-Autostart-enabled=true");
    return (lines.join(u'\n') + u'\n').toUtf8();
}

} // namespace

SystemServicePaths SystemServicePaths::standard() {
    SystemServicePaths paths;
#ifdef VELTRANE_INSTALLER_PATH
    paths.installer = QStringLiteral(VELTRANE_INSTALLER_PATH);
#endif
    paths.autostartEntry = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           QStringLiteral("/autostart/veltrane.desktop");
#ifdef VELTRANE_APPLICATION_PATH
    paths.application = QStringLiteral(VELTRANE_APPLICATION_PATH);
#endif
    return paths;
}

SystemServiceRegistration::SystemServiceRegistration(Paths paths)
    : m_paths(std::move(paths))
    , m_connectionName(BusEndpoint::uniqueConnectionName(QStringLiteral("veltrane-registration"))) {
}

SystemServiceRegistration::~SystemServiceRegistration() {
    BusEndpoint::close(m_connectionName);
}

ServiceStatus SystemServiceRegistration::daemonStatus() const {
    // A fresh connection each time: a bus restarted since (after an install,
    // say) must be asked anew, and the question is rare and cheap.
    QDBusConnection bus = m_paths.bus.open(m_connectionName);
    QDBusConnectionInterface* daemon = bus.interface();
    if (!bus.isConnected() || daemon == nullptr) {
        BusEndpoint::close(m_connectionName);
        return ServiceStatus::busUnreachable;
    }
    const QString name = QString::fromUtf8(HelperProtocol::kServiceName);
    const QDBusReply<QStringList> activatable = daemon->activatableServiceNames();
    const bool enabled = (activatable.isValid() && activatable.value().contains(name)) ||
                         daemon->isServiceRegistered(name).value();
    BusEndpoint::close(m_connectionName);
    return enabled ? ServiceStatus::enabled : ServiceStatus::notRegistered;
}

QCoro::Task<std::optional<RegistrationError>> SystemServiceRegistration::registerDaemon() {
    const InstallerCheck installerCheck = checkInstaller(m_paths.installer);
    if (!installerCheck.refusal.isEmpty()) {
        co_return registrationError(-1, installerCheck.refusal);
    }
    // Checked first: a program that cannot start would otherwise only show
    // as the start-up wait running out.
    if (!QFileInfo(m_paths.pkexec).isExecutable()) {
        co_return registrationError(-1, QStringLiteral("Cannot run %1").arg(m_paths.pkexec));
    }
    QProcess installer;
    installer.setProgram(m_paths.pkexec);
    installer.setArguments({installerCheck.path});
    installer.setProcessChannelMode(QProcess::SeparateChannels);
    const bool started = co_await qCoro(installer).start(QIODevice::ReadOnly, kStartTimeout);
    if (!started) {
        co_return registrationError(
            -1, QStringLiteral("Cannot run %1: %2").arg(m_paths.pkexec, installer.errorString()));
    }
    const bool finished = co_await qCoro(installer).waitForFinished(kInstallerTimeoutMs);
    if (!finished) {
        installer.kill();
        installer.waitForFinished();
        co_return registrationError(-1, QStringLiteral("The installer did not finish"));
    }
    if (installer.exitStatus() != QProcess::NormalExit) {
        co_return registrationError(-1, QStringLiteral("The installer crashed"));
    }
    const int code = installer.exitCode();
    if (code == 0) {
        co_return std::nullopt;
    }
    if (code == kPkexecNotAuthorized || code == kPkexecCannotAuthenticate) {
        co_return registrationError(code, QStringLiteral("Authorization was denied or dismissed"));
    }
    const QString output = QString::fromLocal8Bit(installer.readAllStandardError()).trimmed();
    co_return registrationError(
        code, output.isEmpty() ? QStringLiteral("The installer exited with status %1").arg(code)
                               : output.section(u'\n', -1));
}

ServiceStatus SystemServiceRegistration::loginItemStatus() const {
    return QFileInfo::exists(m_paths.autostartEntry) ? ServiceStatus::enabled
                                                     : ServiceStatus::notRegistered;
}

std::optional<RegistrationError> SystemServiceRegistration::registerLoginItem() {
    QDir().mkpath(QFileInfo(m_paths.autostartEntry).absolutePath());
    QSaveFile entry(m_paths.autostartEntry);
    const QByteArray contents = autostartEntry(m_paths.application);
    if (!entry.open(QIODevice::WriteOnly) || entry.write(contents) != contents.size() ||
        !entry.commit()) {
        return registrationError(entry.error(), entry.errorString());
    }
    return std::nullopt;
}

std::optional<RegistrationError> SystemServiceRegistration::unregisterLoginItem() {
    QFile entry(m_paths.autostartEntry);
    if (entry.exists() && !entry.remove()) {
        return registrationError(entry.error(), entry.errorString());
    }
    return std::nullopt;
}
