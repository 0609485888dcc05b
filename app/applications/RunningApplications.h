// SPDX-License-Identifier: MIT
#pragma once

#include "DesktopEntries.h"
#include "ProcessCgroups.h"
#include "UserUnits.h"

#include <QCoro/QCoroTask>
#include <QHash>
#include <QList>
#include <QMap>
#include <QObject>
#include <QSet>
#include <QString>

#include <optional>

// One unit an application runs in.
struct ApplicationScope {
    QString unit;
    // Below the cgroup v2 hierarchy's root, without a leading slash, as the
    // helper takes a throttle's scope.
    QString cgroup;
    // As they were when the list was last read.
    QList<qint64> pids;

    bool operator==(const ApplicationScope&) const = default;
};

struct RunningApplication {
    QString desktopId;
    // The desktop entry's; without one, its first process's command name.
    QString name;
    // The desktop entry's icon name, empty without one.
    QString iconName;
    // By unit name.
    QList<ApplicationScope> scopes;

    bool operator==(const RunningApplication&) const = default;
};

// The desktop applications the user runs, as the units of the user's
// service manager show them (the desktop starts each in a unit of its own),
// one per desktop id, sorted by name case-insensitively. Followed while
// started; while stopped, the manager is asked nothing.
class RunningApplications final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isLoaded READ isLoaded NOTIFY changed)
    Q_PROPERTY(bool sharesSessionScope READ sharesSessionScope NOTIFY changed)
    Q_PROPERTY(QString errorText READ errorText NOTIFY changed)

public:
    // `units` outlives this and follows for no one else.
    RunningApplications(UserUnits& units, DesktopEntries entries, ProcessCgroups processes,
                        QObject* parent = nullptr);
    ~RunningApplications() override;
    RunningApplications(const RunningApplications&) = delete;
    RunningApplications& operator=(const RunningApplications&) = delete;

    // Reads the list and follows it from then on. After an error, tries
    // afresh.
    void start();
    // Forgets the list and follows nothing more.
    void stop();
    bool isStarted() const { return m_started; }

    // The list has been read since start() and is followed.
    bool isLoaded() const { return m_loaded; }
    const QList<RunningApplication>& applications() const { return m_applications; }
    // Those whose name or desktop id holds `text`, case-insensitively.
    QList<RunningApplication> matching(const QString& text) const;

    // This desktop starts no application in a unit of its own: the user's
    // processes share the login session's scope (Xfce, LXQt, a bare window
    // manager), so no single application can be told apart; one started
    // through ThrottledLaunch can.
    bool sharesSessionScope() const { return m_sharesSessionScope; }
    // Why there is no list (no session bus, no user manager), empty while
    // there is.
    const QString& errorText() const { return m_errorText; }

Q_SIGNALS:
    void changed();

private:
    struct KnownScope {
        ApplicationScope scope;
        QString desktopId;
    };

    QCoro::Task<> begin(quint64 generation);
    void refresh();
    QCoro::Task<> refreshing(quint64 generation);
    // A unit was loaded or a job of it ended: it may have started or stopped.
    void unitChanged(const QString& unit);
    void unitRemoved(const QString& unit);
    // Builds the list from the known scopes; tells when it changed.
    void publish();
    RunningApplication described(const QString& desktopId, const QList<ApplicationScope>& scopes);
    void fail(const QString& why);
    // Back to nothing followed and nothing known.
    void reset();

    UserUnits& m_units;
    DesktopEntries m_entries;
    ProcessCgroups m_processes;

    bool m_started = false;
    // Ends every flow of an earlier start.
    quint64 m_generation = 0;
    // Subscribed, and the manager's cgroup known.
    bool m_following = false;
    bool m_refreshing = false;
    bool m_refreshAgain = false;
    QString m_managerCgroup;
    bool m_inSessionScope = false;
    QMap<QString, KnownScope> m_scopes;
    // Removed after the list being read was asked for: it may still be in it.
    QSet<QString> m_removedWhileListing;
    QHash<QString, std::optional<DesktopEntry>> m_entryCache;

    bool m_loaded = false;
    QList<RunningApplication> m_applications;
    bool m_sharesSessionScope = false;
    QString m_errorText;
};
