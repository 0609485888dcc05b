// SPDX-License-Identifier: MIT
// Applies rates, delays, losses, jitter, loss runs, reordering and
// duplication with the traffic-control backend inside a private pair of
// network namespaces and prints what real traffic measured against what was
// requested, then how long a bulk download queues at each rate, with
// offloads on (or off with --offloads-off), and the helper's own statistics
// against what the traffic measured, throttles scoped to destinations
// beside each other and the whole machine, and schedules as the helper
// daemon plays them (alone with --schedules-only; their steps for ten
// minutes instead of 30 s with --long). Exits 1 when a figure
// is outside its target. Where the kernel cannot shape or namespaces cannot
// be made it says so and exits 0, or 1 when given --must-measure.
#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "HelperError.h"
#include "Logger.h"
#include "NetnsPair.h"
#include "ScheduleAccuracy.h"
#include "ScopedAccuracy.h"
#include "ThrottlingManager.h"
#include "TrafficControlBackend.h"
#include "TrafficProbe.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <limits>
#include <numeric>
#include <optional>
#include <regex>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;
using TrafficProbe::Direction;

namespace {

// TCP payload of a full 1514-byte Ethernet frame, with timestamps on: 1448.
// The rate netem enforces counts the whole frame.
constexpr double kWirePerPayload = 1514.0 / 1448.0;

// Added to every rate, as a real network's round trip would be.
constexpr std::int64_t kRateRoundTripMs = 20;

class Bench final {
public:
    Bench()
        : m_devNull(::open("/dev/null", O_WRONLY | O_CLOEXEC))
        , m_logger(m_devNull, false)
        , m_executor(m_logger)
        , m_manager(m_logger, std::make_unique<TrafficControlBackend>(
                                  m_logger, m_executor, pathsWithRecordIn(m_recordFolder),
                                  std::make_unique<SystemUplinks>(),
                                  TrafficControlBackend::Devices::overNetlink)) {}
    ~Bench() {
        disable();
        ::close(m_devNull);
    }

    void enable(std::int64_t down, std::int64_t up, std::int64_t latency, double loss) {
        enable({down, up, latency, loss, 0});
    }
    void enable(const ThrottleParameters& parameters) {
        const NetnsScope scope(m_pair.fd(Side::shaped));
        m_manager.enableThrottling(parameters);
    }
    void disable() {
        const NetnsScope scope(m_pair.fd(Side::shaped));
        m_manager.disableThrottling();
    }
    // The helper's figures of the download, and when the kernel gave them
    // (the middle of tc's run).
    std::pair<DirectionStatistics, std::chrono::steady_clock::time_point> downloadFigures() const {
        const NetnsScope scope(m_pair.fd(Side::shaped));
        const auto asked = std::chrono::steady_clock::now();
        const std::vector<ThrottleStatistics> statistics = m_manager.statistics();
        const auto answered = std::chrono::steady_clock::now();
        if (statistics.empty() || !statistics.front().download) {
            throw std::runtime_error("the helper found no download shaper");
        }
        return {*statistics.front().download, asked + (answered - asked) / 2};
    }
    double minimumRoundTripMs(int probes, std::chrono::milliseconds timeout) const {
        return TrafficProbe::minimumRoundTripMs(m_pair, false, probes, timeout);
    }
    // The packets the download netem may hold, as the kernel reports it.
    long downloadQueueLimit() {
        const std::string qdisc =
            m_pair.run(Side::shaped, "/usr/sbin/tc", {"qdisc", "show", "dev", "vtifb-vt0"});
        std::smatch match;
        return std::regex_search(qdisc, match, std::regex("netem .* limit ([0-9]+)"))
                   ? std::stol(match[1])
                   : -1;
    }
    const NetnsPair& pair() const { return m_pair; }
    NetnsPair& pair() { return m_pair; }
    const Logger& logger() const { return m_logger; }
    const CommandExecutor& executor() const { return m_executor; }
    void setOffloads(bool on) { m_pair.setOffloads(on); }

private:
    // The real tools; the change record in a folder of our own, never the
    // machine's /run.
    static EnginePaths pathsWithRecordIn(const FakeToolSandbox& folder) {
        EnginePaths paths;
        paths.changeRecord = folder.path("/shaping.record");
        return paths;
    }

    NetnsPair m_pair;
    FakeToolSandbox m_recordFolder;
    int m_devNull;
    Logger m_logger;
    CommandExecutor m_executor;
    ThrottlingManager m_manager;
};

// Whether every row so far was within its target: the exit status.
bool allWithinTarget = true;

void printRow(const std::string& what, const std::string& requested, const std::string& measured,
              bool withinTarget) {
    std::printf("%-26s %-14s %-34s %s\n", what.c_str(), requested.c_str(), measured.c_str(),
                withinTarget ? "ok" : "OUTSIDE TARGET");
    allWithinTarget = allWithinTarget && withinTarget;
}

std::string format(const char* pattern, double value, double second = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, value, second);
    return text;
}

constexpr double kFullFrameBits = 1514 * 8;

// How long dummynet's default queue of 50 full frames takes to drain.
double dummynetQueueMs(double bitsPerSecond) {
    return 50 * kFullFrameBits / bitsPerSecond * 1000;
}
double queueTargetMs(double bitsPerSecond) {
    const double dummynetMs = dummynetQueueMs(bitsPerSecond);
    return std::fmax(dummynetMs * 1.1, dummynetMs + 5);
}

// How long a probe waited behind a bulk download at one rate.
struct QueueFigure {
    std::string rate;
    double bitsPerSecond;
    double queuedMs;
    long limitPackets;

    // No answer at all is no better than a queue too deep.
    bool withinTarget() const { return queuedMs <= queueTargetMs(bitsPerSecond); }
};

// A bulk download, and from `probeAfter` on the longest of `probes` UDP round
// trips taken one after another beside it (their answers wait in the same
// queue), less `unloadedMs`. The download must outlast the probes.
std::pair<double, double> downloadWithProbes(Bench& bench, std::chrono::milliseconds warmUp,
                                             std::chrono::milliseconds measure,
                                             std::chrono::milliseconds probeAfter, int probes,
                                             double unloadedMs) {
    auto bulk = std::async(std::launch::async, [&] {
        return TrafficProbe::tcpGoodputBitsPerSecond(bench.pair(), Direction::download, false,
                                                     warmUp, measure);
    });
    std::this_thread::sleep_for(probeAfter);
    // NaN, printed as "no answer", when the queue dropped every probe.
    double longestMs = std::nan("");
    for (int i = 0; i < probes; ++i) {
        const double roundTripMs = bench.minimumRoundTripMs(1, 20s);
        longestMs = std::isnan(longestMs) ? roundTripMs : std::fmax(longestMs, roundTripMs);
    }
    return {bulk.get(), longestMs - unloadedMs};
}

std::string formatDuration(double ms) {
    if (std::isnan(ms)) {
        return "no answer";
    }
    return ms >= 10'000 ? format("%.1f s", ms / 1000) : format("%.0f ms", ms);
}

std::vector<QueueFigure> measureRates(Bench& bench, double baselineMs) {
    // Long enough for TCP to fill the queue and for three probes behind the
    // deepest one (50 frames at 1 Mbit/s: 0.6 s).
    constexpr auto warmUp = 1500ms;
    constexpr auto measure = 3000ms;
    std::vector<QueueFigure> queues;
    for (const int mbit : {1, 10, 50}) {
        for (const Direction direction : {Direction::download, Direction::upload}) {
            const std::int64_t bytes = mbit * 125'000;
            const bool down = direction == Direction::download;
            // With a round trip under half a millisecond the sender would
            // hand over 64 KB at a time, which netem releases in bursts.
            bench.enable(down ? bytes : 0, down ? 0 : bytes, kRateRoundTripMs, 0.0);
            // A loaded machine can starve the guest for a while: a figure
            // outside its target is measured up to twice more before it counts.
            constexpr int kAttempts = 3;
            for (int attempt = 1;; ++attempt) {
                double goodput = 0;
                std::optional<QueueFigure> queue;
                if (down) {
                    double queuedMs = 0;
                    std::tie(goodput, queuedMs) = downloadWithProbes(
                        bench, warmUp, measure, warmUp, 3, baselineMs + kRateRoundTripMs);
                    queue = QueueFigure{std::to_string(mbit) + " Mbit/s", mbit * 1e6, queuedMs,
                                        bench.downloadQueueLimit()};
                } else {
                    goodput = TrafficProbe::tcpGoodputBitsPerSecond(bench.pair(), direction, false,
                                                                    warmUp, measure);
                }
                const double wire = goodput * kWirePerPayload;
                const bool withinTarget = std::abs(wire - mbit * 1e6) <= 0.05 * mbit * 1e6 &&
                                          (!queue || queue->withinTarget());
                const std::string what = std::string("TCP rate ") + (down ? "download" : "upload");
                const std::string measured =
                    format("%.3f Mbit/s on wire (%.3f payload)", wire / 1e6, goodput / 1e6);
                if (!withinTarget && attempt < kAttempts) {
                    const std::string queued =
                        queue ? ", a probe waited " + formatDuration(queue->queuedMs) : "";
                    std::printf("%-26s %-14s %-34s %s\n", what.c_str(),
                                (std::to_string(mbit) + " Mbit/s").c_str(), measured.c_str(),
                                ("outside target" + queued + ", measured again").c_str());
                    continue;
                }
                printRow(what, std::to_string(mbit) + " Mbit/s", measured,
                         std::abs(wire - mbit * 1e6) <= 0.05 * mbit * 1e6);
                if (queue) {
                    queues.push_back(*queue);
                }
                break;
            }
        }
    }
    return queues;
}

void measureDelays(Bench& bench, double baselineMs) {
    for (const int ms : {50, 100, 400}) {
        bench.enable(0, 0, ms, 0.0);
        const double added = bench.minimumRoundTripMs(ms >= 400 ? 8 : 15, 1500ms) - baselineMs;
        printRow("added round trip (UDP)", std::to_string(ms) + " ms", format("%.2f ms", added),
                 std::abs(added - ms) <= 2.0 + 0.02 * ms);
    }
}

// Round trips less the baseline, sorted; their standard deviation.
struct Spread {
    std::vector<double> trips;
    double deviation = 0;
};

std::optional<Spread> roundTripSpread(Bench& bench, double baselineMs, int count,
                                      std::chrono::milliseconds spacing) {
    Spread spread;
    spread.trips = TrafficProbe::udpRoundTripsMs(bench.pair(), false, count, spacing, 1500ms);
    if (spread.trips.size() < static_cast<std::size_t>(count) * 9 / 10) {
        printRow("UDP round trips", std::to_string(count),
                 std::to_string(spread.trips.size()) + " answered", false);
        return std::nullopt;
    }
    for (double& trip : spread.trips) {
        trip -= baselineMs;
    }
    std::sort(spread.trips.begin(), spread.trips.end());
    const double mean =
        std::accumulate(spread.trips.begin(), spread.trips.end(), 0.0) / spread.trips.size();
    double squares = 0;
    for (const double trip : spread.trips) {
        squares += (trip - mean) * (trip - mean);
    }
    spread.deviation = std::sqrt(squares / (spread.trips.size() - 1));
    return spread;
}

// Arrivals before some smaller number that came later: packets that
// overtook one sent before them.
std::size_t overtaking(const std::vector<std::uint32_t>& order) {
    std::size_t count = 0;
    std::uint32_t smallestLater = std::numeric_limits<std::uint32_t>::max();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        count += *it > smallestLater ? 1 : 0;
        smallestLater = std::min(smallestLater, *it);
    }
    return count;
}

// netem draws each direction's delay uniformly within half the jitter either
// side of its half of the latency, so a round trip, the sum of two such
// draws, spreads as a triangle over the latency plus or minus the jitter,
// with standard deviation jitter / sqrt(6); the probes' own scatter without
// jitter (well under a millisecond in the guest) hardly adds to it. Of 200
// round trips the deviation is known to about 5 %: the target is three
// times that. Then a dense stream through the same delays: nothing is sent
// ahead unless reordering is asked for.
void measureJitter(Bench& bench, double baselineMs) {
    constexpr std::int64_t latency = 100;
    constexpr std::int64_t jitter = 20;
    bench.enable({.latencyMs = latency, .jitterMs = jitter});
    // Further apart than one direction's spread (the jitter), so that no
    // probe waits behind the one before it, which keeps the order.
    if (const std::optional<Spread> spread = roundTripSpread(bench, baselineMs, 200, 25ms)) {
        const double expected = jitter / std::sqrt(6.0);
        printRow("UDP round trip, jitter", "100 ± 20 ms",
                 format("sd %.2f ms (%.2f expected)", spread->deviation, expected),
                 std::abs(spread->deviation - expected) <= 0.15 * expected);
        // Late by as much as the delay rows allow, never early.
        const double least = spread->trips.front();
        const double most = spread->trips.back();
        printRow("  all of them within",
                 format("%.0f - %.0f ms", latency - jitter, latency + jitter),
                 format("%.1f - %.1f ms", least, most),
                 least >= latency - jitter && most <= latency + jitter + 2.0 + 0.02 * latency);
    }
    constexpr int count = 2'000;
    for (const Direction direction : {Direction::download, Direction::upload}) {
        const std::vector<std::uint32_t> order =
            TrafficProbe::udpArrivalOrder(bench.pair(), direction, false, count, 300ms);
        const std::size_t ahead = overtaking(order);
        printRow(
            std::string("UDP order, jitter, ") + (direction == Direction::download ? "down" : "up"),
            "in order", std::to_string(ahead) + " of " + std::to_string(order.size()) + " overtook",
            ahead == 0 && order.size() == static_cast<std::size_t>(count));
    }
}

// Rates of loss, and how long runs of lost packets are. Independent losses
// run for 1 / (1 - loss) on average. With correlation the engine uses
// netem's two-state model: a loss leads to the lossy state, left with chance
// r = (1 - loss)(1 - correlation) per packet, so runs are geometric with mean
// 1 / r. Correlation stretches the scatter: 15000 packets at 5 % with 50 %
// know the rate to some 0.3 points and the mean run to some 4 %.
void measureLoss(Bench& bench) {
    struct Request {
        double loss;
        double correlation;
        int count;
    };
    for (const auto& [loss, correlation, count] :
         {Request{1, 0, 10'000}, Request{10, 0, 10'000}, Request{5, 50, 15'000}}) {
        bench.enable({.packetLossPercent = loss, .lossCorrelationPercent = correlation});
        const DirectionStatistics before = bench.downloadFigures().first;
        const std::vector<std::uint32_t> order =
            TrafficProbe::udpArrivalOrder(bench.pair(), Direction::download, false, count, 300ms);
        const DirectionStatistics after = bench.downloadFigures().first;
        std::vector<bool> arrived(count, false);
        for (const std::uint32_t number : order) {
            arrived[std::min<std::uint32_t>(number, count - 1)] = true;
        }
        int lost = 0;
        int runs = 0;
        for (int i = 0; i < count; ++i) {
            lost += arrived[i] ? 0 : 1;
            runs += !arrived[i] && (i == 0 || arrived[i - 1]) ? 1 : 0;
        }
        const double measuredLoss = 100.0 * lost / count;
        const double meanRun = runs > 0 ? static_cast<double>(lost) / runs : 0;
        const double expectedRun = 1 / ((1 - loss / 100) * (1 - correlation / 100));
        const std::string what = correlation > 0
                                     ? format("UDP loss %.0f %% corr., %.0f", correlation, count)
                                     : format("UDP loss, %.0f packets", count);
        printRow(what, format("%.0f %%", loss),
                 format("%.2f %%, mean run %.2f", measuredLoss, meanRun) +
                     format(" (%.2f exp.)", expectedRun),
                 std::abs(measuredLoss - loss) <= 1.0 &&
                     std::abs(meanRun - expectedRun) <= 0.15 * expectedRun);
        // What the helper says it dropped, against what the receiver missed.
        const double dropped = static_cast<double>(after.dropped - before.dropped);
        const double offered = dropped + static_cast<double>(after.packets - before.packets);
        const double droppedShare = offered > 0 ? 100.0 * dropped / offered : 0;
        printRow("  helper's drop share", format("%.2f %% lost", measuredLoss),
                 format("%.2f %% of ", droppedShare) + format("%.0f packets", offered),
                 std::abs(droppedShare - measuredLoss) <= 1.0);
    }
}

// One stream asks for both, each copy of a packet sent ahead or not on its
// own: reordered copies skip the delay and overtake those still held in it,
// duplicated packets arrive twice. Neither may lose a packet.
void measureReorderAndDuplicates(Bench& bench) {
    constexpr int count = 8'000;
    constexpr double percent = 5;
    // The inbound half of the latency holds a thousand packets of the
    // stream for each one sent ahead to overtake, however the sender's
    // pauses fall.
    bench.enable({.latencyMs = 100, .reorderPercent = percent, .duplicatePercent = percent});
    std::vector<std::uint32_t> order =
        TrafficProbe::udpArrivalOrder(bench.pair(), Direction::download, false, count, 300ms);
    const std::size_t arrivals = std::max<std::size_t>(order.size(), 1);
    const double reordered = 100.0 * static_cast<double>(overtaking(order)) / arrivals;
    std::sort(order.begin(), order.end());
    std::size_t twice = 0;
    for (std::size_t i = 1; i < order.size(); ++i) {
        twice += order[i] == order[i - 1] ? 1 : 0;
    }
    const std::size_t lost = count - std::min<std::size_t>(order.size() - twice, count);
    const double duplicated = 100.0 * static_cast<double>(twice) / count;
    printRow("UDP reordering", format("%.0f %% ahead", percent), format("%.2f %%", reordered),
             std::abs(reordered - percent) <= 1.0);
    printRow("UDP duplication", format("%.0f %% twice", percent),
             format("%.2f %%, ", duplicated) + std::to_string(lost) + " lost",
             std::abs(duplicated - percent) <= 1.0 && lost == 0);
}

// The rate the helper reports for a bulk download at 1 Mbit/s, against what
// the receiver measured (on the wire, as the helper counts it): two readings
// of its counters well inside the receiver's window, where the rate is steady.
void measureReportedRate(Bench& bench) {
    constexpr auto warmUp = 1500ms;
    constexpr auto measure = 3000ms;
    bench.enable(125'000, 0, kRateRoundTripMs, 0.0);
    auto bulk = std::async(std::launch::async, [&] {
        return TrafficProbe::tcpGoodputBitsPerSecond(bench.pair(), Direction::download, false,
                                                     warmUp, measure);
    });
    std::this_thread::sleep_for(warmUp + 200ms);
    const auto [first, firstAt] = bench.downloadFigures();
    std::this_thread::sleep_for(measure - 400ms);
    const auto [last, lastAt] = bench.downloadFigures();
    const double receiver = bulk.get() * kWirePerPayload;
    const double reported = static_cast<double>(last.bytes - first.bytes) * 8 /
                            std::chrono::duration<double>(lastAt - firstAt).count();
    printRow("helper's rate, download", "1 Mbit/s",
             format("%.3f Mbit/s (receiver %.3f)", reported / 1e6, receiver / 1e6),
             std::abs(reported - receiver) <= 0.05 * receiver);
    // A change in place keeps what is queued on the old schedule: up to 600 ms
    // of this download would delay the next measurement's first probes.
    bench.disable();
}

// The profile with the slowest download of the built-in ones ("Edge": 240
// kbit/s down, 200 up, 400 ms), where a deep queue hurts most.
QueueFigure measureSlowProfileQueue(Bench& bench, double baselineMs) {
    bench.enable(30'000, 25'000, 400, 0.0);
    // Slow start has filled the queue after about 2 s; one probe then takes
    // about as long as the queue is deep.
    const double queuedMs = downloadWithProbes(bench, 0ms, 7s, 3s, 1, baselineMs + 400).second;
    return {"240 kbit/s, 400 ms", 240e3, queuedMs, bench.downloadQueueLimit()};
}

// Beside what dummynet, the macOS shaper, queues by default: 50 packets. A
// probe may wait at most that long plus 10 % (or plus 5 ms, what is more).
void printQueues(const std::vector<QueueFigure>& queues) {
    std::printf("\n%-20s %-24s %-26s %-26s %s\n", "bulk TCP download", "a probe waited (most)",
                "netem queue full", "dummynet, 50 slots full", "target");
    for (const auto& queue : queues) {
        const std::string limit =
            queue.limitPackets < 0
                ? std::string("limit unknown")
                : formatDuration(queue.limitPackets * kFullFrameBits / queue.bitsPerSecond * 1000) +
                      " (" + std::to_string(queue.limitPackets) + " packets)";
        const double dummynetMs = dummynetQueueMs(queue.bitsPerSecond);
        const double targetMs = queueTargetMs(queue.bitsPerSecond);
        const bool withinTarget = queue.withinTarget();
        std::printf("%-20s %-24s %-26s %-26s %s\n", queue.rate.c_str(),
                    formatDuration(queue.queuedMs).c_str(), limit.c_str(),
                    formatDuration(dummynetMs).c_str(),
                    withinTarget ? "ok"
                                 : ("OUTSIDE TARGET (" + formatDuration(targetMs) + ")").c_str());
        allWithinTarget = allWithinTarget && withinTarget;
    }
}

} // namespace

int main(int argc, char** argv) {
    // The schedule rows talk to the helper daemon over a bus.
    const QCoreApplication application(argc, argv);
    bool mustMeasure = false;
    bool offloads = true;
    bool schedulesOnly = false;
    bool longRun = false;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--must-measure") {
            mustMeasure = true;
        } else if (argument == "--offloads-off") {
            offloads = false;
        } else if (argument == "--schedules-only") {
            schedulesOnly = true;
        } else if (argument == "--long") {
            longRun = true;
        } else {
            std::fprintf(stderr, "usage: shaping_accuracy [--must-measure] [--offloads-off] "
                                 "[--schedules-only] [--long]\n");
            return 2;
        }
    }
    std::optional<Bench> bench;
    try {
        bench.emplace();
        bench->enable(0, 0, 0, 0.0);
    } catch (const std::exception& error) {
        std::printf("shaping-accuracy: cannot measure here: %s\n", error.what());
        return mustMeasure ? 1 : 0;
    }
    try {
        // A real machine's interfaces offload segmentation and receive in
        // packets of up to 64 KB; the queue must hold frames all the same.
        bench->setOffloads(offloads);
        std::printf("offloads (TSO, GSO, GRO) %s\n", offloads ? "on" : "off");
        bench->disable();
        const double baselineMs = bench->minimumRoundTripMs(20, 500ms);
        std::printf("baseline round trip %.3f ms\n\n", baselineMs);
        std::printf("%-26s %-14s %-34s %s\n", "measurement", "requested", "measured", "target");
        if (schedulesOnly) {
            bench->disable();
            measureSchedules(bench->pair(), printRow, longRun);
            return allWithinTarget ? 0 : 1;
        }
        std::vector<QueueFigure> queues = measureRates(*bench, baselineMs);
        measureDelays(*bench, baselineMs);
        measureLoss(*bench);
        measureReportedRate(*bench);
        measureJitter(*bench, baselineMs);
        measureReorderAndDuplicates(*bench);
        // The scoped throttles are the engine's alone, with a record of their
        // own: nothing of the helper's may be in force.
        bench->disable();
        measureScopedThrottles(bench->pair(), bench->logger(), bench->executor(), printRow);
        measureSchedules(bench->pair(), printRow, longRun);
        queues.push_back(measureSlowProfileQueue(*bench, baselineMs));
        printQueues(queues);
    } catch (const std::exception& error) {
        std::printf("shaping-accuracy: measurement failed: %s\n", error.what());
        return 1;
    }
    return allWithinTarget ? 0 : 1;
}
