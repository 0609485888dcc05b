// SPDX-License-Identifier: MIT
#pragma once

#include "ApplicationListModel.h"
#include "DesktopEntries.h"
#include "ProcessCgroups.h"
#include "UserUnits.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

// How a launch switches the selected profile on, each call throwing
// ThrottleError on failure and giving the id of the throttle it started.
struct LaunchThrottler {
    // For the application `desktopId`: the helper finds the launch's
    // app-veltrane-ID-PID.scope itself, and follows the windows it opens later.
    std::function<QCoro::Task<quint64>(QString desktopId)> application;
    // For the one cgroup of a typed command, described by its command line.
    std::function<QCoro::Task<quint64>(QString cgroup, QString commandLine)> command;
    // Ends a throttle one of the above started.
    std::function<QCoro::Task<>(quint64 id)> end;
};

// The panel's "Launch Throttled": an installed application, searched by name
// or desktop id, or a typed command, started in a scope of its own with its
// throttle on before its first packet. The installed entries are read only
// while it is open. A launch either runs its program throttled or leaves
// nothing behind: a throttle that could not be switched on ends the held
// process before it ran anything, and a program that then could not run
// has its throttle ended too, so that a throttle waiting for a program that
// never came stays on no one's panel. Closing leaves a launch under way to
// finish: a password dialog for the helper may well have hidden the panel.
class LaunchThrottledModel final : public ApplicationListModel {
    Q_OBJECT
    Q_PROPERTY(bool isOpen READ isOpen NOTIFY openChanged)
    Q_PROPERTY(QString commandText READ commandText WRITE setCommandText NOTIFY commandTextChanged)
    // What it will be throttled with; the panel keeps it to the selected profile.
    Q_PROPERTY(QString profileName READ profileName WRITE setProfileName NOTIFY profileNameChanged)
    Q_PROPERTY(QString profileText READ profileText NOTIFY profileNameChanged)
    // One line in place of the list when it has no row; empty beside rows.
    Q_PROPERTY(QString notice READ notice NOTIFY listChanged)
    Q_PROPERTY(bool isLaunching READ isLaunching NOTIFY launchingChanged)
    Q_PROPERTY(QString errorText READ errorText NOTIFY errorTextChanged)

public:
    // `units` outlives this.
    LaunchThrottledModel(UserUnits& units, DesktopEntries entries, ProcessCgroups processes,
                         LaunchThrottler throttler, QObject* parent = nullptr);

    bool isOpen() const { return m_isOpen; }
    const QString& commandText() const { return m_commandText; }
    void setCommandText(const QString& text);
    const QString& profileName() const { return m_profileName; }
    void setProfileName(const QString& name);
    QString profileText() const;
    QString notice() const;
    bool isLaunching() const { return m_isLaunching; }
    const QString& errorText() const { return m_errorText; }

    // Reads the installed applications.
    Q_INVOKABLE void open();
    // Forgets them, the texts typed and the error.
    Q_INVOKABLE void close();
    // Each does nothing while a launch is under way.
    Q_INVOKABLE void launchApplication(int row);
    Q_INVOKABLE void launchCommand();

Q_SIGNALS:
    void openChanged();
    void commandTextChanged();
    void profileNameChanged();
    void listChanged();
    void launchingChanged();
    void errorTextChanged();
    // The program runs, throttled; the model has closed.
    void launched(const QString& name);

private:
    // The entry to start, or without one the command line.
    QCoro::Task<> launch(std::optional<DesktopEntry> entry, QString commandLine);
    int count() const override { return int(m_rows.size()); }
    ApplicationRow rowAt(int row) const override;
    void searchChanged() override { refill(); }
    void refill();
    void setLaunching(bool launching);
    void setErrorText(const QString& text);

    UserUnits& m_units;
    DesktopEntries m_entries;
    ProcessCgroups m_processes;
    LaunchThrottler m_throttler;

    bool m_isOpen = false;
    QList<DesktopEntry> m_installed;
    QList<DesktopEntry> m_rows;
    QString m_commandText;
    QString m_profileName;
    bool m_isLaunching = false;
    QString m_errorText;
};
