// SPDX-License-Identifier: MIT
#include "ScheduleStandingText.h"

#include <algorithm>

namespace ScheduleStandingText {

QString timeLeft(std::int64_t ms) {
    const std::int64_t seconds = (std::max<std::int64_t>(ms, 0) + 999) / 1000;
    if (seconds < 60) {
        return QStringLiteral("%1 s").arg(seconds);
    }
    if (seconds < 3600) {
        const std::int64_t rest = seconds % 60;
        return rest == 0 ? QStringLiteral("%1 min").arg(seconds / 60)
                         : QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(rest);
    }
    const std::int64_t minutes = seconds % 3600 / 60;
    return minutes == 0 ? QStringLiteral("%1 h").arg(seconds / 3600)
                        : QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(minutes);
}

QString line(const ScheduleDictionary::Standing& standing, std::int64_t nowMs) {
    if (standing.isTrace) {
        return QStringLiteral("Recorded trace, looping");
    }
    QString text = QStringLiteral("%1 of %2").arg(standing.phase + 1).arg(standing.phaseCount);
    if (!standing.phaseName.isEmpty()) {
        text += QStringLiteral(" · ") + standing.phaseName;
    }
    // A phase past its due time reads "0 s left" until the helper publishes
    // the next one, rather than a time that runs backwards.
    if (!standing.nextPhaseAt) {
        return text + QStringLiteral(" · holds");
    }
    return text + QStringLiteral(" · ") + timeLeft(*standing.nextPhaseAt - nowMs) +
           QStringLiteral(" left");
}

} // namespace ScheduleStandingText
