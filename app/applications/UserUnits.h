// SPDX-License-Identifier: MIT
#pragma once

#include <QCoro/QCoroTask>
#include <QList>
#include <QObject>
#include <QString>

#include <stdexcept>

// A unit of the user's service manager, as it lists them.
struct UserUnit {
    QString name;
    // Where the manager serves the unit's properties.
    QString objectPath;

    bool operator==(const UserUnit&) const = default;
};

// Why the user's service manager could not be asked, in words for the user.
class UserUnitsError final : public std::runtime_error {
public:
    enum class Cause { noSessionBus, noUserManager, callFailed };

    UserUnitsError(Cause cause, const QString& description)
        : std::runtime_error(description.toStdString())
        , m_cause(cause)
        , m_description(description) {}

    Cause cause() const { return m_cause; }
    const QString& description() const { return m_description; }

private:
    Cause m_cause;
    QString m_description;
};

// The user's service manager (systemd --user), as far as the desktop's
// applications go: the units it runs them in, and scopes it starts for
// processes. Every call may throw UserUnitsError and ends in a bounded time.
// Cgroups are paths below the cgroup v2 hierarchy's root without a leading
// slash.
class UserUnits : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The manager's own cgroup: every unit it runs lies below it.
    virtual QCoro::Task<QString> managerCgroup() = 0;
    // The running units that may be applications: app-*.scope and
    // app-*.service, active, starting or reloading.
    virtual QCoro::Task<QList<UserUnit>> applicationUnits() = 0;
    // The unit's cgroup; empty while it has none (not started yet, or gone).
    virtual QCoro::Task<QString> cgroupOf(const UserUnit& unit) = 0;

    // From now on, the signals below tell of changes. Until this returns,
    // changes may or may not be told.
    virtual QCoro::Task<> follow() = 0;
    // No more signals, and no more waking up for the manager's.
    virtual void stopFollowing() = 0;

    // Starts the scope `unit` around the running process `pid`; systemd
    // moves the process in as the start job runs, and removes the scope
    // once its processes are gone.
    virtual QCoro::Task<> startScope(const QString& unit, qint64 pid,
                                     const QString& description) = 0;

Q_SIGNALS:
    void unitNew(const QString& unit);
    void unitRemoved(const QString& unit);
    // A job of `unit` ended; the start that gives a new unit its cgroup is
    // one.
    void jobRemoved(const QString& unit, const QString& result);
    // The manager left the bus: nothing more is told.
    void managerLost();
};
