// SPDX-License-Identifier: MIT
#include "RunningApplications.h"

#include "ApplicationSearch.h"

#include <QPointer>

#include <algorithm>
#include <iterator>

RunningApplications::RunningApplications(UserUnits& units, DesktopEntries entries,
                                         ProcessCgroups processes, QObject* parent)
    : QObject(parent)
    , m_units(units)
    , m_entries(std::move(entries))
    , m_processes(std::move(processes)) {
    connect(&m_units, &UserUnits::unitNew, this, &RunningApplications::unitChanged);
    connect(&m_units, &UserUnits::jobRemoved, this,
            [this](const QString& unit, const QString&) { unitChanged(unit); });
    connect(&m_units, &UserUnits::unitRemoved, this, &RunningApplications::unitRemoved);
    connect(&m_units, &UserUnits::managerLost, this, [this] {
        if (m_started) {
            fail(QStringLiteral("systemd's user manager left the session bus"));
        }
    });
}

RunningApplications::~RunningApplications() {
    if (m_started) {
        m_units.stopFollowing();
    }
}

void RunningApplications::start() {
    if (m_started && m_errorText.isEmpty()) {
        return;
    }
    reset();
    m_started = true;
    m_errorText.clear();
    const QString ownCgroup = m_processes.cgroupOf(QStringLiteral("self")).value_or(QString());
    const QString ownUnit = ownCgroup.mid(ownCgroup.lastIndexOf(u'/') + 1);
    m_inSessionScope = ownUnit.startsWith(QStringLiteral("session-")) &&
                       ownUnit.endsWith(QStringLiteral(".scope"));
    begin(m_generation);
}

void RunningApplications::stop() {
    if (!m_started) {
        return;
    }
    const bool hadAnything = m_loaded || !m_errorText.isEmpty();
    reset();
    m_started = false;
    m_errorText.clear();
    if (hadAnything) {
        Q_EMIT changed();
    }
}

void RunningApplications::reset() {
    ++m_generation;
    m_units.stopFollowing();
    m_following = m_refreshing = m_refreshAgain = false;
    m_scopes.clear();
    m_entryCache.clear();
    m_loaded = m_sharesSessionScope = false;
    m_applications.clear();
}

void RunningApplications::fail(const QString& why) {
    reset();
    m_errorText = why;
    Q_EMIT changed();
}

QCoro::Task<> RunningApplications::begin(quint64 generation) {
    const QPointer<RunningApplications> alive(this);
    const auto current = [&] { return alive && m_generation == generation; };
    std::optional<QString> failure;
    try {
        co_await m_units.follow();
        if (!current()) {
            co_return;
        }
        const QString managerCgroup = co_await m_units.managerCgroup();
        if (!current()) {
            co_return;
        }
        m_managerCgroup = managerCgroup;
    } catch (const UserUnitsError& error) {
        failure = error.description();
    }
    if (!current()) {
        co_return;
    }
    if (failure) {
        fail(*failure);
        co_return;
    }
    // What changed before now is in the first list.
    m_following = true;
    refresh();
}

void RunningApplications::unitChanged(const QString& unit) {
    if (m_following && ApplicationUnitName::parse(unit.toStdString())) {
        refresh();
    }
}

void RunningApplications::unitRemoved(const QString& unit) {
    if (!m_following) {
        return;
    }
    if (m_refreshing) {
        m_removedWhileListing.insert(unit);
    }
    if (m_scopes.remove(unit) > 0) {
        publish();
    }
}

void RunningApplications::refresh() {
    // Changes while a list is being read are in the next one, however many.
    if (m_refreshing) {
        m_refreshAgain = true;
        return;
    }
    m_refreshing = true;
    refreshing(m_generation);
}

QCoro::Task<> RunningApplications::refreshing(quint64 generation) {
    const QPointer<RunningApplications> alive(this);
    const auto current = [&] { return alive && m_generation == generation; };
    do {
        m_refreshAgain = false;
        m_removedWhileListing.clear();
        std::optional<QString> failure;
        try {
            const QList<UserUnit> units = co_await m_units.applicationUnits();
            if (!current()) {
                co_return;
            }
            QMap<QString, KnownScope> scopes;
            for (const UserUnit& unit : units) {
                const std::optional<ApplicationUnitName> name =
                    ApplicationUnitName::parse(unit.name.toStdString());
                if (!name) {
                    continue;
                }
                // A unit keeps its cgroup for as long as it runs.
                QString cgroup = m_scopes.value(unit.name).scope.cgroup;
                if (cgroup.isEmpty()) {
                    cgroup = co_await m_units.cgroupOf(unit);
                    if (!current()) {
                        co_return;
                    }
                }
                // Not yet started (its start job ends later), or not this
                // user's manager's.
                const std::optional<ApplicationCgroup> at =
                    ProcessCgroups::applicationAt(cgroup, m_managerCgroup);
                if (!at || at->unit != unit.name) {
                    continue;
                }
                scopes.insert(unit.name, {{unit.name, cgroup, m_processes.pidsIn(cgroup)},
                                          QString::fromStdString(name->desktopId)});
            }
            for (const QString& gone : std::as_const(m_removedWhileListing)) {
                scopes.remove(gone);
            }
            m_scopes = scopes;
            publish();
            // Whoever heard of the change may have stopped this, or ended it.
            if (!current()) {
                co_return;
            }
        } catch (const UserUnitsError& error) {
            failure = error.description();
        }
        if (failure) {
            if (current()) {
                fail(*failure);
            }
            co_return;
        }
    } while (m_refreshAgain);
    m_refreshing = false;
}

RunningApplication RunningApplications::described(const QString& desktopId,
                                                  const QList<ApplicationScope>& scopes) {
    auto cached = m_entryCache.constFind(desktopId);
    if (cached == m_entryCache.constEnd()) {
        cached = m_entryCache.insert(desktopId, m_entries.find(desktopId));
    }
    const std::optional<DesktopEntry>& entry = *cached;
    QString name = entry ? entry->name : QString();
    if (name.isEmpty()) {
        // The oldest process is normally the one the application began as.
        qint64 first = 0;
        for (const ApplicationScope& scope : scopes) {
            for (const qint64 pid : scope.pids) {
                first = first == 0 ? pid : std::min(first, pid);
            }
        }
        name = first > 0 ? m_processes.commandOf(first) : QString();
    }
    return {desktopId, name.isEmpty() ? desktopId : name, entry ? entry->icon : QString(), scopes};
}

void RunningApplications::publish() {
    QMap<QString, QList<ApplicationScope>> byDesktopId;
    for (const KnownScope& known : std::as_const(m_scopes)) {
        byDesktopId[known.desktopId] << known.scope;
    }
    QList<RunningApplication> applications;
    for (auto it = byDesktopId.constBegin(); it != byDesktopId.constEnd(); ++it) {
        applications << described(it.key(), it.value());
    }
    std::sort(applications.begin(), applications.end(),
              [](const RunningApplication& a, const RunningApplication& b) {
                  const int byName = QString::compare(a.name, b.name, Qt::CaseInsensitive);
                  return byName != 0 ? byName < 0 : a.desktopId < b.desktopId;
              });
    const bool sharesSessionScope = applications.isEmpty() && m_inSessionScope;
    if (m_loaded && applications == m_applications && sharesSessionScope == m_sharesSessionScope) {
        return;
    }
    m_loaded = true;
    m_applications = applications;
    m_sharesSessionScope = sharesSessionScope;
    Q_EMIT changed();
}

QList<RunningApplication> RunningApplications::matching(const QString& text) const {
    QList<RunningApplication> found;
    std::copy_if(m_applications.begin(), m_applications.end(), std::back_inserter(found),
                 [&text](const RunningApplication& application) {
                     return ApplicationSearch::matches(application.name, application.desktopId,
                                                       text);
                 });
    return found;
}
