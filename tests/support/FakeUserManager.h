// SPDX-License-Identifier: MIT
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

// systemd's user manager (org.freedesktop.systemd1) on a private session
// bus, as far as the desktop's applications go: it lists its units by
// pattern and state, serves their ControlGroup, tells subscribers of units
// loaded and removed and of jobs that ended, and starts transient scopes.
// What the kernel would show are files of the test's own: each unit's
// cgroup.procs below `hierarchy`, each process's cgroup file below `procRoot`.
class FakeUserManager final : public QDBusVirtualObject {
public:
    static constexpr const char* kManagerCgroup = "user.slice/user-1000.slice/user@1000.service";

    // Owns the manager's name on `bus` until destroyed.
    FakeUserManager(QDBusConnection bus, QString hierarchy, QString procRoot);
    ~FakeUserManager() override;

    // Where the manager puts `unit`: in app.slice.
    static QString appCgroup(const QString& unit);

    // Loads and starts `unit`, its processes in `cgroup` (appCgroup by default).
    void addUnit(const QString& unit, const QList<qint64>& pids, const QString& cgroup = {});
    // Loads `unit` still starting, with no cgroup until finishStart().
    void addStartingUnit(const QString& unit);
    void finishStart(const QString& unit, const QList<qint64>& pids);
    void removeUnit(const QString& unit);
    // Another client, such as the desktop's shell, keeps its signals coming.
    void subscribeAnotherClient() { ++m_subscribers; }
    // Gives up the manager's name, as a manager that ends.
    void leave();

    // The methods it was asked, in order.
    const QStringList& calls() const { return m_calls; }
    // The transient units it started, with their PIDs.
    const QMap<QString, QList<quint32>>& startedScopes() const { return m_started; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    QString introspect(const QString&) const override { return {}; }

private:
    struct Unit {
        QString cgroup;
        QString activeState;
    };

    void answer(const QDBusMessage& message);
    QDBusMessage listUnits(const QDBusMessage& message) const;
    QDBusMessage property(const QDBusMessage& message) const;
    QDBusMessage startTransientUnit(const QDBusMessage& message);
    void place(const QString& unit, const QString& cgroup, const QList<qint64>& pids);
    void announce(const QString& member, const QVariantList& arguments);

    QDBusConnection m_bus;
    QString m_hierarchy;
    QString m_procRoot;
    QMap<QString, Unit> m_units;
    QStringList m_calls;
    QMap<QString, QList<quint32>> m_started;
    int m_subscribers = 0;
};
