// SPDX-License-Identifier: MIT
#pragma once

#include "LifecycleLog.h"
#include "LifecycleNotifier.h"
#include "ThrottleService.h"
#include "TimerSource.h"
#include "UserDefaults.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

// The auto-disable run: throttling this application switches on goes off
// after the minutes the settings say, with a warning a minute before;
// another client's stays on. The
// run ends when it says by the wall clock, however long the machine slept
// in between; switched off, or taken over by another client, it ends early.
class AutoDisableRun final : public QObject {
    Q_OBJECT

public:
    AutoDisableRun(UserDefaults& defaults, TimerSource& timers, LifecycleNotifier& notifier,
                   std::function<QDateTime()> clock, LifecycleLog log, QObject* parent = nullptr);
    ~AutoDisableRun() override;

    // Until then a run can start, but nothing is switched off.
    void attach(ThrottleService& service);
    // Throttling switched on or off, and the setting changed.
    void notificationPosted(const QString& name, const QVariantMap& userInfo);
    // The timers did not count the sleep: they follow the wall clock again
    // from here, and what fell due meanwhile happens now.
    void systemDidWake();

private:
    void settingChanged(const QVariantMap& userInfo);
    void throttlingEnabled();
    void start(qint64 minutes);
    void schedule(QDateTime now);
    void warn();
    void cancel();
    void switchOff();
    QCoro::Task<> endOwnThrottling(QPointer<ThrottleService> service);

    UserDefaults& m_defaults;
    TimerSource& m_timers;
    LifecycleNotifier& m_notifier;
    std::function<QDateTime()> m_clock;
    LifecycleLog m_log;
    QPointer<ThrottleService> m_service;
    std::unique_ptr<ScheduledAction> m_end;
    std::unique_ptr<ScheduledAction> m_warning;
    // The run's wall-clock ends; the timers above count only awake time.
    std::optional<QDateTime> m_endAt;
    std::optional<QDateTime> m_warningAt;
};
