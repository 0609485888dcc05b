// SPDX-License-Identifier: MIT
#include "ScheduleValidator.h"

#include "ProfileFormData.h"
#include "ProfileValidator.h"

namespace {

QString durationRule() {
    return QStringLiteral("Duration must be between %1 ms and 24 hours")
        .arg(SchedulePhase::kMinDurationMs);
}

void validatePhase(QStringList& errors, std::size_t index, const ProfilePhase& phase) {
    const ValidationResult name =
        ProfileValidator::validateName(phase.name, QStringLiteral("Name"));
    // Named by number alone when the name is at fault: it may show nothing.
    const QString label = ProfileSchedule::phaseLabel(index, name.isValid ? phase.name : QString());
    if (!name.isValid) {
        errors << label + QStringLiteral(": ") + name.message.value_or(QString());
    }
    if (phase.durationMs < SchedulePhase::kMinDurationMs ||
        phase.durationMs > SchedulePhase::kMaxDurationMs) {
        errors << label + QStringLiteral(": ") + durationRule();
    }
    if (phase.conditions) {
        const ProfileValidationResult conditions =
            ProfileValidator::validateConditions(ProfileFormData::inputsShowing(*phase.conditions));
        for (const auto& [condition, message] : conditions.conditionErrors) {
            errors << label + QStringLiteral(": ") + message;
        }
    }
}

// Where the helper would play a rate it refuses, by the step's start.
void validateDirection(QStringList& errors, const char* direction,
                       const std::vector<std::int64_t>& rates, std::int64_t stepMs) {
    const auto steps = static_cast<std::int64_t>(rates.size());
    if (steps > CapacityTrace::kMaxLengthMs / stepMs) {
        errors
            << QStringLiteral("The %1 trace runs past 24 hours").arg(QLatin1StringView(direction));
        return;
    }
    for (std::int64_t i = 0; i < steps; ++i) {
        const std::int64_t rate = rates[static_cast<std::size_t>(i)];
        if (rate < 0 || rate > ParameterLimits::kMaxBandwidthBytesPerSecond) {
            errors << QStringLiteral("The %1 trace's rate at %2 ms is not within 0 and 10000 Mbps")
                          .arg(QLatin1StringView(direction))
                          .arg(i * stepMs);
            return;
        }
    }
}

void validateTrace(QStringList& errors, const CapacityTrace& trace) {
    if (trace.stepMs < CapacityTrace::kMinStepMs || trace.stepMs > CapacityTrace::kMaxStepMs) {
        errors << QStringLiteral("The trace's steps must be %1 to %2 ms long")
                      .arg(CapacityTrace::kMinStepMs)
                      .arg(CapacityTrace::kMaxStepMs);
        return;
    }
    validateDirection(errors, "download", trace.downloadBytesPerSecond, trace.stepMs);
    validateDirection(errors, "upload", trace.uploadBytesPerSecond, trace.stepMs);
}

} // namespace

QStringList ScheduleValidator::validate(const ProfileSchedule& schedule) {
    QStringList errors;
    if (!schedule.phases.empty() && !schedule.trace.empty()) {
        errors << QStringLiteral("A profile plays phases or a trace, not both");
    }
    if (schedule.phases.size() > ThrottleSchedule::kMaxPhases) {
        errors << QStringLiteral("A schedule has at most %1 phases, not %2")
                      .arg(ThrottleSchedule::kMaxPhases)
                      .arg(schedule.phases.size());
        return errors;
    }
    for (std::size_t i = 0; i < schedule.phases.size(); ++i) {
        validatePhase(errors, i, schedule.phases[i]);
    }
    if (!schedule.trace.empty()) {
        validateTrace(errors, schedule.trace);
    }
    return errors;
}
