// SPDX-License-Identifier: MIT
#include "ScopedAccuracy.h"

#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "NetnsPair.h"
#include "ShapedPackets.h"
#include "TrafficControlBackend.h"
#include "TrafficProbe.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;
using TrafficProbe::Direction;

namespace {

constexpr const char* kTcTool = "/usr/sbin/tc";
constexpr const char* kIpTool = "/usr/sbin/ip";
constexpr const char* kScopedA = "10.214.0.2";
constexpr const char* kScopedB = "10.214.0.3";

// TCP payload of a full 1514-byte frame with timestamps on, which netem's
// rate counts whole.
constexpr double kPayloadShare = 1448.0 / 1514.0;

std::string formatted(const char* pattern, double value, double second = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, value, second);
    return text;
}

// A flow beside a throttle of 8 Mbit/s, as the netns tests judge it: what
// it got beside the throttle's own traffic, at least ten times the
// throttle's rate, and, alone, what the throttle's shapers counted of it.
struct Beside {
    double rate;
    ShapedPackets alone;

    bool unshaped() const { return rate >= 10 * 8e6 && alone.passedNoShaper(); }
    std::string described() const {
        return formatted("%.1f Mbit/s; class ", rate / 1e6) + std::to_string(alone.throttleClass) +
               " of " + std::to_string(alone.uplinkSent) + " out, IFB " +
               std::to_string(alone.ifb) + " of " + std::to_string(alone.uplinkReceived) + " in";
    }
};

ScopedPlan throttle(int slot, const char* destination, std::int64_t down, std::int64_t latency) {
    std::string failure;
    return {slot, ThrottleScope{.destinations = {*Destination::parse(destination, failure)}},
            ShapingPlan::from({down, down, latency, 0.0, 0})};
}

class ScopedBench final {
public:
    ScopedBench(NetnsPair& pair, const Logger& logger, const CommandExecutor& executor)
        : m_pair(pair)
        , m_backend(logger, executor, recordIn(m_recordFolder), std::make_unique<SystemUplinks>(),
                    TrafficControlBackend::Devices::overNetlink)
        , m_before(state()) {}

    void apply(const ShapingLayout& layout) {
        const NetnsScope scope(m_pair.fd(Side::shaped));
        m_backend.applyShaping(layout);
    }
    // Whether removing it left the shaped side as it was.
    bool removeLeavesNothing() {
        {
            const NetnsScope scope(m_pair.fd(Side::shaped));
            m_backend.removeShaping();
        }
        return state() == m_before;
    }
    double download(const char* peer) const {
        return TrafficProbe::tcpGoodputBitsPerSecond(m_pair, Direction::download, false, 1000ms,
                                                     3000ms, peer);
    }
    double upload(const char* peer) const {
        return TrafficProbe::tcpGoodputBitsPerSecond(m_pair, Direction::upload, false, 1000ms,
                                                     3000ms, peer);
    }
    // What throttle `slot`'s shapers count of a download from `peer` alone.
    ShapedPackets countedOfDownload(int slot, const char* peer) const {
        const ShapedPackets before = ShapedPackets::count(m_pair, slot);
        download(peer);
        return ShapedPackets::count(m_pair, slot) - before;
    }
    std::vector<double> parallelDownloads(const std::vector<const char*>& peers) const {
        std::vector<std::future<double>> flows;
        for (const char* peer : peers) {
            flows.push_back(
                std::async(std::launch::async, [this, peer] { return download(peer); }));
        }
        std::vector<double> rates;
        for (auto& flow : flows) {
            rates.push_back(flow.get());
        }
        return rates;
    }

private:
    static EnginePaths recordIn(const FakeToolSandbox& folder) {
        EnginePaths paths;
        paths.changeRecord = folder.path("/scoped.record");
        return paths;
    }
    // Every qdisc, class and filter of the shaped side, and its links by
    // name and state.
    std::string state() {
        return m_pair.run(Side::shaped, kTcTool, {"qdisc", "show"}) +
               m_pair.run(Side::shaped, kTcTool, {"class", "show", "dev", "vt0"}) +
               m_pair.run(Side::shaped, kTcTool, {"filter", "show", "dev", "vt0"}) +
               m_pair.run(Side::shaped, kTcTool, {"filter", "show", "dev", "vt0", "ingress"}) +
               m_pair.run(Side::shaped, kIpTool, {"-br", "link", "show"});
    }

    NetnsPair& m_pair;
    FakeToolSandbox m_recordFolder;
    TrafficControlBackend m_backend;
    const std::string m_before;
};

// A command's throttle: its processes marked by their cgroup, which needs
// nftables for inet (Debian's user-mode kernel has none) and a cgroup of
// our own. Whether it left anything.
bool measureCommand(ScopedBench& bench, const NetnsPair& pair, const AccuracyRow& row) {
    const std::string name = "veltrane-bench-" + std::to_string(::getpid());
    const std::string cgroup = "/sys/fs/cgroup/" + name;
    const char* what = "a command's throttle";
    const char* asked = "8, 4 Mbit/s";
    if (::mkdir(cgroup.c_str(), 0755) != 0) {
        row(what, asked, std::string("not measured: no cgroup: ") + std::strerror(errno), true);
        return true;
    }
    try {
        bench.apply({{{2, ThrottleScope{.cgroups = {name}},
                       ShapingPlan::from({1'000'000, 500'000, 40, 0.0, 0})}}});
    } catch (const std::exception& error) {
        ::rmdir(cgroup.c_str());
        // The first line says what the kernel lacks; nft's echo of the rules follows.
        const std::string why = error.what();
        row(what, asked, "not measured: " + why.substr(0, why.find('\n')), true);
        return true;
    }
    // This process, outside the cgroup, before the command sends anything.
    const ShapedPackets alone = bench.countedOfDownload(2, kScopedA);
    const auto figures =
        TrafficProbe::inCgroupBesideSibling(pair, cgroup, kScopedA, 1000ms, 3000ms);
    const bool clean = bench.removeLeavesNothing();
    ::rmdir(cgroup.c_str());
    if (!figures) {
        row(what, asked, "the command did not report", false);
        return clean;
    }
    const double down = figures->download / kPayloadShare;
    const double up = figures->upload / kPayloadShare;
    row(what, asked, formatted("%.3f down, %.3f up Mbit/s", down / 1e6, up / 1e6),
        std::abs(down - 8e6) <= 0.02 * 8e6 && std::abs(up - 4e6) <= 0.02 * 4e6);
    row("  its first round trip", "40 ms", formatted("%.2f ms", figures->firstRoundTripMs),
        figures->firstRoundTripMs >= 39.9 && figures->firstRoundTripMs <= 45.0);
    const Beside sibling{figures->siblingDownload, alone};
    row("  a sibling beside it", "unshaped", sibling.described(), sibling.unshaped());
    return clean;
}

} // namespace

void measureScopedThrottles(NetnsPair& pair, const Logger& logger, const CommandExecutor& executor,
                            const AccuracyRow& row) {
    for (const char* address : {kScopedA, kScopedB}) {
        pair.run(Side::peer, kIpTool, {"addr", "add", address, "dev", "vt1"});
    }
    // The far end sends at 1 Gbit/s, as a real link has a rate: flows then
    // share the link, not the processors.
    pair.run(Side::peer, kTcTool,
             {"qdisc", "add", "dev", "vt1", "root", "tbf", "rate", "1gbit", "burst", "256kb",
              "latency", "20ms"});
    ScopedBench bench(pair, logger, executor);
    const char* other = pair.address(Side::peer, false);

    // 8 Mbit/s and 40 ms, 20 of them on the way in, to one address.
    bench.apply({{throttle(2, kScopedA, 1'000'000, 40)}});
    // Before anything goes to the throttle's address.
    const ShapedPackets alone = bench.countedOfDownload(2, other);
    const std::vector<double> rates = bench.parallelDownloads({kScopedA, other});
    row("scoped TCP download", "8 Mbit/s",
        formatted("%.3f Mbit/s (%+.2f %%)", rates[0] / kPayloadShare / 1e6,
                  (rates[0] / kPayloadShare / 8e6 - 1) * 100),
        std::abs(rates[0] / kPayloadShare - 8e6) <= 0.01 * 8e6);
    const Beside another{rates[1], alone};
    row("  another address beside", "unshaped", another.described(), another.unshaped());
    const double replyMs =
        TrafficProbe::minimumOneWayMs(pair, Direction::download, false, 10, 500ms, kScopedA);
    const double otherMs =
        TrafficProbe::minimumOneWayMs(pair, Direction::download, false, 10, 500ms, other);
    row("  replies from it", "20 ms", formatted("%.2f ms (others %.2f ms)", replyMs, otherMs),
        replyMs >= 19.9 && replyMs <= 21.5 && otherMs < 5.0);
    const bool firstClean = bench.removeLeavesNothing();

    // 16 Mbit/s for the whole machine, 8 to a network, 4 to one address in it.
    bench.apply({{{ScopedPlan::kMachineSlot, {}, ShapingPlan::from({2'000'000, 0, 0, 0.0, 0})},
                  throttle(2, kScopedA, 500'000, 0),
                  throttle(3, "10.214.0.0/24", 1'000'000, 0)}});
    const std::vector<double> three = bench.parallelDownloads({kScopedA, kScopedB, other});
    const double asked[] = {4e6, 8e6, 16e6};
    bool within = true;
    for (int index = 0; index < 3; ++index) {
        within =
            within && std::abs(three[index] / kPayloadShare - asked[index]) <= 0.02 * asked[index];
    }
    row("three throttles at once", "4, 8, 16 Mbit/s",
        formatted("%.3f, %.3f, ", three[0] / kPayloadShare / 1e6, three[1] / kPayloadShare / 1e6) +
            formatted("%.3f Mbit/s", three[2] / kPayloadShare / 1e6),
        within);
    const bool secondClean = bench.removeLeavesNothing();
    const bool thirdClean = measureCommand(bench, pair, row);
    const bool clean = firstClean && secondClean && thirdClean;
    row("  left after removal", "nothing", clean ? "nothing" : "classes, filters or qdiscs", clean);
    pair.run(Side::peer, kTcTool, {"qdisc", "del", "dev", "vt1", "root"});
}
