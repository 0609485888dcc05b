// SPDX-License-Identifier: MIT
#pragma once

#include "UserUnits.h"

#include <QDBusConnection>
#include <QDBusMessage>

#include <chrono>
#include <memory>

class QDBusObjectPath;
class QDBusServiceWatcher;

// systemd's user manager on the session bus (org.freedesktop.systemd1).
// Every call is asynchronous and gives up after a timeout.
class SystemdUserUnits final : public UserUnits {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    // `bus`: the user's session bus.
    explicit SystemdUserUnits(QDBusConnection bus,
                              std::chrono::milliseconds timeout = kDefaultTimeout,
                              QObject* parent = nullptr);
    ~SystemdUserUnits() override;

    QCoro::Task<QString> managerCgroup() override;
    QCoro::Task<QList<UserUnit>> applicationUnits() override;
    QCoro::Task<QString> cgroupOf(const UserUnit& unit) override;
    QCoro::Task<> follow() override;
    void stopFollowing() override;
    QCoro::Task<> startScope(const QString& unit, qint64 pid, const QString& description) override;

private Q_SLOTS:
    void unitNewSignalled(const QString& unit, const QDBusObjectPath& path);
    void unitRemovedSignalled(const QString& unit, const QDBusObjectPath& path);
    void jobRemovedSignalled(uint id, const QDBusObjectPath& job, const QString& unit,
                             const QString& result);

private:
    // The reply, an error one included. Throws when there is no bus to call on.
    QCoro::Task<QDBusMessage> call(QDBusMessage message);
    QCoro::Task<QString> cgroupProperty(QString path, QString interface);
    // Whether every signal was linked, or unlinked.
    bool linkSignals(bool linked);

    QDBusConnection m_bus;
    int m_timeoutMs;
    bool m_following = false;
    std::unique_ptr<QDBusServiceWatcher> m_managerWatcher;
};
