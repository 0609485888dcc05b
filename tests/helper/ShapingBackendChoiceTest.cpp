// SPDX-License-Identifier: MIT
#include "FakeToolSandbox.h"
#include "FixedInterfaceList.h"
#include "InterfaceName.h"
#include "LogCapture.h"
#include "ShapingBackendFactory.h"
#include "SystemInterfaceList.h"
#include "ThrottlingManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>

using testing::Contains;
using testing::ElementsAre;

namespace {

class ShapingBackendChoiceTest : public testing::Test {
protected:
    // The first tool a disable through the chosen backend runs.
    std::string firstToolRun(std::optional<BackendKind> forced = std::nullopt) {
        sandbox.clearToolRuns();
        ThrottlingManager(log.logger(), makeShapingBackend(log.logger(), paths, forced,
                                                           std::vector<std::string>{"eth0"}))
            .disableThrottling();
        return sandbox.toolRuns().at(0);
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    EnginePaths paths = EnginePaths::underRoot(sandbox.root());
};

constexpr const char* kFirstTcRun = "tc qdisc del dev eth0 root handle 5654:";

TEST_F(ShapingBackendChoiceTest, PfNeedsBothItsToolsExecutableAndAForcedChoiceWins) {
    EXPECT_EQ(detectBackendKind(paths), BackendKind::pfDummynet);
    EXPECT_EQ(firstToolRun(), "pfctl -a com.veltrane -F all");
    EXPECT_EQ(firstToolRun(BackendKind::trafficControl), kFirstTcRun);
    std::filesystem::permissions(sandbox.path("/usr/sbin/dnctl"),
                                 std::filesystem::perms::owner_read);
    EXPECT_EQ(detectBackendKind(paths), BackendKind::trafficControl);
    std::filesystem::remove(sandbox.path("/usr/sbin/dnctl"));
    EXPECT_EQ(firstToolRun(), kFirstTcRun);
    EXPECT_THAT(log.messages(), Contains("Using pf/dummynet"));
    EXPECT_THAT(log.messages(), Contains("Using Linux traffic control"));
    // The names --backend takes, exactly.
    EXPECT_EQ(backendKindFromName("pf"), BackendKind::pfDummynet);
    EXPECT_EQ(backendKindFromName("tc"), BackendKind::trafficControl);
    EXPECT_EQ(backendKindFromName("TC"), std::nullopt);
    EXPECT_EQ(backendKindFromName(""), std::nullopt);
}

TEST(FixedInterfaceList, TakesACommaSeparatedListAndRefusesWhatCannotBeAnInterface) {
    EXPECT_THAT(FixedInterfaceList::parseNames("eth0,wlan0"), ElementsAre("eth0", "wlan0"));
    for (const char* bad : {"", "eth0,", "eth0,,wlan0", "a/b", "eth0 ", "eth:1", "..",
                            "sixteen-chars-xx", "--help\n"}) {
        EXPECT_THROW(FixedInterfaceList::parseNames(bad), std::invalid_argument) << bad;
    }
    EXPECT_THROW(FixedInterfaceList({"ok", "not ok"}), std::invalid_argument);
    EXPECT_EQ(FixedInterfaceList({"eth0"}).interfaces(),
              (std::vector<NetworkInterface>{{"eth0", true, false}}));
}

TEST(IfbDeviceName, FitsTheKernelsLimitAndKeepsLongNamesApart) {
    const std::string first = ifbDeviceName("wlx00c0ca123456");
    const std::string second = ifbDeviceName("wlx00c0ca123457");
    EXPECT_NE(first, second);
    for (const auto& name : {first, second}) {
        EXPECT_TRUE(isUsableInterfaceName(name)) << name;
        EXPECT_TRUE(isOurIfbDevice(name)) << name;
    }
    EXPECT_FALSE(isOurIfbDevice("eth0"));
}

TEST(SystemInterfaceList, ReportsLoopbackOnceAndAsLoopback) {
    const auto interfaces = SystemInterfaceList().interfaces();
    EXPECT_EQ(std::count_if(interfaces.begin(), interfaces.end(),
                            [](const NetworkInterface& interface) {
                                return interface.name == "lo" && interface.isLoopback;
                            }),
              1);
}

} // namespace
