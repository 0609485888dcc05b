// SPDX-License-Identifier: MIT
// Applies rates, delays and losses with the traffic-control backend inside a
// private pair of network namespaces and prints what real traffic measured
// against what was requested, then how long a bulk download queues at each
// rate, with offloads on (or off with --offloads-off). Exits 1 when a figure
// is outside its target. Where the kernel cannot shape or namespaces cannot
// be made it says so and exits 0, or 1 when given --must-measure.
#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "HelperError.h"
#include "Logger.h"
#include "NetnsPair.h"
#include "ThrottlingManager.h"
#include "TrafficControlBackend.h"
#include "TrafficProbe.h"

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <future>
#include <optional>
#include <regex>
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
                                  std::make_unique<SystemUplinks>())) {}
    ~Bench() {
        disable();
        ::close(m_devNull);
    }

    void enable(std::int64_t down, std::int64_t up, std::int64_t latency, double loss) {
        const NetnsScope scope(m_pair.fd(Side::shaped));
        m_manager.enableThrottling({down, up, latency, loss, 0});
    }
    void disable() {
        const NetnsScope scope(m_pair.fd(Side::shaped));
        m_manager.disableThrottling();
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

// How long a probe waited behind a bulk download at one rate.
struct QueueFigure {
    std::string rate;
    double bitsPerSecond;
    double queuedMs;
    long limitPackets;
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
            double goodput = 0;
            if (down) {
                double queuedMs = 0;
                std::tie(goodput, queuedMs) = downloadWithProbes(bench, warmUp, measure, warmUp, 3,
                                                                 baselineMs + kRateRoundTripMs);
                queues.push_back({std::to_string(mbit) + " Mbit/s", mbit * 1e6, queuedMs,
                                  bench.downloadQueueLimit()});
            } else {
                goodput = TrafficProbe::tcpGoodputBitsPerSecond(bench.pair(), direction, false,
                                                                warmUp, measure);
            }
            const double wire = goodput * kWirePerPayload;
            printRow(std::string("TCP rate ") + (down ? "download" : "upload"),
                     std::to_string(mbit) + " Mbit/s",
                     format("%.3f Mbit/s on wire (%.3f payload)", wire / 1e6, goodput / 1e6),
                     std::abs(wire - mbit * 1e6) <= 0.05 * mbit * 1e6);
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

void measureLoss(Bench& bench) {
    for (const double percent : {1.0, 10.0}) {
        bench.enable(0, 0, 0, percent);
        const double measured =
            TrafficProbe::udpLossPercent(bench.pair(), Direction::download, false, 10'000, 300ms);
        printRow("UDP loss, 10000 packets", format("%.0f %%", percent), format("%.2f %%", measured),
                 std::abs(measured - percent) <= 1.0);
    }
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

std::string formatDuration(double ms) {
    if (std::isnan(ms)) {
        return "no answer";
    }
    return ms >= 10'000 ? format("%.1f s", ms / 1000) : format("%.0f ms", ms);
}

// Beside what dummynet, the macOS shaper, queues by default: 50 packets. A
// probe may wait at most that long plus 10 % (or plus 5 ms, what is more).
void printQueues(const std::vector<QueueFigure>& queues) {
    constexpr double kFullFrameBits = 1514 * 8;
    constexpr double kDummynetSlots = 50;
    std::printf("\n%-20s %-24s %-26s %-26s %s\n", "bulk TCP download", "a probe waited (most)",
                "netem queue full", "dummynet, 50 slots full", "target");
    for (const auto& queue : queues) {
        const std::string limit =
            queue.limitPackets < 0
                ? std::string("limit unknown")
                : formatDuration(queue.limitPackets * kFullFrameBits / queue.bitsPerSecond * 1000) +
                      " (" + std::to_string(queue.limitPackets) + " packets)";
        const double dummynetMs = kDummynetSlots * kFullFrameBits / queue.bitsPerSecond * 1000;
        const double targetMs = std::fmax(dummynetMs * 1.1, dummynetMs + 5);
        // No answer at all is no better than a queue too deep.
        const bool withinTarget = queue.queuedMs <= targetMs;
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
    bool mustMeasure = false;
    bool offloads = true;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--must-measure") {
            mustMeasure = true;
        } else if (argument == "--offloads-off") {
            offloads = false;
        } else {
            std::fprintf(stderr, "usage: shaping_accuracy [--must-measure] [--offloads-off]\n");
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
        std::vector<QueueFigure> queues = measureRates(*bench, baselineMs);
        measureDelays(*bench, baselineMs);
        measureLoss(*bench);
        queues.push_back(measureSlowProfileQueue(*bench, baselineMs));
        printQueues(queues);
    } catch (const std::exception& error) {
        std::printf("shaping-accuracy: measurement failed: %s\n", error.what());
        return 1;
    }
    return allWithinTarget ? 0 : 1;
}
