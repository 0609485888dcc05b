// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "FakeToolSandbox.h"
#include "HelperError.h"
#include "InterfaceList.h"
#include "LogCapture.h"
#include "ThrottlingManager.h"
#include "ToolRuns.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using testing::Contains;
using testing::ElementsAreArray;
using testing::Not;

namespace {

// An interface list with flags of the test's choosing.
class ListedInterfaces final : public InterfaceList {
public:
    explicit ListedInterfaces(std::vector<NetworkInterface> interfaces)
        : m_interfaces(std::move(interfaces)) {}
    std::vector<NetworkInterface> interfaces() const noexcept override { return m_interfaces; }

private:
    std::vector<NetworkInterface> m_interfaces;
};

const std::vector<std::string> kCleanupEth0 = {
    "tc qdisc del dev eth0 root handle 5654:",
    "tc filter del dev eth0 parent ffff: protocol ip pref 22100",
    "tc filter del dev eth0 parent ffff: protocol ipv6 pref 22101",
    "tc filter show dev eth0 parent ffff:",
    "tc qdisc del dev eth0 handle ffff: ingress",
    "ip link delete dev vtifb-eth0",
};

// Everything but the two netem runs, which depend on the parameters.
const std::vector<std::string> kPlumbingEth0 = {
    "tc qdisc add dev eth0 root handle 5654: htb default 0",
    "tc class add dev eth0 parent 5654: classid 5654:1 htb rate 100gbit burst 4mb cburst 4mb "
    "quantum 65536",
    "tc filter add dev eth0 parent 5654: protocol ip pref 22100 u32 match ip protocol 6 0xff "
    "flowid 5654:1",
    "tc filter add dev eth0 parent 5654: protocol ip pref 22100 u32 match ip protocol 17 0xff "
    "flowid 5654:1",
    "tc filter add dev eth0 parent 5654: protocol ipv6 pref 22101 u32 match ip6 protocol 6 0xff "
    "flowid 5654:1",
    "tc filter add dev eth0 parent 5654: protocol ipv6 pref 22101 u32 match ip6 protocol 17 0xff "
    "flowid 5654:1",
    "ip link add vtifb-eth0 type ifb",
    "ip link set dev vtifb-eth0 up",
    "tc qdisc add dev eth0 handle ffff: ingress",
    "tc filter add dev eth0 parent ffff: protocol ip pref 22100 u32 match ip protocol 6 0xff "
    "action mirred egress redirect dev vtifb-eth0",
    "tc filter add dev eth0 parent ffff: protocol ip pref 22100 u32 match ip protocol 17 0xff "
    "action mirred egress redirect dev vtifb-eth0",
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 22101 u32 match ip6 protocol 6 0xff "
    "action mirred egress redirect dev vtifb-eth0",
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 22101 u32 match ip6 protocol 17 0xff "
    "action mirred egress redirect dev vtifb-eth0",
};

std::vector<std::string> renamed(std::vector<std::string> runs, const std::string& name) {
    for (auto& run : runs) {
        for (size_t at = run.find("eth0"); at != std::string::npos; at = run.find("eth0", at)) {
            run.replace(at, 4, name);
        }
    }
    return runs;
}

class TrafficControlBackendTest : public testing::Test {
protected:
    void SetUp() override { useInterfaces({{"eth0", true, false}}); }
    void useInterfaces(std::vector<NetworkInterface> interfaces) {
        manager = std::make_unique<ThrottlingManager>(
            log.logger(),
            std::make_unique<TrafficControlBackend>(
                log.logger(), paths, std::make_unique<ListedInterfaces>(std::move(interfaces))));
    }

    void enable(std::int64_t down = 0, std::int64_t up = 0, std::int64_t latency = 0,
                double loss = 0.0, std::int64_t dns = 0) {
        manager->enableThrottling(down, up, latency, loss, dns);
    }

    // The description of what a failing enable throws; only commandFailed counts.
    std::string enableFailure() {
        try {
            enable(125000, 125000, 100, 5.0);
        } catch (const HelperError& error) {
            EXPECT_EQ(error.kind(), HelperError::Kind::commandFailed);
            return error.what();
        }
        return "(no error)";
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    EnginePaths paths = EnginePaths::underRoot(sandbox.root());
    std::unique_ptr<ThrottlingManager> manager;
};

TEST_F(TrafficControlBackendTest, EnableCleansUpThenBuildsBothPathsThenAddsTheNetemLeaves) {
    enable(97500, 41250, 101, 1.0, 250);
    EXPECT_TRUE(manager->isActive());
    // The DNS delay has no part here: these are all the runs.
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(
                    concat(kCleanupEth0, kPlumbingEth0),
                    {"tc qdisc add dev eth0 parent 5654:1 handle 5655: netem limit 1000 rate "
                     "330000bit delay 51ms",
                     "tc qdisc add dev vtifb-eth0 root handle 5654: netem limit 1000 rate "
                     "780000bit delay 50ms loss random 1.0%"})));
    const auto messages = log.messages();
    EXPECT_EQ(messages.front(),
              "Enabling throttling: down=97500B/s up=41250B/s latency=101ms loss=1.0% dns=250ms");
    EXPECT_THAT(messages, Contains("Pipe config: download latency=50ms (with loss), upload "
                                   "latency=51ms (no loss)"));
    EXPECT_THAT(messages, Contains("Shaping interfaces: eth0"));
    EXPECT_EQ(messages.back(), "Throttling enabled successfully");
}

TEST_F(TrafficControlBackendTest, EveryInterfaceThatIsUpGetsItsOwnPathsAndDevice) {
    useInterfaces({{"lo", true, true},
                   {"eth0", true, false},
                   {"wlan0", true, false},
                   {"eth1", false, false},
                   {"vtifb-old", true, false}});
    enable();
    const std::vector<std::string> netem = {
        "tc qdisc add dev eth0 parent 5654:1 handle 5655: netem limit 1000",
        "tc qdisc add dev vtifb-eth0 root handle 5654: netem limit 1000"};
    // Clean-up reaches down interfaces too and deletes a device whose
    // interface has gone; enable shapes only what is up. Zero values leave
    // their netem options out.
    EXPECT_THAT(
        sandbox.toolRuns(),
        ElementsAreArray(concat(
            concat(concat(kCleanupEth0, renamed(kCleanupEth0, "wlan0")),
                   concat(renamed(kCleanupEth0, "eth1"), {"ip link delete dev vtifb-old"})),
            concat(concat(kPlumbingEth0, netem), renamed(concat(kPlumbingEth0, netem), "wlan0")))));
    EXPECT_THAT(log.messages(), Contains("Shaping interfaces: eth0, wlan0"));
}

TEST(NetemLimit, HoldsWhatTheDelayKeepsInFlightAtTheRateInSmallPackets) {
    // 50 Mbit/s for 400 ms is 2.5 MB in flight: 39,063 packets of 64 bytes,
    // far above the 1000 that netem drops at by default.
    EXPECT_EQ(TrafficControlBackend::netemLimit({6'250'000, 400, 0.0}), 39'063);
    EXPECT_EQ(TrafficControlBackend::netemLimit({6'250'000, 0, 0.0}), 1000);
    // No rate set: the delay is sized for the fastest rate the engine takes,
    // and the largest request still fits netem's 32-bit limit.
    EXPECT_EQ(TrafficControlBackend::netemLimit({0, 10'000, 0.0}), 195'312'500);
    EXPECT_EQ(TrafficControlBackend::netemLimit({1'250'000'000, 10'000, 0.0}), 195'312'500);
}

TEST(NetemArguments, WriteRateInBitsDelayInMillisecondsAndLossAsShortestPercent) {
    EXPECT_THAT(TrafficControlBackend::netemArguments({1'250'000'000, 10'000, 0.0000001}),
                ElementsAreArray({"netem", "limit", "195312500", "rate", "10000000000bit", "delay",
                                  "10000ms", "loss", "random", "0.0000001%"}));
    // The loss is random per packet, so 100% drops everything.
    EXPECT_THAT(TrafficControlBackend::netemArguments({0, 0, 100.0}),
                ElementsAreArray({"netem", "limit", "1000", "loss", "random", "100.0%"}));
}

// Everything the failing enable below (1 Mbit/s both ways, 100 ms, 5% loss)
// runs after the clean-up when nothing fails.
const std::vector<std::string> kEnableRunsEth0 = concat(
    kPlumbingEth0,
    {"tc qdisc add dev eth0 parent 5654:1 handle 5655: netem limit 1000 rate 1000000bit delay 50ms",
     "tc qdisc add dev vtifb-eth0 root handle 5654: netem limit 1000 rate 1000000bit delay 50ms "
     "loss random 5.0%"});

struct FailingStep {
    size_t run; // in kEnableRunsEth0
    const char* output;
    const char* message;

    friend void PrintTo(const FailingStep& step, std::ostream* out) { *out << step.message; }
};

class TrafficControlFailureTest : public TrafficControlBackendTest,
                                  public testing::WithParamInterface<FailingStep> {};

TEST_P(TrafficControlFailureTest, AFailingStepNamesItselfAndTheInterfaceAndStopsTheEnable) {
    const FailingStep& step = GetParam();
    const std::string& failing = kEnableRunsEth0[step.run];
    const size_t space = failing.find(' ');
    sandbox.answer(failing.substr(0, space), failing.substr(space + 1), 2, "", step.output);
    EXPECT_EQ(enableFailure(), std::string("Command failed: ") + step.message);
    EXPECT_FALSE(manager->isActive());
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(kCleanupEth0, {kEnableRunsEth0.begin(),
                                                       kEnableRunsEth0.begin() + step.run + 1})));
    EXPECT_THAT(log.messages(), Not(Contains("Throttling enabled successfully")));
}

INSTANTIATE_TEST_SUITE_P(
    EachStep, TrafficControlFailureTest,
    testing::Values(
        FailingStep{0, "Error: Specified qdisc kind is unknown.\\n",
                    "Failed to set up upload shaping on eth0: the kernel lacks HTB (module "
                    "sch_htb): Error: Specified qdisc kind is unknown.\n"},
        FailingStep{5, "no u32", "Failed to set up upload shaping on eth0: no u32"},
        FailingStep{6, "Error: Unknown device type.\\n",
                    "Failed to create the download device for eth0: the kernel lacks IFB (module "
                    "ifb): Error: Unknown device type.\n"},
        FailingStep{7, "down", "Failed to create the download device for eth0: down"},
        // Only a kernel that reports the kind unknown gets the hint.
        FailingStep{8, "Error: Exclusivity flag on, cannot modify.\\n",
                    "Failed to redirect download traffic on eth0: Error: Exclusivity flag on, "
                    "cannot modify.\n"},
        FailingStep{12, "no mirred", "Failed to redirect download traffic on eth0: no mirred"},
        FailingStep{13, "Error: Specified qdisc kind is unknown.\\n",
                    "Failed to configure upload shaping on eth0: the kernel lacks netem (module "
                    "sch_netem): Error: Specified qdisc kind is unknown.\n"},
        FailingStep{14, "bad loss", "Failed to configure download shaping on eth0: bad loss"}));

TEST_F(TrafficControlBackendTest, AFailedEnableWhileActiveLeavesTheStateActive) {
    enable();
    sandbox.answer("ip", "link add vtifb-eth0 type ifb", 2, "File exists");
    EXPECT_EQ(enableFailure(),
              "Command failed: Failed to create the download device for eth0: File exists");
    EXPECT_TRUE(manager->isActive());
}

TEST_F(TrafficControlBackendTest, NoInterfaceUpFailsTheEnableInsteadOfShapingNothing) {
    useInterfaces({{"lo", true, true}, {"eth0", false, false}});
    EXPECT_EQ(enableFailure(), "Command failed: No network interface is up to shape");
    EXPECT_FALSE(manager->isActive());
}

TEST_F(TrafficControlBackendTest, DisableRemovesOnlyWhatIsOursAndCarriesOnPastFailures) {
    sandbox.answer("tc", "qdisc del dev eth0 root handle 5654:", 2, "", "Error: Invalid handle.");
    // An ingress qdisc that still holds someone else's filters stays.
    sandbox.answer("tc", "filter show dev eth0 parent ffff:", 0,
                   "filter parent ffff: protocol all pref 10 matchall chain 0\n");
    manager->disableThrottling();
    std::vector<std::string> expected = kCleanupEth0;
    expected.erase(expected.begin() + 4);
    EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(expected));
    EXPECT_THAT(log.messages(),
                Contains("Command failed with exit code 2: Error: Invalid handle."));
    EXPECT_EQ(log.messages().back(), "Throttling disabled");
    EXPECT_FALSE(manager->isActive());
}

TEST_F(TrafficControlBackendTest, MissingToolsAreLoggedByTheCleanupButFailAnEnableUnwrapped) {
    std::filesystem::remove(sandbox.path("/usr/sbin/tc"));
    std::filesystem::remove(sandbox.path("/usr/sbin/ip"));
    manager->disableThrottling();
    const auto messages = log.messages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "Command failed (ignored): No such file or directory"),
              5);
    EXPECT_EQ(messages.back(), "Throttling disabled");
    try {
        enable();
        FAIL() << "enable succeeded without tc";
    } catch (const std::system_error& error) {
        EXPECT_STREQ(error.what(), "No such file or directory");
    }
}

} // namespace
