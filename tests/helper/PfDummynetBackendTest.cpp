// SPDX-License-Identifier: MIT
#include "PfDummynetBackend.h"

#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "LogCapture.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::IsSupersetOf;

namespace {

Destination destinationOf(const char* text) {
    std::string failure;
    return *Destination::parse(text, failure);
}

ThrottleScope scopeOf(std::initializer_list<const char*> texts) {
    ThrottleScope scope;
    for (const char* text : texts) {
        scope.destinations.push_back(destinationOf(text));
    }
    return scope;
}

class PfDummynetBackendTest : public testing::Test {
protected:
    // Empty when there is none.
    std::string record() const {
        return sandbox.exists("/run/veltrane/shaping.record")
                   ? sandbox.readFile("/run/veltrane/shaping.record")
                   : std::string();
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    CommandExecutor executor{log.logger()};
    EnginePaths paths = EnginePaths::underRoot(sandbox.root());
    PfDummynetBackend backend{log.logger(), executor, paths};
};

TEST_F(PfDummynetBackendTest, EachThrottleHasAPipePairAndItsDestinationsTablesMostSpecificFirst) {
    const ShapingLayout layout{
        {{ScopedPlan::kMachineSlot, {}, ShapingPlan::from({125'000, 0, 0, 0, 0})},
         {2, scopeOf({"198.51.100.0/24", "192.0.2.7:443"}),
          ShapingPlan::from({50'000, 0, 0, 0, 0})},
         {3, scopeOf({"2001:db8::/32", ":5432"}), ShapingPlan::from({0, 25'000, 0, 0, 0})}}};
    backend.applyShaping(layout);
    // The first rule that matches decides: a whole address with a port
    // before a network, a network before the whole machine.
    EXPECT_EQ(sandbox.loadedAnchorRules(),
              "table <veltrane_2_0_443> { 192.0.2.7 }\n"
              "table <veltrane_2_17> { 198.51.100.0/24 }\n"
              "table <veltrane_3_193> { 2001:db8::/32 }\n"
              "dummynet in quick proto tcp from <veltrane_2_0_443> port 443 to any pipe 3\n"
              "dummynet in quick proto udp from <veltrane_2_0_443> port 443 to any pipe 3\n"
              "dummynet out quick proto tcp from any to <veltrane_2_0_443> port 443 pipe 4\n"
              "dummynet out quick proto udp from any to <veltrane_2_0_443> port 443 pipe 4\n"
              "dummynet in quick proto tcp from <veltrane_2_17> to any pipe 3\n"
              "dummynet in quick proto udp from <veltrane_2_17> to any pipe 3\n"
              "dummynet out quick proto tcp from any to <veltrane_2_17> pipe 4\n"
              "dummynet out quick proto udp from any to <veltrane_2_17> pipe 4\n"
              "dummynet in quick proto tcp from any port 5432 to any pipe 5\n"
              "dummynet in quick proto udp from any port 5432 to any pipe 5\n"
              "dummynet out quick proto tcp from any to any port 5432 pipe 6\n"
              "dummynet out quick proto udp from any to any port 5432 pipe 6\n"
              "dummynet in quick proto tcp from <veltrane_3_193> to any pipe 5\n"
              "dummynet in quick proto udp from <veltrane_3_193> to any pipe 5\n"
              "dummynet out quick proto tcp from any to <veltrane_3_193> pipe 6\n"
              "dummynet out quick proto udp from any to <veltrane_3_193> pipe 6\n"
              "dummynet in proto tcp from any to any pipe 1\n"
              "dummynet in proto udp from any to any pipe 1\n"
              "dummynet out proto tcp from any to any pipe 2\n"
              "dummynet out proto udp from any to any pipe 2\n");
    EXPECT_THAT(sandbox.toolRuns(),
                IsSupersetOf({"dnctl pipe 1 config bw 125000Byte/s", "dnctl pipe 2 config",
                              "dnctl pipe 3 config bw 50000Byte/s", "dnctl pipe 4 config",
                              "dnctl pipe 5 config", "dnctl pipe 6 config bw 25000Byte/s"}));
    EXPECT_EQ(sandbox.readFile("/run/veltrane/shaping.record").substr(0, 19),
              "pipes 1 2 3 4 5 6\np");

    // Every pipe on record goes, and the anchor with its tables.
    sandbox.clearToolRuns();
    backend.removeShaping();
    EXPECT_THAT(sandbox.toolRuns(),
                IsSupersetOf({"pfctl -a com.veltrane -F all", "dnctl pipe delete 1",
                              "dnctl pipe delete 4", "dnctl pipe delete 6"}));
    EXPECT_FALSE(backend.hasRecordedChanges());
}

TEST_F(PfDummynetBackendTest, APipeDnctlRefusesToDeleteStaysOnRecordAndTheCleanUpIsIncomplete) {
    backend.applyShaping({{{ScopedPlan::kMachineSlot, {}, ShapingPlan::from({125'000, 0, 0, 0, 0})},
                           {2, scopeOf({"192.0.2.7"}), ShapingPlan::from({50'000, 0, 0, 0, 0})}}});
    sandbox.answer("dnctl", "pipe delete 3", 1, "",
                   "dnctl: rule 3: setsockopt(IP_DUMMYNET_DEL): Operation not permitted\\n");
    sandbox.clearToolRuns();
    EXPECT_EQ(whatThrows([this] { backend.removeShaping(); }),
              "Could not remove all shaping: " + paths.dnctl +
                  " pipe delete 3: dnctl: rule 3: setsockopt(IP_DUMMYNET_DEL): Operation not "
                  "permitted");
    // The refusal stops nothing after it.
    EXPECT_THAT(sandbox.toolRuns(), IsSupersetOf({"dnctl pipe delete 4", "dnctl -q flush"}));
    EXPECT_EQ(record(), "pipes 3\n");

    sandbox.clearAnswers();
    sandbox.clearToolRuns();
    backend.removeShaping();
    EXPECT_THAT(sandbox.toolRuns(), IsSupersetOf({"dnctl pipe delete 3"}));
    EXPECT_FALSE(backend.hasRecordedChanges());
}

TEST_F(PfDummynetBackendTest, OnlyWhatTheToolsSayIsNotThereCountsAsRemovedWhenTheyExitNonZero) {
    const std::string pfConf = sandbox.path("/etc/pf.conf");
    const std::string& dnctl = paths.dnctl;
    const std::string& pfctl = paths.pfctl;
    const struct {
        const char* tool;
        std::string arguments;
        const char* said;
        // What stays on record, and the failure; empty when all of it went.
        const char* left;
        std::string failure;
    } cases[] = {
        {"dnctl", "pipe delete 2",
         "dnctl: rule 2: setsockopt(IP_DUMMYNET_DEL): No such file or directory\\n", "", ""},
        {"pfctl", "-a com.veltrane -F all",
         "rules cleared\\nnat cleared\\npfctl: Anchor or Ruleset does not exist.\\n", "", ""},
        {"dnctl", "pipe delete 2", "dnctl: rule 2: setsockopt(IP_DUMMYNET_DEL): Invalid argument",
         "pipes 2\n",
         dnctl + " pipe delete 2: dnctl: rule 2: setsockopt(IP_DUMMYNET_DEL): Invalid argument"},
        {"dnctl", "pipe delete 2", "", "pipes 2\n", dnctl + " pipe delete 2: exit status 1"},
        {"pfctl", "-a com.veltrane -F all", "pfctl: pfctl_clear_rules: Operation not permitted",
         "anchor com.veltrane\n",
         pfctl + " -a com.veltrane -F all: pfctl: pfctl_clear_rules: Operation not permitted"},
        // A reload and a flush of every pipe have nothing that can be gone:
        // even those words are a refusal.
        {"pfctl", "-f " + pfConf, "pfctl: Anchor or Ruleset does not exist.",
         "anchor com.veltrane\n",
         pfctl + " -f " + pfConf + ": pfctl: Anchor or Ruleset does not exist."},
        {"dnctl", "-q flush", "dnctl: setsockopt(IP_DUMMYNET_DEL): No such file or directory",
         "pipes\n",
         dnctl + " -q flush: dnctl: setsockopt(IP_DUMMYNET_DEL): No such file or directory"},
    };
    for (const auto& each : cases) {
        sandbox.clearAnswers();
        backend.applyShaping(ShapingLayout::wholeMachine(ShapingPlan::from({1000, 0, 0, 0, 0})));
        sandbox.answer(each.tool, each.arguments, 1, "", each.said);
        EXPECT_EQ(whatThrows([this] { backend.removeShaping(); }),
                  each.failure.empty() ? "(no error)"
                                       : "Could not remove all shaping: " + each.failure)
            << each.tool << " " << each.arguments;
        EXPECT_EQ(record(), each.left) << each.tool << " " << each.arguments;
    }
}

TEST_F(PfDummynetBackendTest, ACommandsScopeIsRefusedAndDestinationsAreNot) {
    ThrottleScope command;
    command.cgroups = {"user.slice/veltrane-run-1.scope"};
    EXPECT_EQ(backend.refusal({}, command),
              "Throttling one command cannot be done with pf and dummynet");
    EXPECT_EQ(backend.refusal({}, ThrottleScope{.application = "org.example.Editor"}),
              "Throttling one application cannot be done with pf and dummynet");
    EXPECT_EQ(backend.refusal({}, scopeOf({"192.0.2.7:443"})), std::nullopt);
}

} // namespace
