// SPDX-License-Identifier: MIT
#pragma once

#include "DesktopEntry.h"
#include "LaunchError.h"
#include "ProcessCgroups.h"
#include "UserUnits.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>

#include <optional>
#include <sys/types.h>

// An installed application, or a command a person typed, started in a
// scope of its own, held before it runs so that its traffic is throttled
// from its first packet: prepare() starts a process that waits, has the
// user manager put it into app-veltrane-<desktop id>-<pid>.scope, and gives
// the scope's cgroup; the caller switches the throttle on for it, and only
// then release() lets the process run the entry's command (never through a
// shell). Detached: the application outlives this object and this process.
class ThrottledLaunch final : public QObject {
    Q_OBJECT

public:
    static constexpr const char* kLauncher = "veltrane";

    // `units` outlives this.
    ThrottledLaunch(UserUnits& units, ProcessCgroups processes, QObject* parent = nullptr);
    // A process still held ends without running anything.
    ~ThrottledLaunch() override;
    ThrottledLaunch(const ThrottledLaunch&) = delete;
    ThrottledLaunch& operator=(const ThrottledLaunch&) = delete;

    // The held process's scope's cgroup, below the cgroup v2 hierarchy's
    // root without a leading slash. Throws LaunchError; nothing is left
    // running then. Once per object.
    QCoro::Task<QString> prepare(DesktopEntry entry);
    // The same for a command a person typed (LaunchCommandLine's rules,
    // ~ being the home folder), in veltrane-launch-<pid>.scope: no desktop id names
    // it, and a scope named like an application's would be taken for one,
    // listed among the running applications and followed by the throttles
    // of whatever id its program's name made up.
    QCoro::Task<QString> prepareCommand(QString commandLine);
    // Why the application could not be run, or nothing.
    std::optional<QString> release();
    // The held process ends without running anything; the user manager
    // removes the scope once it is empty.
    void cancel();

    // The held process, 0 before prepare().
    pid_t pid() const { return m_pid; }
    const QString& unit() const { return m_unit; }
    // The program it runs, by absolute path, once prepare() found it.
    const QString& program() const { return m_program; }

private:
    // An absolute path as it is when it names a program, a bare name as
    // PATH finds it; empty for none, and for a relative path, which would
    // depend on the folder this process happens to be in.
    static QString programPath(const QString& word);
    // Starts the process that waits for release(); throws LaunchError.
    void startHeld(const QString& program, const QStringList& arguments);
    // Has the user manager put the held process into m_unit; the scope's cgroup.
    QCoro::Task<QString> moveIntoScope(QString name, QString description);
    void closeDescriptors();

    UserUnits& m_units;
    ProcessCgroups m_processes;
    pid_t m_pid = 0;
    QString m_unit;
    QString m_program;
    // The held process runs the command once a byte comes, and ends on end
    // of file.
    int m_go = -1;
    // Where the held process writes why it could not run the command.
    int m_report = -1;
};
