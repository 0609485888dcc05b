// SPDX-License-Identifier: MIT
#include "DummynetStatistics.h"
#include "TrafficControlFixture.h"
#include "TrafficControlStatistics.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

using testing::ElementsAre;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;
using testing::Pair;

namespace {

// Taken from a kernel shaping eth0 and wlan0, a bulk transfer under way on
// eth0, with a stranger's netem on veth7 and the machine's own qdiscs.
const std::string kTwoUplinks =
    "qdisc noqueue 0: dev lo root refcnt 2 \n"
    " Sent 0 bytes 0 pkt (dropped 0, overlimits 0 requeues 0) \n"
    " backlog 0b 0p requeues 0\n"
    "qdisc htb 5654: dev eth0 root refcnt 2 r2q 10 default 0 direct_packets_stat 11 "
    "direct_qlen 1000\n"
    " Sent 86236 bytes 90 pkt (dropped 171, overlimits 0 requeues 0) \n"
    " backlog 52100b 50p requeues 0\n"
    "qdisc tbf 5655: dev eth0 parent 5654:1 rate 100Gbit burst 0b lat 6us \n"
    " Sent 82318 bytes 79 pkt (dropped 171, overlimits 0 requeues 0) \n"
    " backlog 52100b 50p requeues 0\n"
    "qdisc netem 5656: dev eth0 parent 5655:1 limit 59 delay 50ms rate 2Mbit\n"
    " Sent 82318 bytes 79 pkt (dropped 171, overlimits 0 requeues 0) \n"
    " backlog 52100b 50p requeues 0\n"
    "qdisc ingress ffff: dev eth0 parent ffff:fff1 ---------------- \n"
    " Sent 312316 bytes 313 pkt (dropped 0, overlimits 0 requeues 0) \n"
    " backlog 0b 0p requeues 0\n"
    "qdisc fq_codel 0: dev wlan0 root refcnt 2 limit 10240p flows 1024 quantum 1514 \n"
    " Sent 9000 bytes 9 pkt (dropped 1, overlimits 0 requeues 0) \n"
    " backlog 0b 0p requeues 0\n"
    "  maxpacket 0 drop_overlimit 0 new_flow_count 0 ecn_mark 0\n"
    "  new_flows_len 0 old_flows_len 0\n"
    "qdisc netem 5656: dev wlan0 parent 5655:1 limit 59 delay 50ms rate 2Mbit\n"
    " Sent 1000 bytes 2 pkt (dropped 0, overlimits 0 requeues 0) \n"
    " backlog 0b 0p requeues 0\n"
    "qdisc netem 8001: dev veth7 root refcnt 2 limit 1000 delay 5s\n"
    " Sent 555555 bytes 555 pkt (dropped 55, overlimits 0 requeues 0) \n"
    " backlog 5555b 5p requeues 0\n"
    "qdisc tbf 5655: dev vtifb-eth0 parent 5654:1 rate 100Gbit burst 0b lat 6us \n"
    " Sent 7364 bytes 8 pkt (dropped 292, overlimits 0 requeues 0) \n"
    " backlog 1042b 1p requeues 0\n"
    "qdisc netem 5656: dev vtifb-eth0 parent 5655:1 limit 5 delay 50ms loss 10% rate 100Kbit\n"
    " Sent 7364 bytes 8 pkt (dropped 292, overlimits 0 requeues 0) \n"
    " backlog 1042b 1p requeues 0\n"
    "qdisc netem 5656: dev vtifb-wlan0 parent 5655:1 limit 5 delay 50ms loss 10% rate 100Kbit\n"
    " Sent 18446744073709551000 bytes 4294967296 pkt (dropped 3, overlimits 0 requeues 0) \n"
    " backlog 0b 0p requeues 0\n";

// The fake tools print an answer's "\n" escapes as line feeds.
std::string escaped(const std::string& text) {
    std::string result;
    for (const char c : text) {
        result += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return result;
}

TEST(TrafficControlStatisticsParse, EachQdiscKeepsItsCountersBacklogAndDevice) {
    const auto qdiscs = TrafficControlStatistics::parse(kTwoUplinks);
    ASSERT_EQ(qdiscs.size(), 11u);
    const auto& netem = qdiscs[3];
    EXPECT_EQ(netem.kind, "netem");
    EXPECT_EQ(netem.handle, "5656:");
    EXPECT_EQ(netem.device, "eth0");
    EXPECT_TRUE(netem.counted);
    EXPECT_EQ(netem.statistics, (DirectionStatistics{82318, 79, 171, 52100, 50}));
    // The extra lines of fq_codel belong to no counter.
    EXPECT_EQ(qdiscs[5].statistics, (DirectionStatistics{9000, 9, 1, 0, 0}));
    EXPECT_EQ(qdiscs[10].statistics.bytes, 18446744073709551000u);
}

TEST(TrafficControlStatisticsParse, OddListingsYieldWhatTheyHoldAndNoMore) {
    // A listing of one device names none; tc writes a backlog near whole
    // KiB or MiB in those units.
    auto qdiscs = TrafficControlStatistics::parse(
        "qdisc netem 5655: parent 5654:1 limit 1000\n"
        " Sent 10 bytes 1 pkt (dropped 0, overlimits 0 requeues 0)\n"
        " backlog 51Kb 35p requeues 0\n"
        "qdisc netem 5656: parent 5655:1 limit 1000\n"
        " Sent 20 bytes 2 pkt (dropped 7, overlimits 0 requeues 0)\n"
        " backlog 2Mb 1400p requeues 0\n");
    ASSERT_EQ(qdiscs.size(), 2u);
    EXPECT_EQ(qdiscs[0].device, "");
    EXPECT_EQ(qdiscs[0].statistics.queuedBytes, 51u * 1024);
    EXPECT_EQ(qdiscs[1].statistics.queuedBytes, 2u << 20);
    EXPECT_EQ(qdiscs[1].statistics.queuedPackets, 1400u);

    // Counters that are not numbers, a qdisc without its statistics, and
    // lines before any qdisc count for nothing.
    qdiscs = TrafficControlStatistics::parse(
        " Sent 99 bytes 9 pkt (dropped 9, overlimits 0 requeues 0)\n"
        "qdisc netem 5656: dev eth0 parent 5655:1\n"
        " Sent 12x bytes 1 pkt (dropped 0, overlimits 0 requeues 0)\n"
        " backlog -5b 2p requeues 0\n"
        "qdisc netem 5655: dev vtifb-eth0 parent 5654:1\n"
        "\n"
        "Error: something went wrong\n");
    ASSERT_EQ(qdiscs.size(), 2u);
    EXPECT_FALSE(qdiscs[0].counted);
    EXPECT_EQ(qdiscs[0].statistics, DirectionStatistics{});
    EXPECT_FALSE(qdiscs[1].counted);
    EXPECT_THAT(TrafficControlStatistics::parse(""), IsEmpty());
}

TEST(TrafficControlStatisticsParse, EachThrottleSumsItsOwnNetemsPerDirection) {
    const auto qdiscs = TrafficControlStatistics::parse(kTwoUplinks);
    const ShapingStatistics both =
        TrafficControlStatistics::sum(qdiscs, {"eth0", "wlan0"}, {"vtifb-eth0", "vtifb-wlan0"});
    ASSERT_EQ(both.bySlot.size(), 1u);
    EXPECT_EQ(both.bySlot[0].slot, 1);
    EXPECT_EQ(both.bySlot[0].upload, (DirectionStatistics{83318, 81, 171, 52100, 50}));
    ASSERT_TRUE(both.bySlot[0].download);
    EXPECT_EQ(both.bySlot[0].download->packets, 4294967304u);
    EXPECT_EQ(both.bySlot[0].download->dropped, 295u);

    // A direction half set up or half taken down has no netem yet: absent,
    // not zero.
    const ShapingStatistics halfway = TrafficControlStatistics::sum(
        TrafficControlStatistics::parse("qdisc htb 5654: dev eth0 root refcnt 2\n"
                                        " Sent 5 bytes 1 pkt (dropped 0, overlimits 0 requeues 0)\n"
                                        " backlog 0b 0p requeues 0\n"),
        {"eth0"}, {"vtifb-eth0"});
    EXPECT_EQ(halfway, ShapingStatistics{});

    // Each throttle's netem is its own, whichever is on beside it: a scoped
    // one's figures never stand for the whole machine's.
    const std::string scoped = "qdisc netem 5658: dev eth0 parent 5657:1 limit 51\n"
                               " Sent 700 bytes 7 pkt (dropped 0, overlimits 0 requeues 0)\n";
    const std::string machine = "qdisc netem 5656: dev eth0 parent 5655:1 limit 59\n"
                                " Sent 500 bytes 5 pkt (dropped 0, overlimits 0 requeues 0)\n";
    const auto uploadsOf = [](const std::string& listing) {
        std::vector<std::pair<int, std::uint64_t>> bytes;
        for (const auto& slot :
             TrafficControlStatistics::sum(TrafficControlStatistics::parse(listing), {"eth0"}, {})
                 .bySlot) {
            bytes.emplace_back(slot.slot, slot.upload->bytes);
        }
        return bytes;
    };
    EXPECT_THAT(uploadsOf(scoped + machine), ElementsAre(Pair(1, 500u), Pair(2, 700u)));
    EXPECT_THAT(uploadsOf(scoped), ElementsAre(Pair(2, 700u)));
}

class ShapingStatisticsRead : public TrafficControlFixture {
protected:
    void record(const std::string& entries) {
        std::filesystem::create_directories(sandbox.path("/run/veltrane"));
        sandbox.writeFile("/run/veltrane/shaping.record", entries);
    }
    ShapingStatistics read() {
        return TrafficControlStatistics(executor, paths.tc, paths.changeRecord).read();
    }
};

TEST_F(ShapingStatisticsRead, OneQuietRunOfTcReadsTheDevicesTheRecordLists) {
    record(kEth0Record);
    sandbox.answer("tc", "-s qdisc show", 0, escaped(kTwoUplinks));
    const ShapingStatistics statistics = read();
    ASSERT_NE(statistics.of(1), nullptr);
    EXPECT_EQ(statistics.of(1)->upload, (DirectionStatistics{82318, 79, 171, 52100, 50}));
    EXPECT_EQ(statistics.of(1)->download, (DirectionStatistics{7364, 8, 292, 1042, 1}));
    EXPECT_THAT(sandbox.toolRuns(), ElementsAre("tc -s qdisc show"));
    // A reading every second must not bury the lines of the changes.
    EXPECT_THAT(log.text(), Not(HasSubstr("Executing")));
}

TEST_F(ShapingStatisticsRead, NothingOnRecordRunsNothingAndAFailingTcIsSaid) {
    EXPECT_EQ(read(), ShapingStatistics{});
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());

    record(kEth0Record);
    sandbox.answer("tc", "*", 1, "", "Cannot open netlink socket");
    EXPECT_EQ(whatThrows([this] { read(); }),
              "Command failed: Failed to read the shaping's statistics: Cannot open netlink "
              "socket");
}

// As macOS's dnctl lists its pipes, an IPv6 flow among them.
const std::string kPipes =
    "00001:   1.000 Mbit/s   50 ms   50 sl. 2 queues (64 buckets) droptail\n"
    "    mask: 0x00 0x00000000/0x0000 -> 0x00000000/0x0000\n"
    "BKT Prot ___Source IP/port____ ____Dest. IP/port____ Tot_pkt/bytes Pkt/Byte Drp\n"
    "  0 tcp      17.253.1.1/443     192.168.1.5/51234      1200  1500000  10 15000   90\n"
    " 12 udp      17.253.1.2/53      192.168.1.5/5353         10     1000   0    0    0\n"
    "BKT ___Prot___ _flow-id_ ______________Source IPv6/port_______________ "
    "_______________Dest. IPv6/port_______________ Tot_pkt/bytes Pkt/Byte Drp\n"
    " 40 tcp 0 2001:db8::1/443 2001:db8::2/50000 100 150000 0 0 0\n"
    "00002: 330.000 Kbit/s   50 ms   50 sl. 0 queues (1 buckets) droptail\n"
    "    mask: 0x00 0x00000000/0x0000 -> 0x00000000/0x0000\n"
    "00004: 100.000 Kbit/s   0 ms   50 sl. 1 queues (1 buckets) droptail\n"
    "  0 udp      10.0.0.1/1     10.0.0.2/2      20 2000 0 0 0\n"
    "00077: unlimited         0 ms   50 sl. 1 queues (1 buckets) droptail\n"
    "  0 tcp      10.0.0.1/1     10.0.0.2/2      999 999 9 9 9\n";

TEST(DummynetStatisticsParse, EachPipeSumsItsFlowsForItsThrottlesDirection) {
    const ShapingStatistics statistics = DummynetStatistics::parse(kPipes);
    ASSERT_EQ(statistics.bySlot.size(), 2u);
    const auto& machine = *statistics.of(1);
    ASSERT_TRUE(machine.download);
    // 1310 arrived; 90 dropped (at 1250 bytes each) and 10 queued did not pass.
    EXPECT_EQ(machine.download->packets, 1210u);
    EXPECT_EQ(machine.download->bytes, 1651000u - 15000u - 90u * 1250u);
    EXPECT_EQ(machine.download->dropped, 90u);
    EXPECT_EQ(machine.download->queuedPackets, 10u);
    EXPECT_EQ(machine.download->queuedBytes, 15000u);
    // A pipe without flows has passed nothing yet.
    EXPECT_EQ(machine.upload, DirectionStatistics{});
    // Pipe 4 is the second slot's outbound; a pipe beyond the slots' is
    // another program's.
    EXPECT_EQ(statistics.of(2)->upload, (DirectionStatistics{2000, 20, 0, 0, 0}));
    EXPECT_EQ(statistics.of(2)->download, std::nullopt);
    EXPECT_EQ(DummynetStatistics::parse("dnctl: no pipes\n"), ShapingStatistics{});
}

TEST_F(ShapingStatisticsRead, DummynetIsReadWithOneQuietListing) {
    sandbox.answer("dnctl", "pipe show", 0, escaped(kPipes));
    const ShapingStatistics statistics = DummynetStatistics(executor, paths.dnctl).read();
    EXPECT_EQ(statistics.of(1)->download->dropped, 90u);
    EXPECT_THAT(sandbox.toolRuns(), ElementsAre("dnctl pipe show"));
    EXPECT_THAT(log.text(), Not(HasSubstr("Executing")));
}

} // namespace
