// SPDX-License-Identifier: MIT
#include "UplinkFollower.h"

#include "ForeignQdiscs.h"
#include "TrafficControlChanges.h"
#include "TrafficControlFixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::Contains;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace {

const std::string kWlan0Record = "device vtifb-wlan0\nqdisc wlan0 root\nqdisc wlan0 ingress\n";

class UplinkFollowerTest : public TrafficControlFixture {
protected:
    // eth0 shaped as an enable leaves it.
    void shapeEth0() {
        changes.shape({{"eth0", 2}}, layout);
        follower.start(layout, {{"eth0", 2}});
        sandbox.clearToolRuns();
    }

    ForeignQdiscs foreign{devices};
    TrafficControlChanges changes{log.logger(), tools, paths.changeRecord};
    UplinkFollower follower{log.logger(), std::make_unique<ListedUplinks>(uplinks), foreign,
                            changes};
    // The whole machine's throttle and one to a network.
    ShapingLayout layout{
        {{ScopedPlan::kMachineSlot, {}, ShapingPlan::from({125'000, 0, 100, 0, 0})},
         {3, network(), ShapingPlan::from({0, 0, 40, 0, 0})}}};

    static ThrottleScope network() {
        std::string failure;
        return {{*Destination::parse("198.51.100.0/24", failure)}, {}, {}};
    }
};

TEST_F(UplinkFollowerTest, AnUplinkThatAppearsOrIsRecreatedWhileShapingIsShaped) {
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}};
    follower.follow();
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty()) << "shaped while stopped";

    shapeEth0();
    follower.follow();
    EXPECT_THAT(log.messages(), Contains("Shaping new uplink wlan0"));
    // With every throttle of the layout.
    EXPECT_THAT(sandbox.toolRuns(), Contains(HasSubstr("dev wlan0 parent 5654: classid 5654:3")));
    EXPECT_THAT(sandbox.toolRuns(), Contains(HasSubstr("match ip src 198.51.100.0/24")));
    EXPECT_THAT(sandbox.toolRuns(), Not(Contains(HasSubstr("dev eth0")))) << "eth0 shaped twice";
    EXPECT_EQ(record(), kEth0Record + kWlan0Record);

    // eth0 re-created: its qdiscs went with the old link, its device stayed
    // and goes before eth0 is shaped anew.
    sandbox.clearToolRuns();
    uplinks->uplinks = {{"eth0", 7}, {"wlan0", 3}};
    follower.follow();
    EXPECT_THAT(sandbox.toolRuns(), Contains("ip link delete dev vtifb-eth0"));
    EXPECT_EQ(record(), kWlan0Record + kEth0Record);

    // A larger MTU: the buckets would drop the largest frames, so eth0 is
    // shaped anew with buckets that take them.
    sandbox.clearToolRuns();
    uplinks->uplinks = {{"eth0", 7, 9000}, {"wlan0", 3}};
    follower.follow();
    EXPECT_THAT(sandbox.toolRuns(), Contains(HasSubstr("burst 9064")));
    EXPECT_THAT(sandbox.toolRuns(), Not(Contains(HasSubstr("burst 1564"))));

    follower.stop();
    sandbox.clearToolRuns();
    uplinks->uplinks = {{"eth0", 8}, {"wlan1", 4}};
    follower.follow();
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty()) << "shaped after the stop";
}

TEST_F(UplinkFollowerTest, ANewUplinkThatCannotBeShapedIsLeftAsItWas) {
    shapeEth0();
    sandbox.answer("tc", "qdisc show dev wlan0", 0, "qdisc htb 1: root refcnt 2 r2q 10\\n");
    sandbox.answer("ip", "link set dev vtifb-wlan1 up", 2, "", "no");
    uplinks->uplinks = {{"eth0", 2}, {"wlan0", 3}, {"wlan1", 4}};
    follower.follow();
    EXPECT_THAT(log.messages(),
                Contains("Cannot shape wlan0: it carries another program's qdisc (htb 1: root)"));
    EXPECT_THAT(log.messages(), Contains("Failed to shape wlan1: Command failed: Failed to create "
                                         "the download device for wlan1: no"));
    EXPECT_THAT(sandbox.toolRuns(), Contains("ip link delete dev vtifb-wlan1"));
    EXPECT_EQ(record(), kEth0Record);

    uplinks->failure = "Operation not permitted";
    follower.follow();
    EXPECT_THAT(log.messages(), Contains("Failed to follow the uplinks: Command failed: Cannot "
                                         "read the network interfaces: Operation not permitted"));
}

} // namespace
