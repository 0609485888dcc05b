// SPDX-License-Identifier: MIT
#include "AutoDisableRun.h"

#include "NotificationNames.h"
#include "SettingsKeys.h"
#include "ThrottleState.h"

#include <QMetaType>
#include <QVariant>

#include <algorithm>
#include <chrono>
#include <exception>

namespace {

// A setting's integer only when it is one: a text or a fraction is malformed.
std::optional<qint64> integerOf(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    default:
        return std::nullopt;
    }
}

} // namespace

AutoDisableRun::AutoDisableRun(UserDefaults& defaults, TimerSource& timers,
                               LifecycleNotifier& notifier, std::function<QDateTime()> clock,
                               LifecycleLog log, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_timers(timers)
    , m_notifier(notifier)
    , m_clock(std::move(clock))
    , m_log(std::move(log)) {}

AutoDisableRun::~AutoDisableRun() = default;

void AutoDisableRun::attach(ThrottleService& service) {
    m_service = &service;
    // A run is for throttling this application owns: switched off, or taken
    // over by another client, it ends.
    connect(&service, &ThrottleService::stateChanged, this, [this](const ThrottleState& state) {
        if (!state.isOwnedByThisApplication()) {
            cancel();
        }
    });
}

void AutoDisableRun::notificationPosted(const QString& name, const QVariantMap& userInfo) {
    if (name == NotificationName::autoDisableSettingChanged) {
        settingChanged(userInfo);
    } else if (name == NotificationName::throttlingEnabled) {
        throttlingEnabled();
    } else if (name == NotificationName::throttlingDisabled) {
        cancel();
    }
}

void AutoDisableRun::systemDidWake() {
    if (m_endAt) {
        schedule(m_clock());
    }
}

void AutoDisableRun::settingChanged(const QVariantMap& userInfo) {
    const QVariant enabled = userInfo.value(QStringLiteral("enabled"));
    const std::optional<qint64> minutes = integerOf(userInfo.value(QStringLiteral("minutes")));
    if (enabled.typeId() != QMetaType::Bool || !minutes) {
        return;
    }
    if (!enabled.toBool()) {
        cancel();
    } else if (*minutes > 0 && m_service && m_service->state().isOwnedByThisApplication()) {
        // The full run counts from now, not from when throttling went on.
        start(*minutes);
    }
}

void AutoDisableRun::throttlingEnabled() {
    const qint64 minutes = m_defaults.value(SettingsKeys::autoDisableMinutes).toLongLong();
    if (m_defaults.boolValue(SettingsKeys::autoDisableEnabled) && minutes > 0) {
        start(minutes);
    }
}

void AutoDisableRun::start(qint64 minutes) {
    cancel();
    // Beyond a year the timer's own limit applies; the product stays in range.
    const qint64 seconds = std::min<qint64>(minutes, 366 * 24 * 60) * 60;
    const QDateTime now = m_clock();
    m_endAt = now.addSecs(seconds);
    if (minutes >= 2) {
        m_warningAt = m_endAt->addSecs(-60);
    }
    schedule(now);
    m_log(QStringLiteral("Auto-disable timer started: %1 minutes").arg(minutes));
}

void AutoDisableRun::schedule(QDateTime now) {
    const auto until = [&now](const QDateTime& at) {
        return std::chrono::milliseconds(now.msecsTo(at));
    };
    if (now >= *m_endAt) {
        switchOff();
        return;
    }
    if (m_warningAt && now >= *m_warningAt) {
        m_warning.reset();
        m_warningAt.reset();
        warn();
    } else if (m_warningAt) {
        m_warning = m_timers.schedule(until(*m_warningAt), [this] {
            m_warningAt.reset();
            warn();
        });
    }
    m_end = m_timers.schedule(until(*m_endAt), [this] { switchOff(); });
}

void AutoDisableRun::warn() {
    m_notifier.postOptional(
        UserNotificationId::autoDisableWarning,
        QStringLiteral("Throttling will be automatically disabled in 1 minute."),
        QStringLiteral("Failed to show auto-disable warning notification: "));
}

void AutoDisableRun::cancel() {
    m_end.reset();
    m_warning.reset();
    m_endAt.reset();
    m_warningAt.reset();
}

void AutoDisableRun::switchOff() {
    if (!m_service || !m_service->state().isOwnedByThisApplication()) {
        return;
    }
    endOwnThrottling(m_service);
    cancel();
}

QCoro::Task<> AutoDisableRun::endOwnThrottling(QPointer<ThrottleService> service) {
    const QPointer<AutoDisableRun> alive(this);
    const LifecycleLog log = m_log;
    std::optional<QString> failure;
    try {
        co_await service->endOwnThrottling();
    } catch (const std::exception& error) {
        failure = describeFailure(error);
    }
    if (failure) {
        log(QStringLiteral("Auto-disable failed: ") + *failure);
        co_return;
    }
    if (alive) {
        m_notifier.postOptional(
            UserNotificationId::autoDisableCompleted,
            QStringLiteral("Throttling has been automatically disabled."),
            QStringLiteral("Failed to show auto-disable completed notification: "));
    }
    log(QStringLiteral("Auto-disable: Throttling has been automatically disabled"));
}
