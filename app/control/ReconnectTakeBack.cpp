// SPDX-License-Identifier: MIT
#include "ReconnectTakeBack.h"

#include "CallFailure.h"

#include <QPointer>

#include <optional>
#include <utility>

ReconnectTakeBack::ReconnectTakeBack(HelperClient& helper, QObject* parent)
    : QObject(parent)
    , m_helper(helper) {}

QCoro::Task<> ReconnectTakeBack::takeBack(ThrottleParameters parameters, ThrottleScope scope,
                                          QString description, bool hold) {
    m_running = true;
    const QPointer<ReconnectTakeBack> alive(this);
    std::optional<ThrottleError> failure;
    std::optional<quint64> scopedId;
    if (scope.isMachine()) {
        failure = co_await failureOf(
            m_helper.takeThrottling(std::move(parameters), std::move(description), hold));
    } else {
        try {
            scopedId = co_await m_helper.startThrottle(std::move(parameters), std::move(scope),
                                                       std::move(description), hold);
        } catch (const ThrottleError& error) {
            failure = error;
        }
    }
    if (!alive) {
        co_return;
    }
    m_running = false;
    if (failure) {
        Q_EMIT failed(*failure);
    } else if (scopedId) {
        Q_EMIT scopedTakenBack(*scopedId);
    }
}
