// SPDX-License-Identifier: MIT
#pragma once

#include "WaitUntil.h"

#include <QDBusConnection>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A dbus-daemon of the test's own, with an activation folder, so that the
// bus starts services on demand exactly as the system bus does. Services it
// started are stopped by PID when the bus is stopped: the bus never stops
// them itself.
class PrivateBus final {
public:
    struct Service {
        QString name;
        QStringList command; // absolute program path first
    };

    // `policy` replaces the default one, which lets every user connect, own
    // any name and call anything: <policy> elements, <include> or the like.
    explicit PrivateBus(const QList<Service>& activatableServices, const QString& policy = {});
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    QString address() const { return m_address; }

    // A new client connection, closed by the bus when the fixture stops.
    QDBusConnection connect(const QString& connectionName);
    void disconnect(const QString& connectionName);

    // What the bus and every service it started wrote to stdout and stderr.
    QString output() const;

    // The PID of the current owner of `name`, or 0.
    qint64 ownerPid(const QString& name);

    // Stops the services it started, then the bus.
    void stop();
    // Stops everything and starts a new bus at the same address, as when the
    // system bus restarts: every client connection is lost.
    void restart();

private:
    void startDaemon();

    QTemporaryDir m_folder;
    QString m_address;
    QProcess m_daemon;
    QStringList m_serviceNames;
    QStringList m_connectionNames;
    QString m_policy;
};

// Whether a process with this PID still runs (a zombie counts as gone).
bool processAlive(qint64 pid);

// Sends `signal` to the one process `pid`; false when it could not. A PID
// that was not found (0) or is not a single process (1, negative) is refused:
// kill() would reach the test's own process group, or every process.
bool signalProcess(qint64 pid, int signal);
