// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

// The update mechanism as the rest of the application sees it: whether a
// manual check can start right now, the user's choice of scheduled checks
// (kept by the updater itself), and a manual check. Main thread only.
class SoftwareUpdater : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)
    Q_PROPERTY(bool automaticallyChecksForUpdates READ automaticallyChecksForUpdates WRITE
                   setAutomaticallyChecksForUpdates NOTIFY automaticallyChecksForUpdatesChanged)

public:
    using QObject::QObject;

    // False while a check or an update session is running.
    virtual bool canCheckForUpdates() const = 0;
    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool enabled) = 0;
    // Shows its outcome to the user: the update, "You're up to date!" or why it failed.
    virtual void checkForUpdates() = 0;

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);
    void automaticallyChecksForUpdatesChanged(bool enabled);
};
