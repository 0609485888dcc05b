// SPDX-License-Identifier: MIT
#pragma once

#include "ShaperStatistics.h"
#include "ThrottleService.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

// The running throttle's live figures, a line per direction: "↓ 412 Kbps ·
// 3 dropped · queue 120 ms", with no-break spaces inside each part. The view calls refresh() once a
// second while the card is on screen; each call asks the helper once, and the rate is what passed
// between the last two readings. Nothing is asked while throttling is off, nor while a reading is
// still on its way.
class LiveStatisticsModel final : public QObject {
    Q_OBJECT
    // Empty where there is nothing to show.
    Q_PROPERTY(QString downloadText READ downloadText NOTIFY changed)
    Q_PROPERTY(QString uploadText READ uploadText NOTIFY changed)
    // The same, for a screen reader.
    Q_PROPERTY(QString downloadDescription READ downloadDescription NOTIFY changed)
    Q_PROPERTY(QString uploadDescription READ uploadDescription NOTIFY changed)
    // Each listed throttle's own rates, by id: "↓ 412 Kbps · ↑ 80 Kbps".
    Q_PROPERTY(QVariantMap rowLines READ rowLines NOTIFY changed)

public:
    explicit LiveStatisticsModel(ThrottleService& throttleService, QObject* parent = nullptr);

    QString downloadText() const { return m_downloadText; }
    QString uploadText() const { return m_uploadText; }
    QString downloadDescription() const { return m_downloadDescription; }
    QString uploadDescription() const { return m_uploadDescription; }
    QVariantMap rowLines() const { return m_rowLines; }

    Q_INVOKABLE void refresh();

Q_SIGNALS:
    void changed();

private:
    QCoro::Task<> read();
    void show(const ShaperStatistics& reading);
    void showNothing(const QString& why = QString());

    ThrottleService& m_throttleService;
    bool m_reading = false;
    std::optional<ShaperStatistics> m_last;
    std::optional<double> m_downloadRate;
    std::optional<double> m_uploadRate;
    // The reading before m_last: each row's rate is told between the two.
    std::optional<ShaperStatistics> m_previous;
    QString m_downloadText;
    QString m_uploadText;
    QString m_downloadDescription;
    QString m_uploadDescription;
    QVariantMap m_rowLines;
};
