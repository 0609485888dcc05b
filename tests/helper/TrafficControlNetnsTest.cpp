// SPDX-License-Identifier: MIT
// Real traffic control in network namespaces that each test makes and deletes.
// Needs root; skips, saying why, where the kernel lacks what shaping needs.
#include "CommandExecutor.h"
#include "Destination.h"
#include "FakeToolSandbox.h"
#include "HelperError.h"
#include "LogCapture.h"
#include "NetnsTest.h"
#include "ThrottleScope.h"
#include "ThrottlingManager.h"
#include "TrafficControlBackend.h"
#include "TrafficControlScript.h"
#include "TrafficProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <future>
#include <optional>
#include <poll.h>
#include <regex>
#include <thread>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;
using TrafficProbe::Direction;

namespace {

constexpr const char* kTc = "/usr/sbin/tc";
constexpr const char* kIp = "/usr/sbin/ip";

class TrafficControlNetnsTest : public NetnsTest {
protected:
    // Runs inside the shaped namespace, reading its interfaces as the daemon
    // reads the machine's. Returns the kernel feature an enable found missing.
    std::optional<std::string> enable(std::int64_t down, std::int64_t up, std::int64_t latency,
                                      double loss) {
        try {
            const NetnsScope scope(pair->fd(Side::shaped));
            manager.enableThrottling({down, up, latency, loss, 0});
        } catch (const HelperError& error) {
            const std::string text = error.what();
            const size_t at = text.find("the kernel lacks ");
            if (at == std::string::npos) {
                throw;
            }
            return text.substr(at);
        }
        return std::nullopt;
    }
    void disable() {
        const NetnsScope scope(pair->fd(Side::shaped));
        manager.disableThrottling();
    }

    // The real tools, with the change record in a folder of the test's own.
    std::unique_ptr<ThrottlingManager> makeManager() {
        EnginePaths paths;
        paths.changeRecord = recordFolder.path("/shaping.record");
        return std::make_unique<ThrottlingManager>(
            log.logger(), std::make_unique<TrafficControlBackend>(
                              log.logger(), executor, paths, std::make_unique<SystemUplinks>(),
                              TrafficControlBackend::Devices::overNetlink));
    }

    FakeToolSandbox recordFolder;
    LogCapture log;
    CommandExecutor executor{log.logger()};
    std::unique_ptr<ThrottlingManager> managerOwner = makeManager();
    ThrottlingManager& manager = *managerOwner;
};

TEST_F(TrafficControlNetnsTest, TheUplinkIsTheInterfaceWithTheDefaultRouteAndChangesAreReported) {
    std::unique_ptr<UplinkMonitor> monitor;
    {
        const NetnsScope scope(pair->fd(Side::shaped));
        monitor = std::make_unique<UplinkMonitor>();
    }
    // A link without a default route is no uplink, but its coming is news.
    pair->run(Side::shaped, kIp, {"link", "add", "vt2", "type", "veth", "peer", "name", "vt3"});
    pair->run(Side::shaped, kIp, {"link", "set", "vt2", "up"});
    pollfd ready{monitor->fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&ready, 1, 2000), 1);
    EXPECT_TRUE(monitor->takeChanges());
    EXPECT_FALSE(monitor->takeChanges());
    const NetnsScope scope(pair->fd(Side::shaped));
    const auto uplinks = SystemUplinks().uplinks();
    ASSERT_EQ(uplinks.size(), 1u);
    EXPECT_EQ(uplinks.front().name, "vt0");
}

TEST_F(TrafficControlNetnsTest, EnableThenDisableOrAFailedEnableLeaveTheInterfaceExactlyAsItWas) {
    const std::string before = shapedState();
    const auto missing = enable(125'000, 62'500, 100, 5.0);
    if (missing) {
        // The failed enable undid its own steps, on a real kernel.
        EXPECT_EQ(shapedState(), before) << *missing;
        EXPECT_FALSE(manager.isActive());
        std::cout << "[ NOTE     ] shaping itself not checked: " << *missing << "\n";
        return;
    }
    const std::string during = shapedState();
    EXPECT_THAT(during, testing::HasSubstr("qdisc htb 5654: dev vt0 root"));
    EXPECT_THAT(during, testing::HasSubstr("match 00110000/00ff0000 at 8")); // UDP over IPv4
    EXPECT_THAT(during, testing::HasSubstr("match 00000600/0000ff00 at 4")); // TCP over IPv6
    EXPECT_THAT(during, testing::HasSubstr("mirred (Egress Redirect to device vtifb-vt0)"));
    disable();
    EXPECT_EQ(shapedState(), before);
}

TEST_F(TrafficControlNetnsTest, TheExportedScriptShapesExactlyAsTheEngineAndRemovesItAll) {
    const std::string before = shapedState();
    ThrottleParameters parameters{125'000, 62'500, 100, 5.0, 0};
    parameters.jitterMs = 20;
    parameters.lossCorrelationPercent = 25;
    parameters.reorderPercent = 10;
    parameters.duplicatePercent = 1;
    // The whole machine, and a profile's destinations as the helper's first
    // scoped throttle shapes them.
    ThrottleScope destinations;
    for (const char* text : {"192.0.2.0/24:443", "2001:db8::7"}) {
        std::string failure;
        destinations.destinations.push_back(*Destination::parse(text, failure));
        destinations.names.emplace_back(text);
    }
    for (const ThrottleScope& scope : {ThrottleScope{}, destinations}) {
        SCOPED_TRACE(scope.isMachine() ? "whole machine" : "destinations");
        try {
            const NetnsScope inside(pair->fd(Side::shaped));
            manager.enableThrottling(parameters, scope);
        } catch (const HelperError& error) {
            GTEST_SKIP() << error.what();
        }
        const std::string engine = shapedState();
        disable();

        const std::string script = recordFolder.path("/shape.sh");
        std::ofstream(script) << TrafficControlScript::write(parameters, "test", scope);
        // Run as on another machine: tc and ip from the PATH.
        const auto run = [&](const char* action) {
            pair->run(Side::shaped, "/usr/bin/env",
                      {"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "/bin/sh", script, "vt0", action});
        };
        run("apply");
        EXPECT_EQ(shapedState(), engine);
        // Shaped already: refused, and what is there stays.
        EXPECT_THROW(run("apply"), std::runtime_error);
        EXPECT_EQ(shapedState(), engine);
        run("remove");
        EXPECT_EQ(shapedState(), before);
    }
}

TEST_F(TrafficControlNetnsTest, AChangeWhileShapingIsMadeInPlaceAndEndsAsAFreshEnableWould) {
    ThrottleParameters rich{125'000, 62'500, 100, 5.0, 0};
    rich.jitterMs = 20;
    rich.lossCorrelationPercent = 25;
    rich.reorderPercent = 10;
    rich.duplicatePercent = 1;
    const ThrottleParameters plain{0, 0, 60, 0.0, 0};
    const auto enableIn = [this](const ThrottleParameters& parameters) {
        const NetnsScope scope(pair->fd(Side::shaped));
        manager.enableThrottling(parameters);
    };
    try {
        enableIn(plain);
    } catch (const HelperError& error) {
        GTEST_SKIP() << error.what();
    }
    const std::string freshPlain = shapedState();
    disable();
    enableIn(rich);
    const std::string freshRich = shapedState();

    // Each way: netem keeps nothing of the conditions before.
    for (const auto& [to, fresh] :
         {std::pair{&plain, &freshPlain},
          std::pair{static_cast<const ThrottleParameters*>(&rich), &freshRich}}) {
        enableIn(*to);
        EXPECT_EQ(shapedState(), *fresh);
    }
    const auto messages = log.messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "Changed the shaping in place"), 2);
    disable();
}

TEST_F(TrafficControlNetnsTest, NoPacketPassesUnshapedOrIsLostWhileTheConditionsChange) {
    if (const auto missing = enable(0, 0, 60, 0.0)) {
        GTEST_SKIP() << "cannot shape here: " << *missing;
    }
    // A probe every 5 ms across the change from 60 ms to 100 ms.
    constexpr int kProbes = 80;
    auto probes = std::async(std::launch::async, [this] {
        return TrafficProbe::udpRoundTripsMs(*pair, false, kProbes, 5ms, 1s);
    });
    std::this_thread::sleep_for(150ms);
    ASSERT_FALSE(enable(0, 0, 100, 0.0).has_value());
    const std::vector<double> roundTrips = probes.get();
    EXPECT_EQ(roundTrips.size(), static_cast<size_t>(kProbes));
    for (const double roundTrip : roundTrips) {
        EXPECT_GE(roundTrip, 59.9);
    }
    EXPECT_GE(*std::max_element(roundTrips.begin(), roundTrips.end()), 99.9) << "never changed";
    disable();
}

TEST_F(TrafficControlNetnsTest, AnotherProgramsQdiscsSurviveEnableDisableAndACrash) {
    const std::vector<std::vector<std::string>> foreign[] = {
        {{"qdisc", "add", "dev", "vt0", "handle", "ffff:", "ingress"},
         {"filter", "add", "dev", "vt0", "parent", "ffff:", "protocol", "arp", "pref", "7", "u32",
          "match", "u32", "0", "0", "classid", "1:1"}},
        {{"qdisc", "add", "dev", "vt0", "clsact"}},
        {{"qdisc", "add", "dev", "vt0", "root", "handle", "1:", "htb"}}};
    for (const auto& setup : foreign) {
        for (const auto& arguments : setup) {
            pair->run(Side::shaped, kTc, arguments);
        }
        const std::string before = shapedState();
        try {
            enable(125'000, 0, 0, 0.0);
            ADD_FAILURE() << "shaped over " << setup.front().back();
        } catch (const HelperError& error) {
            EXPECT_THAT(error.what(), testing::HasSubstr("Cannot shape vt0"));
        }
        disable();
        // A later process finds no record of it, so removes nothing.
        makeManager()->removeLeftovers();
        EXPECT_EQ(shapedState(), before) << setup.front().back();
        pair->run(Side::shaped, kTc,
                  {"qdisc", "del", "dev", "vt0",
                   setup.front().back() == "htb" ? "root" : setup.front().back()});
    }
}

// Switching off removes qdiscs by handle and kind: ones another program put
// in their place meanwhile stay, and are no failure of ours.
TEST_F(TrafficControlNetnsTest, QdiscsThatTookTheShapingsPlaceSurviveItsRemoval) {
    if (const auto missing = enable(125'000, 62'500, 100, 0.0)) {
        GTEST_SKIP() << "cannot shape here: " << *missing;
    }
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"qdisc", "del", "dev", "vt0", "root"},
          {"qdisc", "add", "dev", "vt0", "root", "handle", "1:", "htb"},
          {"qdisc", "del", "dev", "vt0", "ingress"},
          {"qdisc", "add", "dev", "vt0", "clsact"}}) {
        pair->run(Side::shaped, kTc, arguments);
    }
    // Less what the HTB root passed meanwhile (neighbour discovery).
    const auto qdiscs = [&] {
        return std::regex_replace(pair->run(Side::shaped, kTc, {"qdisc", "show", "dev", "vt0"}),
                                  std::regex("direct_packets_stat [0-9]+"), "-");
    };
    const std::string theirs = qdiscs();
    EXPECT_NO_THROW(disable());
    EXPECT_EQ(qdiscs(), theirs);
    EXPECT_THAT(pair->run(Side::shaped, kIp, {"-o", "link", "show"}),
                testing::Not(testing::HasSubstr("vtifb")));
}

TEST_F(TrafficControlNetnsTest, AProcessThatDiedWhileShapingIsCleanedUpByTheNext) {
    const std::string before = shapedState();
    if (const auto missing = enable(125'000, 62'500, 100, 0.0)) {
        GTEST_SKIP() << "cannot shape here: " << *missing;
    }
    // The record survives the process; a new one removes what it lists.
    auto next = makeManager();
    {
        const NetnsScope scope(pair->fd(Side::shaped));
        next->removeLeftovers();
    }
    EXPECT_EQ(shapedState(), before);
    EXPECT_THAT(log.messages(),
                testing::Contains("Removed shaping left by an earlier helper process"));
}

TEST_F(TrafficControlNetnsTest, AnUplinkThatAppearsWhileShapingIsShapedWithinTwoSeconds) {
    if (const auto missing = enable(125'000, 62'500, 20, 0.0)) {
        GTEST_SKIP() << "cannot shape here: " << *missing;
    }
    std::unique_ptr<UplinkMonitor> monitor;
    {
        const NetnsScope scope(pair->fd(Side::shaped));
        monitor = std::make_unique<UplinkMonitor>();
    }
    // A VPN-like uplink: half of the address space routed through it.
    pair->run(Side::shaped, kIp, {"link", "add", "vt2", "type", "veth", "peer", "name", "vt3"});
    pair->run(Side::shaped, kIp, {"addr", "add", "10.213.1.1/30", "dev", "vt2"});
    pair->run(Side::shaped, kIp, {"link", "set", "vt2", "up"});
    pair->run(Side::shaped, kIp, {"link", "set", "vt3", "up"});
    pair->run(Side::shaped, kIp, {"route", "add", "0.0.0.0/1", "dev", "vt2"});
    const auto deadline = std::chrono::steady_clock::now() + 2s;
    // What the daemon does: wait for a report, then follow.
    bool shaped = false;
    while (!shaped && std::chrono::steady_clock::now() < deadline) {
        pollfd ready{monitor->fd(), POLLIN, 0};
        if (::poll(&ready, 1, 100) > 0 && monitor->takeChanges()) {
            const NetnsScope scope(pair->fd(Side::shaped));
            manager.followUplinks();
        }
        shaped = pair->run(Side::shaped, kTc, {"qdisc", "show", "dev", "vt2"}).find("htb 5654:") !=
                 std::string::npos;
    }
    EXPECT_TRUE(shaped);
    EXPECT_THAT(log.messages(), testing::Contains("Shaping new uplink vt2"));
    disable();
}

TEST_F(TrafficControlNetnsTest, ABulkDownloadOnEdgeWaitsSecondsNotAMinuteBehindTheRate) {
    // "Edge": 240 kbit/s down, 200 up, 400 ms.
    if (const auto missing = enable(30'000, 25'000, 400, 0.0)) {
        GTEST_SKIP() << "cannot shape here: " << *missing;
    }
    auto bulk = std::async(std::launch::async, [this] {
        return TrafficProbe::tcpGoodputBitsPerSecond(*pair, Direction::download, false, 1s, 8s);
    });
    std::this_thread::sleep_for(5s); // the queue fills within a few seconds
    const double loadedMs = TrafficProbe::minimumRoundTripMs(*pair, false, 3, 20s);
    bulk.get();
    // 400 ms of delay, then at most 50 full frames behind the rate: 2.5 s.
    EXPECT_LT(loadedMs, 400.0 + 2600.0 + 200.0);
}

// Each address family has filters of its own, so each gets the whole check.
class ShapedTrafficTest : public TrafficControlNetnsTest, public testing::WithParamInterface<bool> {
protected:
    bool ipv6() const { return GetParam(); }
    double oneWayMs(Direction direction) {
        return TrafficProbe::minimumOneWayMs(*pair, direction, ipv6(), 8, 500ms);
    }
    double lossPercent(Direction direction, int count) {
        return TrafficProbe::udpLossPercent(*pair, direction, ipv6(), count, 300ms);
    }
    double goodput(Direction direction) {
        return TrafficProbe::tcpGoodputBitsPerSecond(*pair, direction, ipv6(), 700ms, 1300ms);
    }
};

TEST_P(ShapedTrafficTest, EachDirectionGetsTheProfilesRateDelayAndLoss) {
    const double baselineMs = TrafficProbe::minimumRoundTripMs(*pair, ipv6(), 10, 500ms);
    ASSERT_FALSE(std::isnan(baselineMs)) << "no UDP answer even without shaping";

    // 8 Mbit/s down, 4 Mbit/s up; 61 ms split as 30 on arrival, 31 on departure.
    if (const auto missing = enable(1'000'000, 500'000, 61, 0.0)) {
        disable();
        GTEST_SKIP() << "cannot shape here: " << *missing;
    }
    // The rate counts whole frames: TCP with timestamps carries 1448 bytes of
    // a 1514-byte frame over IPv4, 1428 over IPv6.
    const double payloadShare = (ipv6() ? 1428.0 : 1448.0) / 1514.0;
    EXPECT_NEAR(goodput(Direction::download), 8e6 * payloadShare, 8e6 * 0.04);
    EXPECT_NEAR(goodput(Direction::upload), 4e6 * payloadShare, 4e6 * 0.04);
    // netem never delivers early; lateness is scheduling noise.
    const auto expectDelay = [](double measuredMs, double requestedMs) {
        EXPECT_GE(measuredMs, requestedMs - 0.1);
        EXPECT_LE(measuredMs, requestedMs + 1.5);
    };
    expectDelay(oneWayMs(Direction::download), 30.0);
    expectDelay(oneWayMs(Direction::upload), 31.0);

    // Loss on arrival only.
    ASSERT_FALSE(enable(0, 0, 0, 10.0).has_value());
    EXPECT_NEAR(lossPercent(Direction::download, 4000), 10.0, 2.0);
    EXPECT_EQ(lossPercent(Direction::upload, 1000), 0.0);

    disable();
    EXPECT_NEAR(TrafficProbe::minimumRoundTripMs(*pair, ipv6(), 5, 500ms), baselineMs, 2.0);
}

INSTANTIATE_TEST_SUITE_P(AddressFamilies, ShapedTrafficTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "IPv6" : "IPv4";
                         });

} // namespace
