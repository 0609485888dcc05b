// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleService.h"

#include <QObject>
#include <QString>

// The one-line summary of the running throttle, with the time since it was
// switched on: "780 Kbps ↓ · 330 Kbps ↑ · +100ms · 1% · 1:05", and where
// it applies when not to all traffic ("only to api.example.com"). The view
// shows the conditions and the time apart, so that a narrow line shortens the
// conditions and never pushes the time onto a line of its own; it calls
// updateDuration() once a second while the line is on screen.
class CompactStatsLineModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text READ text NOTIFY textChanged)
    Q_PROPERTY(QString conditions READ conditions NOTIFY textChanged)
    Q_PROPERTY(QString displayDuration READ displayDuration NOTIFY textChanged)

public:
    CompactStatsLineModel(ThrottleService& throttleService, ThrottleService::Clock clock,
                          QObject* parent = nullptr);

    // Empty while no profile is applied.
    QString text() const { return m_text; }
    QString displayDuration() const { return m_displayDuration; }
    // The conditions in full and, after U+009C, in short ("780K ↓"), and
    // for some destinations only, shortest without them: a text item shows
    // the first that fits its width.
    QString conditions() const { return m_conditions; }

    Q_INVOKABLE void updateDuration();

    static QString statsString(const ThrottleProfile& profile, const QString& duration);
    // The destinations are named in full, by the first and a count when
    // narrow, and left to the profile's row when shortest.
    enum class Length { full, narrow, shortest };
    static QString conditionsString(const ThrottleProfile& profile, Length length);
    // "m:ss" below an hour, "h:mm:ss" from then on.
    static QString durationText(qint64 seconds);

Q_SIGNALS:
    void textChanged();

private:
    void updateText();
    // The running profile, with the conditions of its phase in force.
    std::optional<ThrottleProfile> shownProfile() const;

    ThrottleService& m_throttleService;
    ThrottleService::Clock m_clock;
    QString m_displayDuration = QStringLiteral("0:00");
    QString m_text;
    QString m_conditions;
};
