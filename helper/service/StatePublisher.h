// SPDX-License-Identifier: MIT
#pragma once

#include "EngineJobs.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <map>

class ThrottleOwnership;

// The state every client reads (GetState) and is told of (StateChanged), as
// the last finished job left it: never behind a change still running, never
// ahead of one. Each announcement carries a serial that grows with it.
class StatePublisher final : public QObject {
    Q_OBJECT

public:
    explicit StatePublisher(ThrottleOwnership& ownership, QObject* parent = nullptr);

    bool isActive() const { return m_active; }

    // Takes in what a job that ran did: the owners of throttles no longer
    // in force are forgotten, and the state is announced when it changed.
    // Nothing for a job that was skipped.
    void settle(const EngineJobs::Outcome& outcome);
    // Announces the state when it differs from the one last announced.
    void publish();
    // Where the schedule of throttle `id` stands, shown from the next
    // announcement on; an empty `standing` shows none.
    void showSchedule(quint64 id, const QVariantMap& standing);

    // The state dictionary of GetState and StateChanged.
    QVariantMap state() const;
    // Announces the state as it is, for clients that watched for the helper
    // before it came: what its start found or restored.
    void announce() { Q_EMIT stateChanged(state()); }

Q_SIGNALS:
    // After every change of the state or its owner, whatever caused it.
    void stateChanged(const QVariantMap& state);

private:
    // The state's list of throttles, which the bus sends as aa{sv} (see
    // HelperDaemon).
    QList<QVariantMap> throttles() const;

    ThrottleOwnership& m_ownership;
    bool m_active = false;
    QString m_cleanupFailure;
    std::map<quint64, QVariantMap> m_schedules;
    QVariantMap m_published;
    quint64 m_serial = 0;
};
