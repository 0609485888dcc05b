// SPDX-License-Identifier: MIT
#include "PrivateBus.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QFile>

#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace {

// Receive rules as well as send rules: without them every call hangs.
constexpr const char* kBusConfig = R"(<!DOCTYPE busconfig PUBLIC
 "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>%1</listen>
  <servicedir>%2</servicedir>
  <auth>EXTERNAL</auth>
  %3
</busconfig>
)";

// Other users may connect too: tests call as an unprivileged uid.
constexpr const char* kPermissivePolicy = R"(<policy context="default">
    <allow user="*"/>
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>)";

void writeFile(const QString& path, const QString& contents) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(contents.toUtf8()) < 0) {
        throw std::runtime_error("cannot write " + path.toStdString());
    }
}

} // namespace

bool signalProcess(qint64 pid, int signal) {
    if (pid <= 1) {
        std::fprintf(stderr, "refused to send signal %d to PID %lld\n", signal,
                     static_cast<long long>(pid));
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), signal) == 0;
}

bool processAlive(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return false;
    }
    // The state follows the parenthesised command name; Z is a zombie.
    const QByteArray text = status.readAll();
    const int end = text.lastIndexOf(')');
    return end >= 0 && end + 2 < text.size() && text.at(end + 2) != 'Z';
}

PrivateBus::PrivateBus(const QList<Service>& activatableServices, const QString& policy)
    : m_policy(policy.isEmpty() ? QString::fromUtf8(kPermissivePolicy) : policy) {
    if (!m_folder.isValid()) {
        throw std::runtime_error("cannot create a folder for the private bus");
    }
    const QString services = m_folder.filePath(QStringLiteral("services"));
    QDir().mkpath(services);
    for (const Service& service : activatableServices) {
        QStringList quoted;
        for (const QString& part : service.command) {
            quoted << (part.contains(QLatin1Char(' ')) ? QLatin1Char('"') + part + QLatin1Char('"')
                                                       : part);
        }
        writeFile(services + QLatin1Char('/') + service.name + QStringLiteral(".service"),
                  QStringLiteral("[D-BUS Service]\nName=%1\nExec=%2\n")
                      .arg(service.name, quoted.join(QLatin1Char(' '))));
        m_serviceNames << service.name;
    }

    const QString socket = m_folder.filePath(QStringLiteral("bus.socket"));
    m_address = QStringLiteral("unix:path=") + socket;
    const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
    writeFile(config, QString::fromUtf8(kBusConfig).arg(m_address, services, m_policy));

    startDaemon();
}

void PrivateBus::startDaemon() {
    m_daemon.setProcessChannelMode(QProcess::MergedChannels);
    // Appends: a restarted bus keeps the earlier output.
    m_daemon.setStandardOutputFile(m_folder.filePath(QStringLiteral("bus.log")), QIODevice::Append);
    m_daemon.start(
        QStringLiteral("/usr/bin/dbus-daemon"),
        {QStringLiteral("--nofork"), QStringLiteral("--nopidfile"),
         QStringLiteral("--config-file=") + m_folder.filePath(QStringLiteral("bus.conf"))});
    if (!m_daemon.waitForStarted(5000)) {
        throw std::runtime_error("dbus-daemon did not start: " +
                                 m_daemon.errorString().toStdString());
    }
    const bool ready = waitUntil([this] {
        QDBusConnection probe = QDBusConnection::connectToBus(m_address, QStringLiteral("probe"));
        const bool connected = probe.isConnected();
        QDBusConnection::disconnectFromBus(QStringLiteral("probe"));
        return connected;
    });
    if (!ready) {
        throw std::runtime_error("the private bus did not come up: " + output().toStdString());
    }
    // Reachable by the unprivileged users some tests call as.
    QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                               QFile::ExeGroup | QFile::ExeOther);
    QFile::setPermissions(m_folder.filePath(QStringLiteral("bus.socket")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                              QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther);
}

void PrivateBus::restart() {
    stop();
    startDaemon();
}

PrivateBus::~PrivateBus() {
    stop();
}

QDBusConnection PrivateBus::connect(const QString& connectionName) {
    if (!m_connectionNames.contains(connectionName)) {
        m_connectionNames << connectionName;
    }
    return QDBusConnection::connectToBus(m_address, connectionName);
}

void PrivateBus::disconnect(const QString& connectionName) {
    m_connectionNames.removeAll(connectionName);
    QDBusConnection::disconnectFromBus(connectionName);
}

QString PrivateBus::output() const {
    QFile log(m_folder.filePath(QStringLiteral("bus.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}

qint64 PrivateBus::ownerPid(const QString& name) {
    QDBusConnection bus = connect(QStringLiteral("veltrane-fixture"));
    const QDBusReply<uint> pid = bus.interface()->servicePid(name);
    return pid.isValid() ? pid.value() : 0;
}

void PrivateBus::stop() {
    if (m_daemon.state() == QProcess::NotRunning) {
        return;
    }
    for (const QString& name : std::as_const(m_serviceNames)) {
        const qint64 pid = ownerPid(name);
        if (pid <= 0) {
            continue;
        }
        signalProcess(pid, SIGTERM);
        if (!waitUntil([pid] { return !processAlive(pid); }, std::chrono::seconds(5))) {
            signalProcess(pid, SIGKILL);
        }
    }
    for (const QString& name : std::as_const(m_connectionNames)) {
        QDBusConnection::disconnectFromBus(name);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("veltrane-fixture"));
    m_connectionNames.clear();
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000)) {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
}
