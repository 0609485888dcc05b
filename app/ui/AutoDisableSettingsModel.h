// SPDX-License-Identifier: MIT
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class NotificationCenter;
class UserDefaults;

// The settings' auto-disable switch and its duration: stored, and announced
// to the timer that switches throttling off and to the panel's countdown.
class AutoDisableSettingsModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY changed)
    Q_PROPERTY(QStringList durationChoices READ durationChoices CONSTANT)
    // -1 when the stored duration is none of the choices.
    Q_PROPERTY(int durationIndex READ durationIndex WRITE selectDuration NOTIFY changed)
    Q_PROPERTY(QString durationText READ durationText NOTIFY changed)

public:
    AutoDisableSettingsModel(UserDefaults& defaults, NotificationCenter& notifications,
                             QObject* parent = nullptr);

    bool isEnabled() const;
    // A tap on the switch: stored and announced.
    void setEnabled(bool enabled);
    QStringList durationChoices() const;
    int durationIndex() const;
    QString durationText() const;
    // Stored and announced when the choice changes the duration.
    void selectDuration(int index);

Q_SIGNALS:
    void changed();

private:
    void announce(bool enabled, int minutes);

    UserDefaults& m_defaults;
    NotificationCenter& m_notifications;
};
