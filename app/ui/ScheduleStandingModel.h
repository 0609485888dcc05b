// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleService.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// Where the running schedules stand, for the panel's active card: the phase
// line of the card's throttle (this application's, else the only one) with
// a picture of its schedule when its profile is known, and a line for each
// listed throttle that plays one. The helper tells only changes of phase;
// the view calls tick() once a second while the card is on screen, so that
// the time left counts down, and never while the panel is closed.
class ScheduleStandingModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool isShown READ isShown NOTIFY changed)
    Q_PROPERTY(QString text READ text NOTIFY changed)
    Q_PROPERTY(bool showsPicture READ showsPicture NOTIFY pictureChanged)
    Q_PROPERTY(bool isTrace READ isTrace NOTIFY pictureChanged)
    // Each phase: {start, width} as parts of the whole, {outage, name}.
    Q_PROPERTY(QVariantList segments READ segments NOTIFY pictureChanged)
    // A trace's rate as heights of 0 to 1.
    Q_PROPERTY(QVariantList curve READ curve NOTIFY pictureChanged)
    Q_PROPERTY(QString pictureName READ pictureName NOTIFY pictureChanged)
    // Where it stands now, 0 to 1 of the picture's width.
    Q_PROPERTY(double marker READ marker NOTIFY changed)
    // The phase line of every listed throttle that plays a schedule, by id.
    Q_PROPERTY(QVariantMap rowLines READ rowLines NOTIFY changed)

public:
    // The most bars a trace's picture draws.
    static constexpr std::size_t kCurveBars = 48;

    ScheduleStandingModel(ThrottleService& throttleService, ThrottleService::Clock clock,
                          QObject* parent = nullptr);

    bool isShown() const { return !m_text.isEmpty(); }
    QString text() const { return m_text; }
    bool showsPicture() const { return m_profile.has_value(); }
    bool isTrace() const { return m_profile && m_profile->schedule.phases.empty(); }
    QVariantList segments() const { return m_segments; }
    QVariantList curve() const { return m_curve; }
    // "Schedule: 3 phases, repeating", for a screen reader.
    QString pictureName() const;
    double marker() const { return m_marker; }
    QVariantMap rowLines() const { return m_rowLines; }

    Q_INVOKABLE void tick();

Q_SIGNALS:
    void changed();
    void pictureChanged();

private:
    // After every change of the state: which throttle the card shows and
    // what its picture is.
    void refresh();
    const HelperThrottle* cardThrottle() const;

    ThrottleService& m_throttleService;
    ThrottleService::Clock m_clock;
    // The card throttle's profile, while it is known to be the one playing.
    std::optional<ThrottleProfile> m_profile;
    QVariantList m_segments;
    QVariantList m_curve;
    QString m_text;
    double m_marker = 0;
    QVariantMap m_rowLines;
};
