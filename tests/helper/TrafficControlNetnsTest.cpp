// SPDX-License-Identifier: MIT
// Real traffic control in network namespaces that each test makes and deletes.
// Needs root; skips, saying why, where the kernel lacks what shaping needs.
#include "HelperError.h"
#include "LogCapture.h"
#include "NetnsPair.h"
#include "SystemInterfaceList.h"
#include "ThrottlingManager.h"
#include "TrafficControlBackend.h"
#include "TrafficProbe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;
using TrafficProbe::Direction;

namespace {

constexpr const char* kTc = "/usr/sbin/tc";
constexpr const char* kIp = "/usr/sbin/ip";

class TrafficControlNetnsTest : public testing::Test {
protected:
    void SetUp() override {
        try {
            pair.emplace();
        } catch (const std::exception& error) {
            GTEST_SKIP() << "cannot make private network namespaces: " << error.what();
        }
    }

    // Runs inside the shaped namespace, reading its interfaces as the daemon
    // reads the machine's. Returns the kernel feature an enable found missing.
    std::optional<std::string> enable(std::int64_t down, std::int64_t up, std::int64_t latency,
                                      double loss) {
        try {
            const NetnsScope scope(pair->fd(Side::shaped));
            manager.enableThrottling(down, up, latency, loss, 0);
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

    // Everything traffic control and the link list say about the shaped side.
    std::string shapedState() {
        std::string state;
        for (const std::vector<std::string>& arguments :
             {std::vector<std::string>{"qdisc", "show"},
              {"class", "show", "dev", "vt0"},
              {"filter", "show", "dev", "vt0"},
              {"filter", "show", "dev", "vt0", "ingress"}}) {
            state += pair->run(Side::shaped, kTc, arguments);
        }
        return state + pair->run(Side::shaped, kIp, {"-o", "link", "show"});
    }

    std::optional<NetnsPair> pair;
    LogCapture log;
    ThrottlingManager manager{
        log.logger(), std::make_unique<TrafficControlBackend>(
                          log.logger(), EnginePaths{}, std::make_unique<SystemInterfaceList>())};
};

TEST_F(TrafficControlNetnsTest, DisableRestoresTheInterfaceExactlyAfterWhateverEnableDid) {
    const std::string before = shapedState();
    const auto missing = enable(125'000, 62'500, 100, 5.0);
    const std::string during = shapedState();
    // Whatever the kernel supports was really set up before any failure.
    EXPECT_THAT(during, testing::HasSubstr("qdisc htb 5654: dev vt0 root"));
    EXPECT_THAT(during, testing::HasSubstr("match 00110000/00ff0000 at 8")); // UDP over IPv4
    EXPECT_THAT(during, testing::HasSubstr("match 00000600/0000ff00 at 4")); // TCP over IPv6
    if (!missing || missing->find("netem") != std::string::npos) {
        EXPECT_THAT(during, testing::HasSubstr("vtifb-vt0"));
        EXPECT_THAT(during, testing::HasSubstr("mirred (Egress Redirect to device vtifb-vt0)"));
    }
    disable();
    EXPECT_EQ(shapedState(), before);
    EXPECT_FALSE(manager.isActive());
    if (missing) {
        std::cout << "[ NOTE     ] shaping itself not checked: " << *missing << "\n";
    }
}

TEST_F(TrafficControlNetnsTest, ForeignIngressQdiscsSurviveTheCleanup) {
    // An ingress qdisc with filters of its own, then an empty clsact one: its
    // ingress half shows no filter, so only the kernel's kind check keeps it,
    // and with it whatever its egress half carries.
    const std::vector<std::vector<std::string>> setups[] = {
        {{"qdisc", "add", "dev", "vt0", "handle", "ffff:", "ingress"},
         {"filter", "add", "dev", "vt0", "parent", "ffff:", "protocol", "arp", "pref", "7", "u32",
          "match", "u32", "0", "0", "classid", "1:1"}},
        {{"qdisc", "add", "dev", "vt0", "clsact"}}};
    for (const auto& setup : setups) {
        for (const auto& arguments : setup) {
            pair->run(Side::shaped, kTc, arguments);
        }
        const std::string before = shapedState();
        disable();
        EXPECT_EQ(shapedState(), before) << setup.front().back();
        pair->run(Side::shaped, kTc, {"qdisc", "del", "dev", "vt0", setup.front().back()});
    }
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
        return TrafficProbe::bulkTcp(*pair, direction, ipv6(), 700ms, 1300ms).goodputBitsPerSecond;
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
