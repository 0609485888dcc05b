// SPDX-License-Identifier: MIT
#include "DebianPackageInstaller.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>
#include <QTimer>

namespace {

// Waiting for the administrator's password is part of this.
constexpr std::chrono::minutes installTimeout{15};

// pkexec's own exit statuses.
constexpr int notAuthorized = 126;
constexpr int authenticationDismissed = 127;

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
    return paths;
}

void DebianPackageInstaller::install(const QString& packagePath,
                                     std::function<void(std::optional<QString> error)> done) {
    auto* process = new QProcess(this);
    process->setProgram(m_paths.pkexec);
    // A path, not a name, so that the tool installs this very file and
    // resolves what it depends on.
    process->setArguments({m_paths.packageTool, QStringLiteral("install"), QStringLiteral("--yes"),
                           QStringLiteral("--no-install-recommends"),
                           // Keep the user's changed configuration files without asking.
                           QStringLiteral("-o"), QStringLiteral("Dpkg::Options::=--force-confold"),
                           QFileInfo(packagePath).absoluteFilePath()});
    process->setProcessChannelMode(QProcess::MergedChannels);
    auto* deadline = new QTimer(process);
    deadline->setSingleShot(true);
    connect(deadline, &QTimer::timeout, process, [process] {
        process->setProperty("timedOut", true);
        process->kill();
    });
    connect(process, &QProcess::finished, this,
            [process, done](int status, QProcess::ExitStatus exit) {
                process->deleteLater();
                if (process->property("timedOut").toBool()) {
                    done(QStringLiteral("the package tool did not finish in time"));
                } else if (exit != QProcess::NormalExit) {
                    done(QStringLiteral("the package tool stopped unexpectedly"));
                } else if (status == notAuthorized || status == authenticationDismissed) {
                    done(QStringLiteral("an administrator's permission was not given"));
                } else if (status != 0) {
                    const QString output = QString::fromLocal8Bit(process->readAll()).trimmed();
                    done(QStringLiteral("the package tool failed (%1)")
                             .arg(output.section(QLatin1Char('\n'), -1)));
                } else {
                    done(std::nullopt);
                }
            });
    connect(process, &QProcess::errorOccurred, this, [process, done](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
            done(QStringLiteral("%1 could not be started").arg(process->program()));
        }
    });
    process->start();
    // The tool must not wait for answers on a terminal it does not have.
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
