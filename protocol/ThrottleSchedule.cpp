// SPDX-License-Identifier: MIT
#include "ThrottleSchedule.h"

#include <algorithm>

namespace {

// "100 ms", "1 s", "24 h": the largest unit that says the duration exactly.
std::string duration(std::int64_t ms) {
    constexpr std::pair<std::int64_t, const char*> kUnits[] = {
        {60LL * 60 * 1000, " h"}, {60 * 1000, " min"}, {1000, " s"}};
    for (const auto& [size, unit] : kUnits) {
        if (ms != 0 && ms % size == 0) {
            return std::to_string(ms / size) + unit;
        }
    }
    return std::to_string(ms) + " ms";
}

// Characters, not bytes: a name is counted as the panel shows it.
std::size_t characters(const std::string& text) {
    return std::size_t(std::count_if(text.begin(), text.end(), [](char byte) {
        return (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    }));
}

bool hasControl(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char byte) {
        const auto code = static_cast<unsigned char>(byte);
        return code < 0x20 || code == 0x7F;
    });
}

std::string phaseName(std::size_t index, const SchedulePhase& phase) {
    std::string name = "Phase " + std::to_string(index + 1);
    if (!phase.name.empty() && !hasControl(phase.name) &&
        characters(phase.name) <= SchedulePhase::kMaxNameLength) {
        name += " (" + phase.name + ")";
    }
    return name;
}

std::optional<std::string> checkPhase(std::size_t index, const SchedulePhase& phase) {
    const std::string name = phaseName(index, phase);
    if (hasControl(phase.name) || characters(phase.name) > SchedulePhase::kMaxNameLength) {
        return name + ": a phase's name is one line of at most " +
               std::to_string(SchedulePhase::kMaxNameLength) + " characters";
    }
    if (phase.durationMs < SchedulePhase::kMinDurationMs ||
        phase.durationMs > SchedulePhase::kMaxDurationMs) {
        return name + ": a phase lasts " + duration(SchedulePhase::kMinDurationMs) + " to " +
               duration(SchedulePhase::kMaxDurationMs) + ", not " + duration(phase.durationMs);
    }
    if (phase.outage) {
        return std::nullopt;
    }
    if (const auto failure = phase.parameters.check()) {
        return name + ": " + *failure;
    }
    return std::nullopt;
}

std::optional<std::string>
checkDirection(const char* direction, const std::vector<std::int64_t>& rates, std::int64_t stepMs) {
    const std::string name = std::string("The ") + direction + " trace";
    if (std::int64_t(rates.size()) > CapacityTrace::kMaxLengthMs / stepMs) {
        return name + " lasts at most " + duration(CapacityTrace::kMaxLengthMs) + ", not " +
               std::to_string(rates.size()) + " steps of " + duration(stepMs);
    }
    for (std::size_t step = 0; step < rates.size(); ++step) {
        if (rates[step] < 0 || rates[step] > ParameterLimits::kMaxBandwidthBytesPerSecond) {
            return name + ", step " + std::to_string(step + 1) + ": a rate is 0 to " +
                   std::to_string(ParameterLimits::kMaxBandwidthBytesPerSecond) + " B/s, not " +
                   std::to_string(rates[step]);
        }
    }
    return std::nullopt;
}

// A trace's rate of one direction at `step`; nothing keeps the throttle's.
std::optional<std::int64_t> rateAt(const std::vector<std::int64_t>& rates, std::int64_t step) {
    if (rates.empty()) {
        return std::nullopt;
    }
    return rates[std::size_t(step % std::int64_t(rates.size()))];
}

} // namespace

std::optional<std::string> ThrottleSchedule::check() const {
    if (!phases.empty() && !trace.empty()) {
        return std::string("A schedule has phases or a trace, not both");
    }
    if (phases.size() > kMaxPhases) {
        return "A schedule has at most " + std::to_string(kMaxPhases) + " phases, not " +
               std::to_string(phases.size());
    }
    for (std::size_t index = 0; index < phases.size(); ++index) {
        if (auto failure = checkPhase(index, phases[index])) {
            return failure;
        }
    }
    if (trace.empty()) {
        return std::nullopt;
    }
    if (trace.stepMs < CapacityTrace::kMinStepMs || trace.stepMs > CapacityTrace::kMaxStepMs) {
        return "A trace's step lasts " + duration(CapacityTrace::kMinStepMs) + " to " +
               duration(CapacityTrace::kMaxStepMs) + ", not " + duration(trace.stepMs);
    }
    if (auto failure = checkDirection("download", trace.downloadBytesPerSecond, trace.stepMs)) {
        return failure;
    }
    return checkDirection("upload", trace.uploadBytesPerSecond, trace.stepMs);
}

ThrottleSchedule::Position ThrottleSchedule::at(std::int64_t elapsedMs,
                                                const ThrottleParameters& base) const {
    const std::int64_t elapsed = std::max<std::int64_t>(elapsedMs, 0);
    Position position;
    position.parameters = base;
    if (phases.empty()) {
        if (trace.empty() || trace.stepMs <= 0) {
            return position;
        }
        const std::int64_t step = elapsed / trace.stepMs;
        // The rate of a blocked direction stays the throttle's own: nothing
        // queues behind a rate of nothing, and the next step finds the
        // shaping as it was.
        if (const auto rate = rateAt(trace.downloadBytesPerSecond, step)) {
            position.blocksDownload = *rate == 0;
            position.parameters.downloadBytesPerSecond =
                *rate == 0 ? base.downloadBytesPerSecond : *rate;
        }
        if (const auto rate = rateAt(trace.uploadBytesPerSecond, step)) {
            position.blocksUpload = *rate == 0;
            position.parameters.uploadBytesPerSecond =
                *rate == 0 ? base.uploadBytesPerSecond : *rate;
        }
        if (trace.downloadBytesPerSecond.size() > 1 || trace.uploadBytesPerSecond.size() > 1) {
            position.nextChangeMs = (step + 1) * trace.stepMs;
        }
        return position;
    }

    std::int64_t cycleMs = 0;
    for (const SchedulePhase& phase : phases) {
        cycleMs += phase.durationMs;
    }
    const std::int64_t lastStartMs = cycleMs - phases.back().durationMs;
    std::int64_t cycleStartMs = 0;
    std::int64_t within = elapsed;
    if (repeat && cycleMs > 0) {
        cycleStartMs = elapsed / cycleMs * cycleMs;
        within = elapsed % cycleMs;
    }
    std::size_t index = phases.size() - 1;
    std::int64_t phaseStartMs = lastStartMs;
    if (repeat || within < lastStartMs) {
        std::int64_t startMs = 0;
        for (index = 0; index + 1 < phases.size(); ++index) {
            if (within < startMs + phases[index].durationMs) {
                break;
            }
            startMs += phases[index].durationMs;
        }
        phaseStartMs = startMs;
    }
    const SchedulePhase& phase = phases[index];
    position.phase = index;
    position.phaseStartMs = cycleStartMs + phaseStartMs;
    if (phase.outage) {
        position.blocksDownload = position.blocksUpload = true;
    } else {
        position.parameters = phase.parameters;
    }
    if (repeat || index + 1 < phases.size()) {
        position.nextPhaseMs = position.phaseStartMs + phase.durationMs;
        position.nextChangeMs = position.nextPhaseMs;
    }
    return position;
}
