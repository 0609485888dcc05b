// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "InterfaceName.h"
#include "ThrottlingManager.h"
#include "ToolRuns.h"
#include "TrafficControlFixture.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;
using testing::MatchesRegex;

namespace {

std::vector<std::string> renamed(std::vector<std::string> runs, const std::string& name) {
    for (auto& run : runs) {
        for (size_t at = run.find("eth0"); at != std::string::npos; at = run.find("eth0", at)) {
            run.replace(at, 4, name);
        }
    }
    return runs;
}

// The enable of 1 Mbit/s down, 2 Mbit/s up, 100 ms and 5% loss on eth0, after
// its qdiscs were looked at: its download device in one run of ip, then its
// qdiscs in one run of tc.
const std::vector<std::string> kDeviceEth0 = {"ip link add vtifb-eth0 type ifb",
                                              "ip link set dev vtifb-eth0 up"};
const std::vector<std::string> kQdiscsEth0 = {
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
    "tc qdisc add dev eth0 handle ffff: ingress",
    "tc filter add dev eth0 parent ffff: protocol ip pref 22100 u32 match ip protocol 6 0xff "
    "action mirred egress redirect dev vtifb-eth0",
    "tc filter add dev eth0 parent ffff: protocol ip pref 22100 u32 match ip protocol 17 0xff "
    "action mirred egress redirect dev vtifb-eth0",
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 22101 u32 match ip6 protocol 6 0xff "
    "action mirred egress redirect dev vtifb-eth0",
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 22101 u32 match ip6 protocol 17 0xff "
    "action mirred egress redirect dev vtifb-eth0",
    // In front of each netem a bucket of one frame of an MTU of 1500 (the MTU
    // is not known here), so offloaded packets reach netem cut into frames.
    "tc qdisc add dev eth0 parent 5654:1 handle 5655: tbf rate 100gbit burst 1564 limit 75700",
    // 250,000 B/s for 50 ms is 9 frames in flight, plus 50 queued behind the rate.
    "tc qdisc add dev eth0 parent 5655:1 handle 5656: netem limit 59 rate 2000000bit delay 50ms",
    "tc qdisc add dev vtifb-eth0 root handle 5654: tbf rate 100gbit burst 1564 limit 75700",
    "tc qdisc add dev vtifb-eth0 parent 5654:1 handle 5655: netem limit 55 rate 1000000bit "
    "delay 50ms loss random 5.0%",
};
const std::vector<std::string> kShapeEth0 = concat(kDeviceEth0, kQdiscsEth0);
const std::string kCheckEth0 = "tc qdisc show dev eth0";
// What removing eth0's shaping runs: the record newest first, its qdiscs
// in one run of tc and then its device.
const std::vector<std::string> kUndoQdiscsEth0 = {"tc qdisc del dev eth0 handle ffff: ingress",
                                                  "tc qdisc del dev eth0 root handle 5654:"};
const std::string kUndoDeviceEth0 = "ip link delete dev vtifb-eth0";

class TrafficControlBackendTest : public TrafficControlFixture {
protected:
    void enable() { manager.enableThrottling({125'000, 250'000, 100, 5.0, 0}); }

    std::string enableFailure() {
        return whatThrows([this] { enable(); });
    }

    ThrottlingManager manager{log.logger(), std::make_unique<TrafficControlBackend>(
                                                log.logger(), executor, paths,
                                                std::make_unique<ListedUplinks>(uplinks),
                                                TrafficControlBackend::Devices::throughTools)};
};

TEST_F(TrafficControlBackendTest, EnableLooksAtEveryUplinkFirstThenShapesAllInOneRunOfEachTool) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    enable();
    EXPECT_TRUE(manager.isActive());
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(concat({kCheckEth0, "tc qdisc show dev wlan0"},
                                               concat(kDeviceEth0, renamed(kDeviceEth0, "wlan0"))),
                                        concat(kQdiscsEth0, renamed(kQdiscsEth0, "wlan0")))));
    const auto batch = [](const char* tool) {
        return MatchesRegex(std::string(tool) +
                            " (-force )?-batch /run/veltrane/\\.batch\\.veltrane-.{6}");
    };
    EXPECT_THAT(sandbox.toolProcesses(),
                ElementsAre(kCheckEth0, "tc qdisc show dev wlan0", batch("ip"), batch("tc")));
    EXPECT_THAT(log.messages(), Contains("Shaping interfaces: eth0, wlan0"));
    EXPECT_EQ(record(), "device vtifb-eth0\ndevice vtifb-wlan0\nqdisc eth0 root\n"
                        "qdisc eth0 ingress\nqdisc wlan0 root\nqdisc wlan0 ingress\n");

    // Disable removes exactly what is on record, newest first, and no more.
    sandbox.clearToolRuns();
    manager.disableThrottling();
    EXPECT_THAT(
        sandbox.toolRuns(),
        ElementsAreArray(concat(concat(renamed(kUndoQdiscsEth0, "wlan0"), kUndoQdiscsEth0),
                                {renamed({kUndoDeviceEth0}, "wlan0")[0], kUndoDeviceEth0})));
    EXPECT_THAT(sandbox.toolProcesses(), ElementsAre(batch("tc"), batch("ip")));
    EXPECT_EQ(record(), "");
    EXPECT_FALSE(manager.isActive());
    sandbox.clearToolRuns();
    manager.disableThrottling();
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
}

TEST_F(TrafficControlBackendTest,
       AnInterfaceWithAnotherProgramsQdiscFailsTheEnableBeforeAnyChange) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    sandbox.answer("tc", "qdisc show dev wlan0", 0, "qdisc htb 1: root refcnt 2 r2q 10\\n");
    EXPECT_EQ(
        enableFailure(),
        "Command failed: Cannot shape wlan0: it carries another program's qdisc (htb 1: root)");
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(std::vector<std::string>{kCheckEth0, "tc qdisc show dev wlan0"}));
    EXPECT_EQ(record(), "");
}

TEST_F(TrafficControlBackendTest, AFailingStepUndoesWhatTheEnableMadeOnEveryUplink) {
    uplinks->uplinks = {{"wlan0", 3}, {"eth0", 2}};
    // eth0's ingress qdisc: wlan0 is shaped, eth0's device and root are made.
    const std::string ingress = "tc qdisc add dev eth0 handle ffff: ingress";
    const auto failing = std::find(kQdiscsEth0.begin(), kQdiscsEth0.end(), ingress);
    sandbox.answer("tc", ingress.substr(3), 2, "", "no");
    EXPECT_EQ(enableFailure(), "Command failed: Failed to redirect download traffic on eth0: no");
    EXPECT_FALSE(manager.isActive());
    EXPECT_THAT(
        sandbox.toolRuns(),
        ElementsAreArray(concat(
            concat(concat({"tc qdisc show dev wlan0", kCheckEth0}, renamed(kDeviceEth0, "wlan0")),
                   concat(kDeviceEth0, renamed(kQdiscsEth0, "wlan0"))),
            concat({kQdiscsEth0.begin(), failing + 1},
                   {kUndoQdiscsEth0[1], renamed(kUndoQdiscsEth0, "wlan0")[0],
                    renamed(kUndoQdiscsEth0, "wlan0")[1], kUndoDeviceEth0,
                    renamed({kUndoDeviceEth0}, "wlan0")[0]}))));
    EXPECT_EQ(record(), "");

    // The throttling in force before it went with it: nothing is active.
    // (On other uplinks, so that it is not changed in place.)
    sandbox.clearAnswers();
    enable();
    uplinks->uplinks = {{"eth0", 2}};
    sandbox.answer("tc", ingress.substr(3), 2, "", "no");
    EXPECT_NE(enableFailure(), "");
    EXPECT_FALSE(manager.isActive());
    EXPECT_EQ(record(), "");
}

TEST_F(TrafficControlBackendTest, AnotherProfileWhileShapingChangesOnlyTheNetemLeavesThatDiffer) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    enable();
    sandbox.clearToolRuns();
    // Download loses its loss; upload keeps its 2 Mbit/s and 50 ms.
    manager.enableThrottling({125'000, 250'000, 100, 0.0, 0});
    const std::string download =
        "tc qdisc change dev vtifb-eth0 parent 5654:1 handle 5655: netem limit 55 rate "
        "1000000bit delay 50ms";
    EXPECT_THAT(sandbox.toolRuns(), ElementsAre(download, renamed({download}, "wlan0")[0]));
    EXPECT_EQ(sandbox.toolProcesses().size(), 1U);
    EXPECT_THAT(log.messages(), Contains("Changed the shaping in place"));
    EXPECT_TRUE(manager.isActive());

    // What a change would keep unless named again goes: the rate, the
    // reordering.
    ThrottleParameters reordering{0, 0, 100, 0.0, 0};
    reordering.reorderPercent = 5;
    manager.enableThrottling(reordering);
    sandbox.clearToolRuns();
    manager.enableThrottling({0, 0, 100, 0.0, 0});
    EXPECT_THAT(sandbox.toolRuns(), Contains("tc qdisc change dev vtifb-eth0 parent 5654:1 handle "
                                             "5655: netem limit 11081 delay 50ms reorder 0%"));
    sandbox.clearToolRuns();
    manager.enableThrottling({125'000, 0, 100, 0.0, 0});
    manager.enableThrottling({0, 0, 100, 0.0, 0});
    EXPECT_THAT(sandbox.toolRuns(), Contains("tc qdisc change dev vtifb-eth0 parent 5654:1 handle "
                                             "5655: netem limit 11081 delay 50ms rate 0bit"));

    // The same conditions again run nothing.
    sandbox.clearToolRuns();
    manager.enableThrottling({0, 0, 100, 0.0, 0});
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
    EXPECT_EQ(record(), "device vtifb-eth0\ndevice vtifb-wlan0\nqdisc eth0 root\n"
                        "qdisc eth0 ingress\nqdisc wlan0 root\nqdisc wlan0 ingress\n");
}

TEST_F(TrafficControlBackendTest, OtherUplinksOrARefusedChangeShapeAfreshInstead) {
    uplinks->uplinks = {{"eth0", 2}};
    enable();
    // eth0 re-created meanwhile: the leaves to change are gone.
    uplinks->uplinks = {{"eth0", 4}};
    sandbox.clearToolRuns();
    manager.enableThrottling({125'000, 250'000, 100, 0.0, 0});
    EXPECT_THAT(sandbox.toolRuns(), Contains("tc qdisc del dev eth0 root handle 5654:"));
    EXPECT_THAT(sandbox.toolRuns(), Contains(kQdiscsEth0.front()));

    sandbox.answer("tc",
                   "qdisc change dev vtifb-eth0 parent 5654:1 handle 5655: netem limit 55 "
                   "rate 1000000bit delay 50ms loss random 5.0%",
                   2, "", "RTNETLINK answers: No such file or directory");
    sandbox.clearToolRuns();
    enable();
    EXPECT_THAT(log.messages(),
                Contains("Cannot change the shaping in place: Command failed: Failed to configure "
                         "download shaping on eth0: RTNETLINK answers: No such file or directory"));
    EXPECT_THAT(sandbox.toolRuns(), Contains(kQdiscsEth0.back()));
    EXPECT_TRUE(manager.isActive());
    EXPECT_EQ(record(), kEth0Record);
}

TEST_F(TrafficControlBackendTest,
       TheRicherConditionsAreSharedOutAndKeepOrderUnlessReorderingIsAsked) {
    uplinks->uplinks = {{"eth0", 2}};
    ThrottleParameters parameters{0, 250'000, 101, 2.0, 0};
    parameters.jitterMs = 21;
    parameters.lossCorrelationPercent = 25;
    parameters.reorderPercent = 5;
    parameters.duplicatePercent = 1;
    manager.enableThrottling(parameters);
    const std::vector<std::string> runs = sandbox.toolRuns();
    ASSERT_GE(runs.size(), 3U);
    // Latency and jitter halved, the odd millisecond of each upward; the limit
    // holds what arrives during the longest delay. Upload's own rate keeps
    // its order; download has none, so the engine's largest keeps it there,
    // and a queue of 16 MiB of frames bounds what that rate could fill.
    EXPECT_EQ(runs[runs.size() - 3],
              "tc qdisc add dev eth0 parent 5655:1 handle 5656: netem limit 61 rate 2000000bit "
              "delay 51ms 11ms");
    EXPECT_EQ(runs.back(),
              "tc qdisc add dev vtifb-eth0 parent 5654:1 handle 5655: netem limit "
              "11081 rate 10000000000bit delay 50ms 10ms loss gemodel 1.5% 73.5% 100% 0% "
              "duplicate 1.0% reorder 5.0%");
}

TEST_F(TrafficControlBackendTest, UplinksThatCannotBeReadOrNoUplinkAtAllFailTheEnable) {
    uplinks->failure = "Operation not permitted";
    EXPECT_EQ(enableFailure(),
              "Command failed: Cannot read the network interfaces: Operation not permitted");
    uplinks->failure.clear();
    uplinks->uplinks.clear();
    EXPECT_EQ(enableFailure(),
              "Command failed: No network interface with a default route to shape");
}

TEST(InterfaceNames, FixedListsRefuseWhatCannotBeAnInterfaceAndLongNamesGetDistinctDevices) {
    EXPECT_EQ(FixedUplinks::parseNames("eth0,wlan0"), (std::vector<std::string>{"eth0", "wlan0"}));
    for (const char* bad : {"", "eth0,", "a/b", "eth0 ", "eth:1", "..", "sixteen-chars-xx"}) {
        EXPECT_THROW(FixedUplinks::parseNames(bad), std::invalid_argument) << bad;
    }
    const std::string first = ifbDeviceName("wlx00c0ca123456");
    EXPECT_NE(first, ifbDeviceName("wlx00c0ca123457"));
    EXPECT_TRUE(isUsableInterfaceName(first)) << first;
}

} // namespace
