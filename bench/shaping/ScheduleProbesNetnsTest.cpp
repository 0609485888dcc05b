// SPDX-License-Identifier: MIT
#include "NetemRateChanges.h"
#include "NetnsTest.h"
#include "TimedTraffic.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;
using testing::ElementsAre;

namespace {

constexpr const char* kTc = "/usr/sbin/tc";

class ScheduleProbesNetnsTest : public NetnsTest {
protected:
    void SetUp() override {
        NetnsTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        try {
            tc({"qdisc", "add", "dev", "vt0", "root", "handle", "1:", "netem", "rate", "1mbit"});
        } catch (const std::exception& error) {
            GTEST_SKIP() << "the kernel has no netem: " << error.what();
        }
    }
    void tc(const std::vector<std::string>& arguments) { pair->run(Side::shaped, kTc, arguments); }

    std::vector<std::uint64_t> ratesHeard(const NetemRateChanges& changes, std::size_t count) {
        std::vector<std::uint64_t> rates;
        for (int wait = 0; wait < 200 && rates.size() < count; ++wait) {
            std::this_thread::sleep_for(10ms);
            rates.clear();
            for (const auto& change : changes.heard(0)) {
                rates.push_back(change.bytesPerSecond);
            }
        }
        return rates;
    }
};

} // namespace

TEST_F(ScheduleProbesNetnsTest, TheKernelsWordOfEachNetemRateIsHeardInOrderAndOfNoOtherQdisc) {
    const NetemRateChanges changes(*pair);
    tc({"qdisc", "change", "dev", "vt0", "root", "handle", "1:", "netem", "rate", "2mbit"});
    tc({"qdisc", "add", "dev", "vt0", "ingress"});
    // Past 32 bits of bytes per second, which the kernel tells apart.
    tc({"qdisc", "change", "dev", "vt0", "root", "handle", "1:", "netem", "rate", "40gbit"});
    EXPECT_THAT(ratesHeard(changes, 2), ElementsAre(250'000u, 5'000'000'000u));
    const double now = TimedTraffic::wallMs();
    EXPECT_NEAR(changes.heard(now).front().atMs, 0, 60'000);
}

TEST_F(ScheduleProbesNetnsTest, ProbesGoEachWayOnTheirOwnAndTellWhichWereDropped) {
    const auto probesFor200Ms = [&] {
        const double start = TimedTraffic::wallMs();
        return TimedTraffic::probes(*pair, 10ms, start, start + 200, 100ms);
    };
    const TimedTraffic::ProbesBothWays passing = probesFor200Ms();
    ASSERT_GE(passing.download.size(), 20u);
    for (std::size_t i = 0; i < passing.download.size(); ++i) {
        EXPECT_TRUE(passing.download[i].arrived && passing.upload[i].arrived) << i;
        EXPECT_EQ(passing.download[i].sentMs, passing.upload[i].sentMs);
        if (i > 0) {
            EXPECT_GE(passing.download[i].sentMs, passing.download[i - 1].sentMs + 9);
        }
    }
    // The shaped side's sending is its upload. (Its neighbour is known by
    // now, so that the download needs no answer of it.)
    tc({"qdisc", "change", "dev", "vt0", "root", "handle", "1:", "netem", "loss", "100%"});
    const TimedTraffic::ProbesBothWays dropped = probesFor200Ms();
    ASSERT_EQ(dropped.download.size(), dropped.upload.size());
    for (std::size_t i = 0; i < dropped.download.size(); ++i) {
        EXPECT_TRUE(dropped.download[i].arrived) << i;
        EXPECT_FALSE(dropped.upload[i].arrived) << i;
    }
}
