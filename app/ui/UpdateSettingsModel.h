// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>

class SoftwareUpdater;

// The settings' Updates section: the updater's scheduled checks, and a
// check right now while the updater can take one.
class UpdateSettingsModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool automaticallyChecks READ automaticallyChecks WRITE setAutomaticallyChecks NOTIFY
                   changed)
    Q_PROPERTY(bool canCheck READ canCheck NOTIFY changed)

public:
    explicit UpdateSettingsModel(SoftwareUpdater& updater, QObject* parent = nullptr);

    bool automaticallyChecks() const;
    void setAutomaticallyChecks(bool enabled);
    bool canCheck() const;
    Q_INVOKABLE void checkNow();

Q_SIGNALS:
    void changed();

private:
    SoftwareUpdater& m_updater;
};
