// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "InterfaceName.h"
#include "ToolRuns.h"
#include "TrafficControlFilters.h"
#include "TrafficControlFixture.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

// The one place that says which runs of tc and ip a layout of throttles
// takes, from nothing and from another layout; the other tests check only
// what they add.

using testing::Contains;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
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

Destination destination(const char* text) {
    std::string failure;
    return *Destination::parse(text, failure);
}

// 1 Mbit/s down, 2 Mbit/s up, 100 ms and 5% loss for the whole machine.
const ShapingPlan kMachinePlan = ShapingPlan::from({125'000, 250'000, 100, 5.0, 0});
const ShapingLayout kMachine = ShapingLayout::wholeMachine(kMachinePlan);
// 400 kbit/s down, 200 kbit/s up and 40 ms to one HTTPS server and a network.
const ScopedPlan kScoped{2,
                         {{destination("192.0.2.7:443"), destination("2001:db8::/32")}, {}, {}},
                         ShapingPlan::from({50'000, 25'000, 40, 0, 0})};

// The whole machine's shaping of eth0, after its qdiscs were looked at: its
// download device in one run of ip, then its qdiscs in one run of tc.
const std::vector<std::string> kDeviceEth0 = {"ip link add vtifb-eth0 type ifb",
                                              "ip link set dev vtifb-eth0 up"};
const std::string kRoot = "tc qdisc add dev eth0 root handle 5654: htb default 0";
const std::string kPassThrough = " htb rate 100gbit burst 4mb cburst 4mb quantum 65536";
const std::vector<std::string> kMachineFiltersEth0 = {
    "tc filter add dev eth0 parent 5654: protocol ip pref 22100 u32 match ip protocol 6 0xff "
    "flowid 5654:1",
    "tc filter add dev eth0 parent 5654: protocol ip pref 22100 u32 match ip protocol 17 0xff "
    "flowid 5654:1",
    "tc filter add dev eth0 parent 5654: protocol ipv6 pref 22101 u32 match ip6 protocol 6 0xff "
    "flowid 5654:1",
    "tc filter add dev eth0 parent 5654: protocol ipv6 pref 22101 u32 match ip6 protocol 17 0xff "
    "flowid 5654:1"};
const std::string kRedirect =
    " action skbedit priority 5654:1 pipe action mirred egress redirect dev vtifb-eth0";
const std::vector<std::string> kMachineRedirectsEth0 = {
    "tc filter add dev eth0 parent ffff: protocol ip pref 22100 u32 match ip protocol 6 0xff" +
        kRedirect,
    "tc filter add dev eth0 parent ffff: protocol ip pref 22100 u32 match ip protocol 17 0xff" +
        kRedirect,
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 22101 u32 match ip6 protocol 6 0xff" +
        kRedirect,
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 22101 u32 match ip6 protocol 17 0xff" +
        kRedirect};
// In front of each netem a bucket of one frame of an MTU of 1500 (the MTU is
// not known here), so offloaded packets reach netem cut into frames.
// 250,000 B/s for 50 ms is 9 frames in flight, plus 50 queued behind the rate.
const std::vector<std::string> kMachineLeavesEth0 = {
    "tc qdisc add dev eth0 parent 5654:1 handle 5655: tbf rate 100gbit burst 1564 limit 75700",
    "tc qdisc add dev eth0 parent 5655:1 handle 5656: netem limit 59 rate 2000000bit delay 50ms",
    "tc qdisc add dev vtifb-eth0 parent 5654:1 handle 5655: tbf rate 100gbit burst 1564 "
    "limit 75700",
    "tc qdisc add dev vtifb-eth0 parent 5655:1 handle 5656: netem limit 55 rate 1000000bit "
    "delay 50ms loss random 5.0%"};
const std::vector<std::string> kQdiscsEth0 = concat(
    concat(concat({kRoot, "tc class add dev eth0 parent 5654: classid 5654:1" + kPassThrough},
                  kMachineFiltersEth0),
           concat({"tc qdisc add dev vtifb-eth0 root handle 5654: htb default 0",
                   "tc class add dev vtifb-eth0 parent 5654: classid 5654:1" + kPassThrough,
                   "tc qdisc add dev eth0 handle ffff: ingress"},
                  kMachineRedirectsEth0)),
    kMachineLeavesEth0);
const std::string kCheckEth0 = "tc qdisc show dev eth0";
// What removing eth0's shaping runs: the record newest first, its qdiscs
// in one run of tc and then its device.
const std::vector<std::string> kUndoQdiscsEth0 = {"tc qdisc del dev eth0 handle ffff: ingress",
                                                  "tc qdisc del dev eth0 root handle 5654:"};
const std::string kUndoDeviceEth0 = "ip link delete dev vtifb-eth0";

// The scoped throttle's class, leaves and filters on eth0: its own handles
// (5657:, 5658:), its HTTPS server's filters before its network's.
const std::vector<std::string> kScopedClassesEth0 = {
    "tc class add dev eth0 parent 5654: classid 5654:2" + kPassThrough,
    "tc class add dev vtifb-eth0 parent 5654: classid 5654:2" + kPassThrough};
const std::vector<std::string> kScopedLeavesEth0 = {
    "tc qdisc add dev eth0 parent 5654:2 handle 5657: tbf rate 100gbit burst 1564 limit 75700",
    "tc qdisc add dev eth0 parent 5657:1 handle 5658: netem limit 51 rate 200000bit delay 20ms",
    "tc qdisc add dev vtifb-eth0 parent 5654:2 handle 5657: tbf rate 100gbit burst 1564 "
    "limit 75700",
    "tc qdisc add dev vtifb-eth0 parent 5657:1 handle 5658: netem limit 51 rate 400000bit "
    "delay 20ms"};
const std::vector<std::string> kScopedFiltersEth0 = {
    "tc filter add dev eth0 parent 5654: protocol ip pref 10002 u32 match ip protocol 6 0xff "
    "match ip dst 192.0.2.7 match ip dport 443 0xffff flowid 5654:2",
    "tc filter add dev eth0 parent 5654: protocol ip pref 10002 u32 match ip protocol 17 0xff "
    "match ip dst 192.0.2.7 match ip dport 443 0xffff flowid 5654:2",
    "tc filter add dev eth0 parent 5654: protocol ipv6 pref 15932 u32 match ip6 protocol 6 0xff "
    "match ip6 dst 2001:db8::/32 flowid 5654:2",
    "tc filter add dev eth0 parent 5654: protocol ipv6 pref 15932 u32 match ip6 protocol 17 0xff "
    "match ip6 dst 2001:db8::/32 flowid 5654:2"};
const std::string kScopedRedirect =
    " action skbedit priority 5654:2 pipe action mirred egress redirect dev vtifb-eth0";
const std::vector<std::string> kScopedRedirectsEth0 = {
    "tc filter add dev eth0 parent ffff: protocol ip pref 10002 u32 match ip protocol 6 0xff "
    "match ip src 192.0.2.7 match ip sport 443 0xffff" +
        kScopedRedirect,
    "tc filter add dev eth0 parent ffff: protocol ip pref 10002 u32 match ip protocol 17 0xff "
    "match ip src 192.0.2.7 match ip sport 443 0xffff" +
        kScopedRedirect,
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 15932 u32 match ip6 protocol 6 0xff "
    "match ip6 src 2001:db8::/32" +
        kScopedRedirect,
    "tc filter add dev eth0 parent ffff: protocol ipv6 pref 15932 u32 match ip6 protocol 17 0xff "
    "match ip6 src 2001:db8::/32" +
        kScopedRedirect};

class TrafficControlBackendTest : public TrafficControlFixture {
protected:
    std::string applyFailure(const ShapingLayout& layout = kMachine) {
        return whatThrows([&] { backend.applyShaping(layout); });
    }
    static ShapingLayout withScoped(ShapingLayout layout, const ScopedPlan& scoped = kScoped) {
        layout.throttles.push_back(scoped);
        return layout;
    }

    TrafficControlBackend backend{log.logger(), executor, paths,
                                  std::make_unique<ListedUplinks>(uplinks),
                                  TrafficControlBackend::Devices::throughTools};
};

TEST_F(TrafficControlBackendTest, EnableLooksAtEveryUplinkFirstThenShapesAllInOneRunOfEachTool) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    backend.applyShaping(kMachine);
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

    // Removal undoes exactly what is on record, newest first, and no more.
    sandbox.clearToolRuns();
    backend.removeShaping();
    EXPECT_THAT(
        sandbox.toolRuns(),
        ElementsAreArray(concat(concat(renamed(kUndoQdiscsEth0, "wlan0"), kUndoQdiscsEth0),
                                {renamed({kUndoDeviceEth0}, "wlan0")[0], kUndoDeviceEth0})));
    EXPECT_THAT(sandbox.toolProcesses(), ElementsAre(batch("tc"), batch("ip")));
    EXPECT_EQ(record(), "");
    EXPECT_FALSE(backend.hasRecordedChanges());
    sandbox.clearToolRuns();
    backend.removeShaping();
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
}

TEST_F(TrafficControlBackendTest, EachThrottleOfALayoutGetsItsClassLeavesAndFiltersBothWays) {
    backend.applyShaping(withScoped(kMachine));
    const std::vector<std::string> classes = {
        "tc class add dev eth0 parent 5654: classid 5654:1" + kPassThrough, kScopedClassesEth0[0]};
    EXPECT_THAT(
        sandbox.toolRuns(),
        ElementsAreArray(concat(
            concat(
                concat({kCheckEth0}, kDeviceEth0),
                concat(concat({kRoot}, classes), concat(kMachineFiltersEth0, kScopedFiltersEth0))),
            concat(concat({"tc qdisc add dev vtifb-eth0 root handle 5654: htb default 0",
                           "tc class add dev vtifb-eth0 parent 5654: classid 5654:1" + kPassThrough,
                           kScopedClassesEth0[1], "tc qdisc add dev eth0 handle ffff: ingress"},
                          concat(kMachineRedirectsEth0, kScopedRedirectsEth0)),
                   concat(kMachineLeavesEth0, kScopedLeavesEth0)))));
    // Classes and filters go with the qdiscs on record.
    EXPECT_EQ(record(), kEth0Record);

    // Scoped throttles alone: unclassified traffic passes untouched.
    backend.removeShaping();
    sandbox.clearToolRuns();
    backend.applyShaping(withScoped({}));
    EXPECT_THAT(sandbox.toolRuns(), Contains(kScopedFiltersEth0[0]));
    EXPECT_THAT(sandbox.toolRuns(), testing::Not(Contains(kMachineFiltersEth0[0])));
    EXPECT_THAT(sandbox.toolRuns(), testing::Not(Contains(testing::HasSubstr("5654:1"))));
}

TEST_F(TrafficControlBackendTest, ALayoutChangedInPlaceTouchesOnlyTheThrottlesThatChanged) {
    uplinks->uplinks = {{"eth0", 2}};
    backend.applyShaping(kMachine);

    // A scoped throttle begins: its classes and leaves before its filters, so
    // none of its packets meets a class without its conditions.
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped(kMachine)));
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(concat(kScopedClassesEth0, kScopedLeavesEth0),
                                        concat(kScopedFiltersEth0, kScopedRedirectsEth0))));
    EXPECT_EQ(sandbox.toolProcesses().size(), 1U);
    EXPECT_THAT(log.messages(), Contains("Changed the shaping in place"));

    // Its conditions change: its netem leaves change, and nothing else.
    ScopedPlan slower = kScoped;
    slower.plan = ShapingPlan::from({50'000, 12'500, 40, 0, 0});
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped(kMachine, slower)));
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAre("tc qdisc change dev eth0 parent 5657:1 handle 5658: netem limit 51 "
                            "rate 100000bit delay 20ms"));

    // The same layout again runs nothing.
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped(kMachine, slower)));
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());

    // The whole machine's throttle ends: its filters go before its classes,
    // and the scoped throttle's stay as they are.
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped({}, slower)));
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAre("tc filter del dev eth0 parent 5654: protocol ip pref 22100",
                            "tc filter del dev eth0 parent 5654: protocol ipv6 pref 22101",
                            "tc filter del dev eth0 parent ffff: protocol ip pref 22100",
                            "tc filter del dev eth0 parent ffff: protocol ipv6 pref 22101",
                            "tc class del dev eth0 classid 5654:1",
                            "tc class del dev vtifb-eth0 classid 5654:1"));

    // Another throttle in the same slot: the old one goes before the new one
    // takes the slot.
    ScopedPlan other = slower;
    other.scope.destinations = {destination(":5432")};
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped({}, other)));
    const std::vector<std::string> runs = sandbox.toolRuns();
    ASSERT_EQ(runs.size(), 6U + 2U + 4U + 4U + 4U);
    EXPECT_EQ(runs[0], "tc filter del dev eth0 parent 5654: protocol ip pref 10002");
    EXPECT_EQ(runs[5], "tc class del dev vtifb-eth0 classid 5654:2");
    EXPECT_EQ(runs[6], kScopedClassesEth0[0]);
    EXPECT_EQ(runs[12], "tc filter add dev eth0 parent 5654: protocol ip pref 10642 u32 match ip "
                        "protocol 6 0xff match ip dport 5432 0xffff flowid 5654:2");
    EXPECT_EQ(record(), kEth0Record);
}

TEST_F(TrafficControlBackendTest, TheMostSpecificScopeIsTriedFirst) {
    // Lower preferences are tried first; IPv4 and IPv6 are apart, so each
    // is ordered on its own.
    const auto firstPreference = [](const char* text, int slot) {
        const ScopedPlan throttle{slot, {{destination(text)}, {}, {}}, {}};
        return TrafficControlFilters::preferences(throttle).front().preference;
    };
    const int machine =
        TrafficControlFilters::preferences(kMachine.throttles[0]).front().preference;
    EXPECT_LT(firstPreference("10.1.2.3:443", 9), firstPreference("10.1.2.3", 2));
    EXPECT_LT(firstPreference("10.1.2.3", 9), firstPreference("10.1.0.0/16", 2));
    EXPECT_LT(firstPreference("10.1.0.0/16", 9), firstPreference(":443", 2));
    EXPECT_LT(firstPreference(":443", 9), machine);
    EXPECT_LT(firstPreference("[2001:db8::1]:443", 9), firstPreference("2001:db8::/32", 2));
    // Slots never share a preference, so one throttle's filters are removed
    // alone.
    EXPECT_NE(firstPreference("10.1.2.3", 2), firstPreference("10.1.2.3", 3));
}

TEST_F(TrafficControlBackendTest, ACommandsPacketsAreMarkedByCgroupAndClassifiedByMarkBothWays) {
    const ScopedPlan command{3, {{}, {}, {"user.slice/veltrane-run-1.scope"}}, kScoped.plan};
    const std::string redirect3 =
        " action skbedit priority 5654:3 pipe action mirred egress redirect dev vtifb-eth0";
    const std::string chain3 = "inet veltrane command3";
    // In one transaction, made whole or not at all.
    const std::string kMarking3 =
        "nft add table inet veltrane ; add chain " + chain3 +
        " { type filter hook output priority mangle ; policy accept ; } ; add rule " + chain3 +
        " socket cgroupv2 level 2 \"user.slice/veltrane-run-1.scope\" meta mark set 0x56540003 "
        "ct mark set meta mark";
    backend.applyShaping(withScoped({}, command));
    // Marks are restored from the connection before any filter reads them;
    // the nftables table comes last, once its marks lead somewhere.
    EXPECT_THAT(
        sandbox.toolRuns(),
        ElementsAreArray(concat(
            concat({kCheckEth0}, kDeviceEth0),
            {kRoot, "tc class add dev eth0 parent 5654: classid 5654:3" + kPassThrough,
             "tc filter add dev eth0 parent 5654: protocol all pref 9003 handle 0x56540003 fw "
             "flowid 5654:3",
             "tc qdisc add dev vtifb-eth0 root handle 5654: htb default 0",
             "tc class add dev vtifb-eth0 parent 5654: classid 5654:3" + kPassThrough,
             "tc qdisc add dev eth0 handle ffff: ingress",
             "tc filter add dev eth0 parent ffff: protocol all pref 8003 u32 match u32 0 0 action "
             "connmark continue",
             "tc filter add dev eth0 parent ffff: protocol all pref 9003 handle 0x56540003 fw" +
                 redirect3,
             "tc qdisc add dev eth0 parent 5654:3 handle 5659: tbf rate 100gbit burst 1564 "
             "limit 75700",
             "tc qdisc add dev eth0 parent 5659:1 handle 565a: netem limit 51 rate 200000bit "
             "delay 20ms",
             "tc qdisc add dev vtifb-eth0 parent 5654:3 handle 5659: tbf rate 100gbit burst 1564 "
             "limit 75700",
             "tc qdisc add dev vtifb-eth0 parent 5659:1 handle 565a: netem limit 51 rate "
             "400000bit delay 20ms",
             kMarking3})));
    EXPECT_EQ(record(), kEth0Record + "nftables inet veltrane\n");

    // Another command: its own chain beside the first, whose packets stay
    // marked throughout.
    const ScopedPlan other{
        4, {{}, {}, {"user.slice/user-1000.slice/veltrane-run-2.scope"}}, kScoped.plan};
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped(withScoped({}, command), other)));
    std::vector<std::string> runs = sandbox.toolRuns();
    ASSERT_EQ(runs.size(), 6U + 3U + 1U);
    EXPECT_EQ(runs[6], "tc filter add dev eth0 parent 5654: protocol all pref 9004 handle "
                       "0x56540004 fw flowid 5654:4");
    EXPECT_EQ(runs.back(), "nft add chain inet veltrane command4 { type filter hook output "
                           "priority mangle ; policy accept ; } ; add rule inet veltrane "
                           "command4 socket cgroupv2 level 3 "
                           "\"user.slice/user-1000.slice/veltrane-run-2.scope\" meta mark set "
                           "0x56540004 ct mark set meta mark");

    // The first ends: its filters, classes and chain go; the table stays.
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped({}, other)));
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAre("tc filter del dev eth0 parent 5654: protocol all pref 9003",
                            "tc filter del dev eth0 parent ffff: protocol all pref 8003",
                            "tc filter del dev eth0 parent ffff: protocol all pref 9003",
                            "tc class del dev eth0 classid 5654:3",
                            "tc class del dev vtifb-eth0 classid 5654:3",
                            "nft flush chain " + chain3 + " ; delete chain " + chain3));
    EXPECT_EQ(record(), kEth0Record + "nftables inet veltrane\n");

    // A later command's throttle in that slot marks its packets after its own
    // id: conntrack keeps the first one's mark on its connections, which the
    // later one must not shape. Another in its place, even of the same
    // cgroup, has its filters and chain made anew.
    const ScopedPlan later{3, command.scope, kScoped.plan, 70'000};
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(withScoped(withScoped({}, other), later)));
    EXPECT_THAT(sandbox.toolRuns(), Contains(HasSubstr("pref 9003 handle 0x56541171 fw")));
    EXPECT_THAT(sandbox.toolRuns().back(), HasSubstr("meta mark set 0x56541171"));
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(
        withScoped(withScoped({}, other), {3, command.scope, kScoped.plan, 70'001})));
    EXPECT_THAT(
        sandbox.toolRuns(),
        testing::IsSupersetOf(std::vector<std::string>{
            "tc filter del dev eth0 parent 5654: protocol all pref 9003",
            "nft flush chain " + chain3 + " ; delete chain " + chain3 + " ; add chain " + chain3 +
                " { type filter hook output priority mangle ; policy accept ; } ; add "
                "rule " +
                chain3 +
                " socket cgroupv2 level 2 \"user.slice/veltrane-run-1.scope\" meta mark "
                "set 0x56541172 ct mark set meta mark"}));

    // Removal deletes the table with its chains, before the qdiscs.
    sandbox.clearToolRuns();
    backend.removeShaping();
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat({"nft delete table inet veltrane"},
                                        concat(kUndoQdiscsEth0, {kUndoDeviceEth0}))));
    EXPECT_EQ(record(), "");

    // A kernel without what the marking needs: the transaction made
    // nothing, so its table leaves the record, and the enable is undone.
    sandbox.clearToolRuns();
    sandbox.answer("nft", kMarking3.substr(4), 1, "",
                   "Error: Could not process rule: Operation not supported");
    EXPECT_EQ(applyFailure(withScoped({}, command)),
              "Command failed: Failed to mark the packets of a throttled command or application: "
              "the kernel "
              "lacks nftables for IP with sockets by cgroup and connection marks (modules "
              "nf_tables, nft_socket, nft_ct): Error: Could not process rule: Operation not "
              "supported");
    EXPECT_EQ(record(), "");
    EXPECT_THAT(sandbox.toolRuns(), testing::Not(Contains("nft delete table inet veltrane")));
}

// An application's scopes come and go in its own chain, its rules flushed
// and made again in one transaction; its classes and filters stay.
TEST_F(TrafficControlBackendTest, AnApplicationsScopesChangeItsMarkingAloneInOneTransaction) {
    ThrottleScope editor;
    editor.application = "org.example.Editor";
    const std::string chain = "inet veltrane command3";
    const std::string app = "user.slice/user-1000.slice/user@1000.service/app.slice/";
    const auto rule = [&](const std::string& scope) {
        return " ; add rule " + chain + " socket cgroupv2 level 5 \"" + app + scope +
               "\" meta mark set 0x56540003 ct mark set meta mark";
    };
    // Waiting for the application: its chain marks nothing yet.
    backend.applyShaping(withScoped({}, {3, editor, kScoped.plan}));
    EXPECT_EQ(sandbox.toolRuns().back(),
              "nft add table inet veltrane ; add chain " + chain +
                  " { type filter hook output priority mangle ; policy accept ; }");
    editor.cgroups = {app + "app-gnome-org.example.Editor-10.scope",
                      app + "app-org.example.Editor.slice"};
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeConditions(withScoped({}, {3, editor, kScoped.plan})));
    EXPECT_THAT(sandbox.toolRuns(), ElementsAre("nft flush chain " + chain +
                                                rule("app-gnome-org.example.Editor-10.scope") +
                                                rule("app-org.example.Editor.slice")));
    editor.cgroups.pop_back();
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeConditions(withScoped({}, {3, editor, kScoped.plan})));
    EXPECT_THAT(sandbox.toolRuns(), ElementsAre("nft flush chain " + chain +
                                                rule("app-gnome-org.example.Editor-10.scope")));
}

TEST_F(TrafficControlBackendTest, ACommandsCgroupIsRefusedOnlyWhenNftCouldNotReadItsPath) {
    ThrottleScope command;
    command.cgroups = {"user.slice/a\"b.scope"};
    EXPECT_EQ(backend.refusal({}, command),
              "Cannot throttle the processes in cgroup user.slice/a\"b.scope: its path has a "
              "double quote");
    command.cgroups = {"user.slice/veltrane-run-1.scope"};
    EXPECT_EQ(backend.refusal({}, command), std::nullopt);
    EXPECT_EQ(backend.refusal({}, kScoped.scope), std::nullopt);
}

TEST_F(TrafficControlBackendTest,
       AnInterfaceWithAnotherProgramsQdiscFailsTheEnableBeforeAnyChange) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    sandbox.answer("tc", "qdisc show dev wlan0", 0, "qdisc htb 1: root refcnt 2 r2q 10\\n");
    EXPECT_EQ(
        applyFailure(),
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
    EXPECT_EQ(applyFailure(), "Command failed: Failed to redirect download traffic on eth0: no");
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
    EXPECT_FALSE(backend.changeShaping(kMachine)) << "changed a shaping that is gone";
}

TEST_F(TrafficControlBackendTest, OtherUplinksOrARefusedStepLeaveTheChangeToAFreshShaping) {
    uplinks->uplinks = {{"eth0", 2}};
    backend.applyShaping(kMachine);
    // eth0 re-created meanwhile: the classes to change are gone.
    uplinks->uplinks = {{"eth0", 4}};
    sandbox.clearToolRuns();
    EXPECT_FALSE(backend.changeShaping(withScoped(kMachine)));
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());

    uplinks->uplinks = {{"eth0", 2}};
    sandbox.answer("tc", kScopedClassesEth0[0].substr(3), 2, "", "RTNETLINK answers: File exists");
    EXPECT_FALSE(backend.changeShaping(withScoped(kMachine)));
    EXPECT_THAT(log.messages(),
                Contains("Cannot change the shaping in place: Command failed: Failed to set up "
                         "upload shaping on eth0: RTNETLINK answers: File exists"));
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
    backend.applyShaping(ShapingLayout::wholeMachine(ShapingPlan::from(parameters)));
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
              "tc qdisc add dev vtifb-eth0 parent 5655:1 handle 5656: netem limit "
              "11081 rate 10000000000bit delay 50ms 10ms loss gemodel 1.5% 73.5% 100% 0% "
              "duplicate 1.0% reorder 5.0%");

    // What a change would keep unless named again goes: the rate, the
    // reordering.
    sandbox.clearToolRuns();
    ASSERT_TRUE(backend.changeShaping(
        ShapingLayout::wholeMachine(ShapingPlan::from({0, 250'000, 100, 0.0, 0}))));
    EXPECT_THAT(sandbox.toolRuns(),
                Contains("tc qdisc change dev vtifb-eth0 parent 5655:1 handle 5656: netem limit "
                         "11081 delay 50ms rate 0bit reorder 0%"));
}

TEST_F(TrafficControlBackendTest, AThrottleOutsideTheSlotsIsRefusedBeforeAnyChange) {
    ScopedPlan stray = kScoped;
    stray.slot = ScopedPlan::kLastSlot + 1;
    EXPECT_EQ(applyFailure(withScoped(kMachine, stray)),
              "Command failed: Cannot shape a throttle in slot 10: slots run from 1 to 9");
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
}

TEST_F(TrafficControlBackendTest, UplinksThatCannotBeReadOrNoUplinkAtAllFailTheEnable) {
    uplinks->failure = "Operation not permitted";
    EXPECT_EQ(applyFailure(),
              "Command failed: Cannot read the network interfaces: Operation not permitted");
    uplinks->failure.clear();
    uplinks->uplinks.clear();
    EXPECT_EQ(applyFailure(), "Command failed: No network interface with a default route to shape");
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
