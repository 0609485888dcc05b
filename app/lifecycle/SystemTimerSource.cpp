// SPDX-License-Identifier: MIT
#include "SystemTimerSource.h"

#include <QTimer>

#include <algorithm>
#include <limits>

namespace {

class TimerAction final : public ScheduledAction {
public:
    TimerAction(std::chrono::milliseconds delay, std::function<void()> action) {
        m_timer.setSingleShot(true);
        // A coarse timer may be 5% late: a minute and a half on a 30-minute run.
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(action));
        // QTimer counts in int milliseconds (24.8 days); a run longer than
        // that ends at the limit rather than at once.
        const auto bounded = std::min<std::chrono::milliseconds::rep>(
            std::max<std::chrono::milliseconds::rep>(delay.count(), 0),
            std::numeric_limits<int>::max());
        m_timer.start(std::chrono::milliseconds(bounded));
    }

private:
    QTimer m_timer;
};

} // namespace

std::unique_ptr<ScheduledAction> SystemTimerSource::schedule(std::chrono::milliseconds delay,
                                                             std::function<void()> action) {
    return std::make_unique<TimerAction>(delay, std::move(action));
}
