// SPDX-License-Identifier: MIT
#include "DebianPackageInstaller.h"
#include "InstallStatus.h"
#include "UpdateBuildSettings.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

namespace {

// Waiting for the administrator's password is part of this, and the
// installer's own bound on the package tool.
constexpr std::chrono::minutes installTimeout{30};

// pkexec's own exit statuses.
constexpr int notAuthorized = 126;
constexpr int authenticationDismissed = 127;

// The installer's own line, the last it wrote, without its name.
QString refusalOf(const QByteArray& output) {
    const QString line =
        QString::fromLocal8Bit(output).trimmed().section(QLatin1Char('\n'), -1).trimmed();
    const QString prefix = QStringLiteral("install-update: ");
    return line.startsWith(prefix) ? line.mid(prefix.size()) : line;
}

bool listsFile(const QString& listPath, const QString& file) {
    QFile list(listPath);
    if (!list.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    QTextStream lines(&list);
    QString line;
    while (lines.readLineInto(&line)) {
        if (line == file) {
            return true;
        }
    }
    return false;
}

bool belongsToPackage(const QString& program, const QString& infoDirectory) {
    if (program.isEmpty()) {
        return false;
    }
    const QString canonical = QFileInfo(program).canonicalFilePath();
    const QStringList lists =
        QDir(infoDirectory).entryList({QStringLiteral("*.list")}, QDir::Files);
    for (const QString& name : lists) {
        const QString path = QDir(infoDirectory).filePath(name);
        if (listsFile(path, program) || listsFile(path, canonical)) {
            return true;
        }
    }
    return false;
}

} // namespace

DebianPackageInstaller::DebianPackageInstaller(Paths paths, QObject* parent)
    : QObject(parent)
    , m_paths(std::move(paths))
    , m_arguments(QCoreApplication::arguments().mid(1))
    , m_fromPackage(belongsToPackage(m_paths.program, m_paths.packageInfoDirectory)) {}

DebianPackageInstaller::Paths DebianPackageInstaller::systemPaths() {
    Paths paths;
    paths.program = QCoreApplication::applicationFilePath();
    paths.installer = QString::fromUtf8(UpdateBuildSettings::installerPath);
    return paths;
}

void DebianPackageInstaller::install(const QString& packagePath, const QByteArray& signature,
                                     std::function<void(std::optional<InstallFailure>)> done) {
    auto* process = new QProcess(this);
    process->setProgram(m_paths.pkexec);
    process->setArguments({m_paths.installer, QFileInfo(packagePath).absoluteFilePath(),
                           QString::fromLatin1(signature)});
    process->setProcessChannelMode(QProcess::MergedChannels);
    auto* deadline = new QTimer(process);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, process, [process] {
        process->setProperty("timedOut", true);
        process->kill();
    });
    const auto failed = [done](QString message) {
        done(InstallFailure{false, std::move(message)});
    };
    connect(process, &QProcess::finished, this,
            [process, done, failed](int status, QProcess::ExitStatus exit) {
                process->deleteLater();
                if (process->property("timedOut").toBool()) {
                    failed(QStringLiteral("the installer did not finish in time"));
                } else if (exit != QProcess::NormalExit) {
                    failed(QStringLiteral("the installer stopped unexpectedly"));
                } else if (status == notAuthorized || status == authenticationDismissed) {
                    failed(QStringLiteral("an administrator's permission was not given"));
                } else if (status == static_cast<int>(InstallStatus::badSignature)) {
                    done(InstallFailure{true, refusalOf(process->readAll())});
                } else if (status != 0) {
                    failed(refusalOf(process->readAll()));
                } else {
                    done(std::nullopt);
                }
            });
    connect(process, &QProcess::errorOccurred, this,
            [process, failed](QProcess::ProcessError error) {
                if (error == QProcess::FailedToStart) {
                    process->deleteLater();
                    failed(QStringLiteral("%1 could not be started").arg(process->program()));
                }
            });
    process->start();
    // Nothing may wait for answers on a terminal it does not have.
    process->closeWriteChannel();
    deadline->start(installTimeout);
}

void DebianPackageInstaller::relaunch() {
    QProcess::startDetached(m_paths.program, m_arguments);
    QCoreApplication::quit();
}

void DebianPackageInstaller::openDownloadPage(const QUrl& page) {
    QDesktopServices::openUrl(page);
}
