// SPDX-License-Identifier: MIT
#include "PackageTools.h"

#include "InstallRefusal.h"

#include <QByteArray>
#include <QFileInfo>
#include <QList>
#include <QProcess>
#include <QStringList>

#include <chrono>

namespace {

struct ToolRun {
    int exitCode;
    QByteArray output;
    QByteArray errors;
};

QString lastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return QString::fromUtf8(lines.last().trimmed());
}

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
        throw InstallRefusal{InstallStatus::toolFailed,
                             QStringLiteral("%1 could not be started").arg(program)};
    }
    if (!process.waitForFinished(static_cast<int>(limit.count()))) {
        process.kill();
        process.waitForFinished();
        throw InstallRefusal{InstallStatus::toolFailed,
                             QStringLiteral("%1 did not finish in time").arg(name)};
    }
    if (process.exitStatus() != QProcess::NormalExit) {
        throw InstallRefusal{InstallStatus::toolFailed,
                             QStringLiteral("%1 stopped unexpectedly").arg(name)};
    }
    return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

} // namespace

PackageTools::PackageTools(const InstallUpdate::Setup& setup)
    : m_setup(setup) {}

PackageTools::Fields PackageTools::fieldsOf(const QString& package) const {
    const ToolRun run = runTool(
        m_setup.dpkgDeb,
        {QStringLiteral("--field"), package, QStringLiteral("Package"), QStringLiteral("Version")},
        m_setup.queryTimeout);
    Fields fields;
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
        throw InstallRefusal{
            InstallStatus::toolFailed,
            QStringLiteral("the file is no Debian package (%1)").arg(lastLine(run.errors))};
    }
    return fields;
}

QString PackageTools::installedVersion() const {
    const ToolRun run = runTool(m_setup.dpkgQuery,
                                {QStringLiteral("--show"),
                                 QStringLiteral("--showformat=${db:Status-Status} ${Version}"),
                                 m_setup.packageName},
                                m_setup.queryTimeout);
    const QString shown = QString::fromUtf8(run.output.trimmed());
    if (run.exitCode != 0 || !shown.startsWith(QStringLiteral("installed "))) {
        throw InstallRefusal{
            InstallStatus::notInstalled,
            QStringLiteral("%1 is not installed from a package").arg(m_setup.packageName)};
    }
    return shown.section(QLatin1Char(' '), 1);
}

bool PackageTools::isNewer(const QString& version, const QString& installed) const {
    const ToolRun run =
        runTool(m_setup.dpkg,
                {QStringLiteral("--compare-versions"), version, QStringLiteral("gt"), installed},
                m_setup.queryTimeout);
    if (run.exitCode > 1) {
        throw InstallRefusal{
            InstallStatus::toolFailed,
            QStringLiteral("dpkg cannot compare the versions (%1)").arg(lastLine(run.errors))};
    }
    return run.exitCode == 0;
}

void PackageTools::install(const QString& package) const {
    const ToolRun run =
        runTool(m_setup.aptGet,
                {QStringLiteral("install"), QStringLiteral("--yes"),
                 QStringLiteral("--no-install-recommends"),
                 // Keep the administrator's changed configuration files without asking.
                 QStringLiteral("-o"), QStringLiteral("Dpkg::Options::=--force-confold"), package},
                m_setup.installTimeout);
    if (run.exitCode != 0) {
        throw InstallRefusal{InstallStatus::installFailed,
                             QStringLiteral("the package tool failed (%1)")
                                 .arg(lastLine(run.errors.isEmpty() ? run.output : run.errors))};
    }
}
