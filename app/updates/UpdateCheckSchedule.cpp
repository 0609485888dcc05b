// SPDX-License-Identifier: MIT
#include "UpdateCheckSchedule.h"

#include "UserDefaults.h"

#include <utility>

UpdateCheckSchedule::UpdateCheckSchedule(UserDefaults& defaults,
                                         std::unique_ptr<UpdateCheckTimer> timer,
                                         std::chrono::milliseconds firstCheckDelay,
                                         std::chrono::milliseconds checkInterval, QObject* parent)
    : QObject(parent)
    , m_defaults(defaults)
    , m_timer(std::move(timer))
    , m_firstCheckDelay(firstCheckDelay)
    , m_checkInterval(checkInterval) {
    connect(m_timer.get(), &UpdateCheckTimer::timeout, this, &UpdateCheckSchedule::timedOut);
}

UpdateCheckSchedule::~UpdateCheckSchedule() = default;

void UpdateCheckSchedule::start() {
    m_started = true;
    if (isEnabled()) {
        m_timer->start(m_firstCheckDelay);
    }
}

bool UpdateCheckSchedule::isEnabled() const {
    return !m_defaults.contains(automaticChecksKey) || m_defaults.boolValue(automaticChecksKey);
}

void UpdateCheckSchedule::setEnabled(bool enabled) {
    m_defaults.setValue(automaticChecksKey, enabled);
    if (m_started) {
        if (enabled) {
            m_timer->start(m_firstCheckDelay);
        } else {
            m_timer->stop();
        }
    }
}

void UpdateCheckSchedule::timedOut() {
    m_timer->start(m_checkInterval);
    if (isEnabled()) {
        emit due();
    }
}
