// SPDX-License-Identifier: MIT
#include "ScheduleFigures.h"

#include <cmath>
#include <map>
#include <numeric>

namespace ScheduleFigures {

std::vector<double> binnedRates(const std::vector<Arrival>& arrivals, double fromMs, double binMs,
                                int count) {
    std::vector<double> bits(static_cast<std::size_t>(count), 0.0);
    for (const Arrival& arrival : arrivals) {
        const double bin = std::floor((arrival.atMs - fromMs) / binMs);
        if (bin >= 0 && bin < count) {
            bits[static_cast<std::size_t>(bin)] += 8.0 * static_cast<double>(arrival.bytes);
        }
    }
    for (double& each : bits) {
        each /= binMs / 1000;
    }
    return bits;
}

std::vector<double> traceRates(const std::vector<std::int64_t>& trace, double stepMs, double fromMs,
                               double binMs, int count) {
    // Each step's share of a bin, whole steps or the parts of those that
    // straddle its edges.
    const auto stepAt = [&](double ms) {
        const auto step = static_cast<std::int64_t>(std::floor(ms / stepMs));
        const auto size = static_cast<std::int64_t>(trace.size());
        return trace[static_cast<std::size_t>(((step % size) + size) % size)];
    };
    std::vector<double> rates;
    for (int bin = 0; bin < count; ++bin) {
        const double begin = fromMs + bin * binMs;
        const double end = begin + binMs;
        double bytes = 0;
        for (double at = begin; at < end;) {
            const double next = std::fmin((std::floor(at / stepMs) + 1) * stepMs, end);
            bytes += static_cast<double>(stepAt(at)) * (next - at);
            at = next;
        }
        rates.push_back(8 * bytes / binMs);
    }
    return rates;
}

double mean(const std::vector<double>& values) {
    return values.empty() ? 0.0
                          : std::accumulate(values.begin(), values.end(), 0.0) /
                                static_cast<double>(values.size());
}

double correlation(const std::vector<double>& first, const std::vector<double>& second) {
    const double firstMean = mean(first);
    const double secondMean = mean(second);
    double product = 0;
    double firstSquares = 0;
    double secondSquares = 0;
    for (std::size_t i = 0; i < first.size() && i < second.size(); ++i) {
        product += (first[i] - firstMean) * (second[i] - secondMean);
        firstSquares += (first[i] - firstMean) * (first[i] - firstMean);
        secondSquares += (second[i] - secondMean) * (second[i] - secondMean);
    }
    return firstSquares > 0 && secondSquares > 0 ? product / std::sqrt(firstSquares * secondSquares)
                                                 : 0.0;
}

bool OutageFigures::withinTarget(double marginMs) const {
    return throughInside == 0 && lostOutside == 0 && startErrorMs && endErrorMs &&
           std::abs(*startErrorMs) <= marginMs && std::abs(*endErrorMs) <= marginMs;
}

OutageFigures outageFigures(const std::vector<Probe>& probes, double fromMs, double untilMs,
                            double marginMs) {
    OutageFigures figures;
    std::optional<std::size_t> firstLost;
    std::optional<std::size_t> lastLost;
    for (std::size_t i = 0; i < probes.size(); ++i) {
        const Probe& probe = probes[i];
        if (probe.arrived && probe.sentMs >= fromMs + marginMs &&
            probe.sentMs < untilMs - marginMs) {
            ++figures.throughInside;
        }
        if (!probe.arrived &&
            (probe.sentMs < fromMs - marginMs || probe.sentMs >= untilMs + marginMs)) {
            ++figures.lostOutside;
        }
        if (!probe.arrived) {
            firstLost = firstLost.value_or(i);
            lastLost = i;
        }
    }
    if (firstLost) {
        figures.startErrorMs = probes[*firstLost].sentMs - fromMs;
        for (std::size_t i = *lastLost + 1; i < probes.size(); ++i) {
            if (probes[i].arrived) {
                figures.endErrorMs = probes[i].sentMs - untilMs;
                break;
            }
        }
    }
    return figures;
}

std::vector<StepTiming> stepTimings(const std::vector<RateChange>& changes,
                                    const std::vector<std::int64_t>& trace, std::int64_t stepMs) {
    std::map<std::uint64_t, std::int64_t> stepOfRate;
    for (std::size_t step = 0; step < trace.size(); ++step) {
        stepOfRate.emplace(static_cast<std::uint64_t>(trace[step]), std::int64_t(step));
    }
    const double loopMs = static_cast<double>(stepMs) * static_cast<double>(trace.size());
    std::vector<StepTiming> timings;
    for (const RateChange& change : changes) {
        const auto found = stepOfRate.find(change.bytesPerSecond);
        if (found == stepOfRate.end()) {
            continue;
        }
        const double firstDueMs = static_cast<double>(found->second * stepMs);
        const auto loop =
            static_cast<std::int64_t>(std::round((change.atMs - firstDueMs) / loopMs));
        const std::int64_t step = loop * std::int64_t(trace.size()) + found->second;
        if (step > 0) {
            timings.push_back({step, change.atMs - static_cast<double>(step * stepMs)});
        }
    }
    return timings;
}

} // namespace ScheduleFigures
