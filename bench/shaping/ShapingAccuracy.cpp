// SPDX-License-Identifier: MIT
// Applies rates, delays and losses with the traffic-control backend inside a
// private pair of network namespaces and prints what real traffic measured
// against what was requested. Exits 0 without figures where the kernel cannot
// shape or namespaces cannot be made.
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
#include <optional>
#include <string>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;
using TrafficProbe::Direction;

namespace {

// TCP payload of a full 1514-byte Ethernet frame, with timestamps on: 1448.
// The rate netem enforces counts the whole frame.
constexpr double kWirePerPayload = 1514.0 / 1448.0;

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
        m_manager.enableThrottling(down, up, latency, loss, 0);
    }
    void disable() {
        const NetnsScope scope(m_pair.fd(Side::shaped));
        m_manager.disableThrottling();
    }
    double minimumRoundTripMs(int probes, std::chrono::milliseconds timeout) const {
        return TrafficProbe::minimumRoundTripMs(m_pair, false, probes, timeout);
    }
    const NetnsPair& pair() const { return m_pair; }

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

void printRow(const std::string& what, const std::string& requested, const std::string& measured,
              bool withinTarget) {
    std::printf("%-26s %-14s %-34s %s\n", what.c_str(), requested.c_str(), measured.c_str(),
                withinTarget ? "ok" : "OUTSIDE TARGET");
}

std::string format(const char* pattern, double value, double second = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, value, second);
    return text;
}

void measureRates(Bench& bench) {
    for (const int mbit : {1, 10, 50}) {
        for (const Direction direction : {Direction::download, Direction::upload}) {
            const std::int64_t bytes = mbit * 125'000;
            const bool down = direction == Direction::download;
            bench.enable(down ? bytes : 0, down ? 0 : bytes, 0, 0.0);
            const double goodput = TrafficProbe::tcpGoodputBitsPerSecond(bench.pair(), direction,
                                                                         false, 1500ms, 3000ms);
            const double wire = goodput * kWirePerPayload;
            printRow(std::string("TCP rate ") + (down ? "download" : "upload"),
                     std::to_string(mbit) + " Mbit/s",
                     format("%.3f Mbit/s on wire (%.3f payload)", wire / 1e6, goodput / 1e6),
                     std::abs(wire - mbit * 1e6) <= 0.05 * mbit * 1e6);
        }
    }
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
            TrafficProbe::udpLossPercent(bench.pair(), Direction::download, 10'000, 300ms);
        printRow("UDP loss, 10000 packets", format("%.0f %%", percent), format("%.2f %%", measured),
                 std::abs(measured - percent) <= 1.0);
    }
}

} // namespace

int main() {
    std::optional<Bench> bench;
    try {
        bench.emplace();
        bench->enable(0, 0, 0, 0.0);
    } catch (const std::exception& error) {
        std::printf("shaping-accuracy: cannot measure here: %s\n", error.what());
        return 0;
    }
    try {
        bench->disable();
        const double baselineMs = bench->minimumRoundTripMs(20, 500ms);
        std::printf("baseline round trip %.3f ms\n\n", baselineMs);
        std::printf("%-26s %-14s %-34s %s\n", "measurement", "requested", "measured", "target");
        measureRates(*bench);
        measureDelays(*bench, baselineMs);
        measureLoss(*bench);
    } catch (const std::exception& error) {
        std::printf("shaping-accuracy: measurement failed: %s\n", error.what());
        return 1;
    }
    return 0;
}
