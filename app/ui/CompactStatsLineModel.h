// SPDX-License-Identifier: MIT
#pragma once

#include "ThrottleService.h"

#include <QObject>
#include <QString>

// The one-line summary of the running throttle, with the time since it was
// switched on: "780 Kbps ↓ · 330 Kbps ↑ · +100ms · 1% · 1:05". The view
// calls updateDuration() once a second while the line is on screen.
class CompactStatsLineModel final : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString text READ text NOTIFY textChanged)

public:
    CompactStatsLineModel(ThrottleService& throttleService, ThrottleService::Clock clock,
                          QObject* parent = nullptr);

    // Empty while no profile is applied.
    QString text() const { return m_text; }
    QString displayDuration() const { return m_displayDuration; }

    Q_INVOKABLE void updateDuration();

    static QString statsString(const ThrottleProfile& profile, const QString& duration);
    // "m:ss" below an hour, "h:mm:ss" from then on.
    static QString durationText(qint64 seconds);

Q_SIGNALS:
    void textChanged();

private:
    void updateText();

    ThrottleService& m_throttleService;
    ThrottleService::Clock m_clock;
    QString m_displayDuration = QStringLiteral("0:00");
    QString m_text;
};
