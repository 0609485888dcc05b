// SPDX-License-Identifier: MIT
#pragma once

#include "NotificationCenter.h"
#include "SoftwareUpdater.h"
#include "UserNotificationCenter.h"

#include <QObject>

// Stands in until the appcast updater is built: it never offers a check.
class UpdaterService final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool canCheckForUpdates READ canCheckForUpdates NOTIFY canCheckForUpdatesChanged)

public:
    UpdaterService(UserNotificationCenter&, NotificationCenter&, QObject* parent = nullptr)
        : QObject(parent) {}

    SoftwareUpdater& updater() { return m_updater; }
    bool canCheckForUpdates() const { return false; }

Q_SIGNALS:
    void canCheckForUpdatesChanged(bool canCheck);

private:
    class NoUpdater final : public SoftwareUpdater {
    public:
        bool canCheckForUpdates() const override { return false; }
        bool automaticallyChecksForUpdates() const override { return false; }
        void setAutomaticallyChecksForUpdates(bool) override {}
        void checkForUpdates() override {}
    };

    NoUpdater m_updater;
};
