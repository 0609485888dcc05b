// SPDX-License-Identifier: MIT
#include "ReconnectTakeBack.h"

#include <QPointer>

#include <optional>
#include <utility>

ReconnectTakeBack::ReconnectTakeBack(HelperClient& helper, QObject* parent)
    : QObject(parent)
    , m_helper(helper) {}

QCoro::Task<> ReconnectTakeBack::takeBack(ThrottleParameters parameters, ThrottleScope scope,
                                          ThrottleSchedule schedule, QString description,
                                          bool hold) {
    m_running = true;
    const QPointer<ReconnectTakeBack> alive(this);
    std::optional<ThrottleError> failure;
    quint64 id = 0;
    try {
        id = co_await m_helper.startThrottle(std::move(parameters), std::move(scope),
                                             std::move(schedule), std::move(description), hold);
    } catch (const ThrottleError& error) {
        failure = error;
    }
    if (!alive) {
        co_return;
    }
    m_running = false;
    if (failure) {
        Q_EMIT failed(*failure);
    } else {
        Q_EMIT takenBack(id);
    }
}

QCoro::Task<> ReconnectTakeBack::takeBackEach(std::map<quint64, BesideThrottle> lost,
                                              QString description) {
    const QPointer<ReconnectTakeBack> alive(this);
    for (auto& [oldId, throttle] : lost) {
        std::optional<ThrottleError> failure;
        quint64 id = 0;
        try {
            id = co_await m_helper.startThrottle(throttle.parameters, throttle.scope,
                                                 throttle.schedule, description, false);
        } catch (const ThrottleError& error) {
            failure = error;
        }
        if (!alive) {
            co_return;
        }
        if (failure) {
            Q_EMIT besideFailed(*failure);
        } else {
            Q_EMIT besideTakenBack(id, throttle);
        }
    }
}
