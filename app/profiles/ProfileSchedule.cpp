// SPDX-License-Identifier: MIT
#include "ProfileSchedule.h"

#include "PacketDeliveryTrace.h"

QString ProfileSchedule::lengthText(std::int64_t ms) {
    constexpr std::int64_t second = 1000;
    constexpr std::int64_t minute = 60 * second;
    constexpr std::int64_t hour = 60 * minute;
    if (ms < second) {
        return QStringLiteral("%1 ms").arg(ms);
    }
    // To the nearest whole unit, as the trace's own figures are rounded: a
    // trace of 9.7 s reads "10 s", not "9 s".
    if (ms < minute) {
        return QStringLiteral("%1 s").arg((ms + second / 2) / second);
    }
    if (ms < hour) {
        return QStringLiteral("%1 min").arg((ms + minute / 2) / minute);
    }
    const std::int64_t minutes = (ms + minute / 2) / minute;
    return minutes % 60 == 0 ? QStringLiteral("%1 h").arg(minutes / 60)
                             : QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QString ProfileSchedule::description() const {
    if (!phases.empty()) {
        const QString count = phases.size() == 1 ? QStringLiteral("1 phase")
                                                 : QStringLiteral("%1 phases").arg(phases.size());
        return count + (repeat ? QStringLiteral(", repeating") : QStringLiteral(", once"));
    }
    if (!trace.empty()) {
        return QStringLiteral("Trace ") +
               lengthText(PacketDeliveryTrace::summary(trace).lengthMs());
    }
    return {};
}

QString ProfileSchedule::phaseLabel(std::size_t index, const QString& name) {
    const QString number = QStringLiteral("Phase %1").arg(index + 1);
    return name.trimmed().isEmpty() ? number : number + QStringLiteral(" (%1)").arg(name);
}

std::optional<ThrottleSchedule> ProfileSchedule::toSchedule(QString& failure) const {
    ThrottleSchedule schedule;
    schedule.repeat = repeat;
    schedule.trace = trace;
    for (std::size_t i = 0; i < phases.size(); ++i) {
        const ProfilePhase& phase = phases[i];
        SchedulePhase wire;
        wire.name = phase.name.toStdString();
        wire.durationMs = phase.durationMs;
        wire.outage = phase.isOutage();
        if (phase.conditions) {
            QString reason;
            const std::optional<ThrottleParameters> parameters =
                phase.conditions->toParameters(reason);
            if (!parameters) {
                failure = phaseLabel(i, phase.name) + QStringLiteral(": ") + reason;
                return std::nullopt;
            }
            wire.parameters = *parameters;
        }
        schedule.phases.push_back(std::move(wire));
    }
    return schedule;
}
