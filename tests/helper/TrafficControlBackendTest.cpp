// SPDX-License-Identifier: MIT
#include "TrafficControlBackend.h"

#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "InterfaceName.h"
#include "LogCapture.h"
#include "ThrottlingManager.h"
#include "ToolRuns.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using testing::Contains;
using testing::ElementsAreArray;
using testing::IsEmpty;

namespace {

// Uplinks the test changes as it goes; `failure` makes reading them fail.
struct UplinkList {
    std::vector<Uplink> uplinks{{"eth0", 2}};
    std::string failure;
};

class ListedUplinks final : public UplinkSource {
public:
    explicit ListedUplinks(std::shared_ptr<UplinkList> list)
        : m_list(std::move(list)) {}
    std::vector<Uplink> uplinks() const override {
        if (!m_list->failure.empty()) {
            throw std::runtime_error(m_list->failure);
        }
        return m_list->uplinks;
    }

private:
    std::shared_ptr<UplinkList> m_list;
};

std::vector<std::string> renamed(std::vector<std::string> runs, const std::string& name) {
    for (auto& run : runs) {
        for (size_t at = run.find("eth0"); at != std::string::npos; at = run.find("eth0", at)) {
            run.replace(at, 4, name);
        }
    }
    return runs;
}

// The enable of 1 Mbit/s down, 2 Mbit/s up, 100 ms and 5% loss on eth0, after
// its qdiscs were looked at.
const std::vector<std::string> kShapeEth0 = {
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
    // In front of each netem a bucket of one frame of an MTU of 1500 (the MTU
    // is not known here), so offloaded packets reach netem cut into frames.
    "tc qdisc add dev eth0 parent 5654:1 handle 5655: tbf rate 100gbit burst 1564 limit 75700",
    // 250,000 B/s for 50 ms is 9 frames in flight, plus 50 queued behind the rate.
    "tc qdisc add dev eth0 parent 5655:1 handle 5656: netem limit 59 rate 2000000bit delay 50ms",
    "tc qdisc add dev vtifb-eth0 root handle 5654: tbf rate 100gbit burst 1564 limit 75700",
    "tc qdisc add dev vtifb-eth0 parent 5654:1 handle 5655: netem limit 55 rate 1000000bit "
    "delay 50ms loss random 5.0%",
};
const std::string kCheckEth0 = "tc qdisc show dev eth0";
// What removing eth0's shaping runs: the record, newest first.
const std::vector<std::string> kUndoEth0 = {"tc qdisc del dev eth0 handle ffff: ingress",
                                            "ip link delete dev vtifb-eth0",
                                            "tc qdisc del dev eth0 root handle 5654:"};

class TrafficControlBackendTest : public testing::Test {
protected:
    void enable() { manager.enableThrottling({125'000, 250'000, 100, 5.0, 0}); }

    std::string enableFailure() {
        return whatThrows([this] { enable(); });
    }

    std::string record() const {
        return sandbox.exists("/run/veltrane/shaping.record")
                   ? sandbox.readFile("/run/veltrane/shaping.record")
                   : std::string();
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    CommandExecutor executor{log.logger()};
    std::shared_ptr<UplinkList> uplinks = std::make_shared<UplinkList>();
    ThrottlingManager manager{log.logger(),
                              std::make_unique<TrafficControlBackend>(
                                  log.logger(), executor, EnginePaths::underRoot(sandbox.root()),
                                  std::make_unique<ListedUplinks>(uplinks))};
};

TEST_F(TrafficControlBackendTest, EnableLooksAtEveryUplinkFirstThenShapesEachAndRecordsIt) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    enable();
    EXPECT_TRUE(manager.isActive());
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat({kCheckEth0, "tc qdisc show dev wlan0"},
                                        concat(kShapeEth0, renamed(kShapeEth0, "wlan0")))));
    EXPECT_THAT(log.messages(), Contains("Shaping interfaces: eth0, wlan0"));
    EXPECT_EQ(record(), "qdisc eth0 root\ndevice vtifb-eth0\nqdisc eth0 ingress\n"
                        "qdisc wlan0 root\ndevice vtifb-wlan0\nqdisc wlan0 ingress\n");

    // Disable removes exactly what is on record, newest first, and no more.
    sandbox.clearToolRuns();
    manager.disableThrottling();
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(renamed(kUndoEth0, "wlan0"), kUndoEth0)));
    EXPECT_EQ(record(), "");
    EXPECT_FALSE(manager.isActive());
    sandbox.clearToolRuns();
    manager.disableThrottling();
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
}

TEST_F(TrafficControlBackendTest, AnInterfaceWithAnotherProgramsQdiscIsLeftAlone) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    // The kernel's own default root qdisc (handle 0:) is nobody's.
    for (const auto& [shown, named] :
         {std::pair{"qdisc clsact ffff: parent ffff:fff1 \\n", "clsact ffff: ingress"},
          {"qdisc ingress ffff: parent ffff:fff1 ----------------\\n", "ingress ffff: ingress"},
          {"qdisc htb 1: root refcnt 2 r2q 10 default 0\\n", "htb 1: root"}}) {
        sandbox.clearAnswers();
        sandbox.answer("tc", "qdisc show dev eth0", 0,
                       "qdisc fq_codel 0: root refcnt 2 limit 10240p\\n");
        sandbox.answer("tc", "qdisc show dev wlan0", 0, shown);
        sandbox.clearToolRuns();
        EXPECT_EQ(enableFailure(),
                  std::string("Command failed: Cannot shape wlan0: it carries another program's "
                              "qdisc (") +
                      named + ")");
        EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(std::vector<std::string>{
                                            kCheckEth0, "tc qdisc show dev wlan0"}));
    }
    EXPECT_EQ(record(), "");
}

// One step of the eth0 enable failing, by its index in kShapeEth0.
class TrafficControlRollbackTest : public TrafficControlBackendTest,
                                   public testing::WithParamInterface<size_t> {};

TEST_P(TrafficControlRollbackTest, AFailingStepUndoesEverythingThatWasMadeAndNothingElse) {
    uplinks->uplinks = {{"wlan0", 3}, {"eth0", 2}};
    const std::string& failing = kShapeEth0[GetParam()];
    const size_t space = failing.find(' ');
    sandbox.answer(failing.substr(0, space), failing.substr(space + 1), 2, "", "no");
    EXPECT_THAT(enableFailure(), testing::EndsWith(" eth0: no"));
    EXPECT_FALSE(manager.isActive());

    // A step that failed to make something is not undone: what is there
    // may be another program's by now.
    std::vector<std::string> undo;
    const struct {
        size_t made;
        const char* undo;
    } creations[] = {{8, "tc qdisc del dev eth0 handle ffff: ingress"},
                     {6, "ip link delete dev vtifb-eth0"},
                     {0, "tc qdisc del dev eth0 root handle 5654:"}};
    for (const auto& creation : creations) {
        if (creation.made < GetParam()) {
            undo.push_back(creation.undo);
        }
    }
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(
                    concat({"tc qdisc show dev wlan0", kCheckEth0}, renamed(kShapeEth0, "wlan0")),
                    concat({kShapeEth0.begin(), kShapeEth0.begin() + GetParam() + 1},
                           concat(undo, renamed(kUndoEth0, "wlan0"))))));
    EXPECT_EQ(record(), "");
}

INSTANTIATE_TEST_SUITE_P(EachStep, TrafficControlRollbackTest,
                         testing::Values(0, 1, 5, 6, 7, 8, 9, 13, 14, 16));

TEST_F(TrafficControlBackendTest, WhatCouldNotBeRemovedStaysOnRecordUntilADisableRemovesIt) {
    // tc and ip say so when what a step removes is gone already.
    for (const char* gone : {"Cannot find device \"eth0\"", "Error: Invalid handle.",
                             "Error: Cannot delete qdisc with handle of zero."}) {
        enable();
        sandbox.clearAnswers();
        sandbox.answer("tc", "qdisc del dev eth0 root handle 5654:", 2, "", gone);
        manager.disableThrottling();
        EXPECT_EQ(record(), "") << gone;
    }
    enable();
    sandbox.clearAnswers();
    sandbox.answer("ip", "link delete dev vtifb-eth0", 2, "",
                   "RTNETLINK answers: Operation not permitted");
    std::filesystem::rename(sandbox.path("/usr/sbin/tc"), sandbox.path("/usr/sbin/tc.away"));
    sandbox.clearToolRuns();
    const std::string tc = sandbox.path("/usr/sbin/tc");
    EXPECT_EQ(whatThrows([this] { manager.disableThrottling(); }),
              "Could not remove all shaping: " + tc +
                  " qdisc del dev eth0 handle ffff: ingress: No such file or directory; " +
                  sandbox.path("/usr/sbin/ip") +
                  " link delete dev vtifb-eth0: RTNETLINK answers: Operation not permitted; " + tc +
                  " qdisc del dev eth0 root handle 5654:: No such file or directory");
    EXPECT_TRUE(manager.isActive());
    EXPECT_EQ(record(), "qdisc eth0 root\ndevice vtifb-eth0\nqdisc eth0 ingress\n");

    // The next try removes only what is still listed.
    std::filesystem::rename(sandbox.path("/usr/sbin/tc.away"), sandbox.path("/usr/sbin/tc"));
    sandbox.answer("tc", "qdisc del dev eth0 handle ffff: ingress", 2, "",
                   "Error: Cannot find specified qdisc on specified device.");
    sandbox.clearToolRuns();
    EXPECT_THAT(whatThrows([this] { manager.disableThrottling(); }),
                testing::EndsWith("link delete dev vtifb-eth0: RTNETLINK answers: Operation not "
                                  "permitted"));
    EXPECT_EQ(record(), "device vtifb-eth0\n");
    sandbox.clearAnswers();
    sandbox.clearToolRuns();
    manager.disableThrottling();
    EXPECT_THAT(sandbox.toolRuns(), testing::ElementsAre("ip link delete dev vtifb-eth0"));
    EXPECT_EQ(record(), "");
    EXPECT_FALSE(manager.isActive());
}

TEST_F(TrafficControlBackendTest, AMissingKernelFeatureIsNamed) {
    sandbox.answer("tc", kShapeEth0[14].substr(3), 2, "",
                   "Error: Specified qdisc kind is unknown.");
    EXPECT_EQ(enableFailure(), "Command failed: Failed to configure upload shaping on eth0: the "
                               "kernel lacks netem (module sch_netem): Error: Specified qdisc "
                               "kind is unknown.");
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

TEST_F(TrafficControlBackendTest, WhatCannotBeReadFailsInsteadOfShapingOrRemovingNothing) {
    uplinks->failure = "Operation not permitted";
    EXPECT_EQ(enableFailure(),
              "Command failed: Cannot read the network interfaces: Operation not permitted");
    uplinks->failure.clear();
    uplinks->uplinks.clear();
    EXPECT_EQ(enableFailure(),
              "Command failed: No network interface with a default route to shape");

    uplinks->uplinks = {{"eth0", 2}};
    enable();
    std::filesystem::remove(sandbox.path("/run/veltrane/shaping.record"));
    std::filesystem::create_directory(sandbox.path("/run/veltrane/shaping.record"));
    EXPECT_EQ(whatThrows([this] { manager.disableThrottling(); }),
              "File error: Failed to read the change record: Is a directory");
    EXPECT_TRUE(manager.isActive());
}

TEST_F(TrafficControlBackendTest, AnUplinkThatAppearsOrIsRecreatedWhileActiveIsShaped) {
    manager.followUplinks();
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty()) << "shaped while inactive";
    enable();
    sandbox.clearToolRuns();

    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    manager.followUplinks();
    EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(concat({"tc qdisc show dev wlan0"},
                                                            renamed(kShapeEth0, "wlan0"))));
    EXPECT_THAT(log.messages(), Contains("Shaping new uplink wlan0"));

    // eth0 re-created: its qdiscs went with the old link, its device stayed.
    sandbox.clearToolRuns();
    uplinks->uplinks = {{"eth0", 7}, {"wlan0", 3}};
    manager.followUplinks();
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(concat(kUndoEth0, {kCheckEth0}), kShapeEth0)));
    EXPECT_EQ(record(), "qdisc wlan0 root\ndevice vtifb-wlan0\nqdisc wlan0 ingress\n"
                        "qdisc eth0 root\ndevice vtifb-eth0\nqdisc eth0 ingress\n");

    // A larger MTU: the buckets would drop the largest frames, so eth0 is
    // shaped anew with buckets that take them.
    sandbox.clearToolRuns();
    uplinks->uplinks = {{"eth0", 7, 9000}, {"wlan0", 3}};
    manager.followUplinks();
    std::vector<std::string> jumbo = kShapeEth0;
    for (auto& run : jumbo) {
        if (const size_t at = run.find("burst 1564"); at != std::string::npos) {
            run.replace(at, 10, "burst 9064");
        }
    }
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAreArray(concat(concat(kUndoEth0, {kCheckEth0}), jumbo)));
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
