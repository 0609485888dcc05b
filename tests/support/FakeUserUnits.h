// SPDX-License-Identifier: MIT
#pragma once

#include "UserUnits.h"

#include <QMap>

// The user's service manager inside the test's own process, for views and
// benches that need running applications but no bus: the units a test says
// run, each in its own cgroup under the manager's app.slice, and their
// changes told as the manager tells them. Counts every question, so that a
// closed view can be shown to ask nothing.
class FakeUserUnits final : public UserUnits {
public:
    const QString manager = QStringLiteral("user.slice/user-1000.slice/user@1000.service");
    int questions = 0;

    void run(const QString& unit) {
        m_cgroups.insert(unit, manager + QStringLiteral("/app.slice/") + unit);
        if (m_following) {
            Q_EMIT unitNew(unit);
            Q_EMIT jobRemoved(unit, QStringLiteral("done"));
        }
    }
    void stop(const QString& unit) {
        m_cgroups.remove(unit);
        if (m_following) {
            Q_EMIT unitRemoved(unit);
        }
    }

    QCoro::Task<QString> managerCgroup() override {
        ++questions;
        co_return manager;
    }
    QCoro::Task<QList<UserUnit>> applicationUnits() override {
        ++questions;
        QList<UserUnit> units;
        for (const QString& name : m_cgroups.keys()) {
            units.append({name, QStringLiteral("/unit/") + QString::number(units.size())});
        }
        co_return units;
    }
    QCoro::Task<QString> cgroupOf(const UserUnit& unit) override {
        ++questions;
        co_return m_cgroups.value(unit.name);
    }
    QCoro::Task<> follow() override {
        ++questions;
        m_following = true;
        co_return;
    }
    void stopFollowing() override { m_following = false; }
    QCoro::Task<> startScope(const QString&, qint64, const QString&) override {
        ++questions;
        throw UserUnitsError(UserUnitsError::Cause::callFailed,
                             QStringLiteral("This manager starts no scopes"));
    }

private:
    QMap<QString, QString> m_cgroups;
    bool m_following = false;
};
