// SPDX-License-Identifier: MIT
#include "ReconnectTakeBack.h"

#include "CallFailure.h"

#include <QPointer>

#include <optional>
#include <utility>

ReconnectTakeBack::ReconnectTakeBack(HelperClient& helper, QObject* parent)
    : QObject(parent)
    , m_helper(helper) {}

QCoro::Task<> ReconnectTakeBack::takeBack(ThrottleParameters parameters, QString description,
                                          bool hold) {
    m_running = true;
    const QPointer<ReconnectTakeBack> alive(this);
    const std::optional<ThrottleError> failure = co_await failureOf(
        m_helper.takeThrottling(std::move(parameters), std::move(description), hold));
    if (!alive) {
        co_return;
    }
    m_running = false;
    if (failure) {
        Q_EMIT failed(*failure);
    }
}
