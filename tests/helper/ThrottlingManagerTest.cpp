// SPDX-License-Identifier: MIT
#include "ThrottlingManager.h"

#include "CommandExecutor.h"
#include "FakeToolSandbox.h"
#include "HelperError.h"
#include "LogCapture.h"
#include "PfDummynetBackend.h"
#include "ToolRuns.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::Not;

namespace {

const std::vector<std::string> kCleanupRuns = {
    "pfctl -a com.veltrane -F all", "pfctl -f /etc/pf.conf", "dnctl pipe delete 1",
    "dnctl pipe delete 2",          "dnctl -q flush",
};

// The runs of an enable of 0 B/s both ways, no latency, no loss, against a
// pf.conf that does not yet reference the anchor.
const std::vector<std::string> kPlainEnableRuns =
    concat(kCleanupRuns, {"dnctl pipe 1 config", "dnctl pipe 2 config", "pfctl -f /etc/pf.conf",
                          "pfctl -a com.veltrane -f /tmp/veltrane_anchor.conf", "pfctl -e"});

const std::string kAnchorRules = "dummynet in proto tcp from any to any pipe 1\n"
                                 "dummynet in proto udp from any to any pipe 1\n"
                                 "dummynet out proto tcp from any to any pipe 2\n"
                                 "dummynet out proto udp from any to any pipe 2\n";

class ThrottlingManagerTest : public testing::Test {
protected:
    void enable(std::int64_t down = 0, std::int64_t up = 0, std::int64_t latency = 0,
                double loss = 0.0, std::int64_t dns = 0) {
        manager.enableThrottling({down, up, latency, loss, dns});
    }

    std::string enableFailure() {
        return whatThrows([this] { enable(1000, 1000, 10, 1.0, 0); });
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    CommandExecutor executor{log.logger()};
    EnginePaths paths = EnginePaths::underRoot(sandbox.root());
    ThrottlingManager manager{log.logger(),
                              std::make_unique<PfDummynetBackend>(log.logger(), executor, paths)};
};

TEST_F(ThrottlingManagerTest, EnableRunsCleanupThenPipesThenAnchorInOrderAndLogsEachStep) {
    enable(97500, 41250, 101, 1.0, 250);
    EXPECT_TRUE(manager.isActive());
    EXPECT_THAT(
        sandbox.toolRuns(),
        ElementsAreArray(concat(
            kCleanupRuns, {"dnctl pipe 1 config bw 97500Byte/s delay 50ms plr 0.010000",
                           "dnctl pipe 2 config bw 41250Byte/s delay 51ms", "pfctl -f /etc/pf.conf",
                           "pfctl -a com.veltrane -f /tmp/veltrane_anchor.conf", "pfctl -e"})));
    // The runner logs each command itself; these are the engine's own lines.
    std::vector<std::string> engineLines;
    for (const std::string& message : log.messages()) {
        if (!message.starts_with("Executing: ")) {
            engineLines.push_back(message);
        }
    }
    EXPECT_THAT(engineLines,
                ElementsAre("Enabling throttling: down=97500B/s up=41250B/s latency=101ms "
                            "loss=1.0% dns=250ms",
                            "Pipe config: download latency=50ms (with loss), upload latency=51ms "
                            "(no loss)",
                            "Added dummynet-anchor to pf.conf", "Throttling enabled successfully"));
    EXPECT_EQ(sandbox.loadedAnchorRules(), kAnchorRules);
    EXPECT_FALSE(sandbox.exists("/tmp/veltrane_anchor.conf"));
    // Before the first filter anchor, passing over the other kinds of anchor;
    // and pf is reloaded after the edit, not before.
    EXPECT_THAT(sandbox.readFile("/etc/pf.conf"),
                HasSubstr("dummynet-anchor \"com.apple/*\"\ndummynet-anchor \"com.veltrane\"\n"
                          "anchor \"com.apple/*\"\n"));
    EXPECT_EQ(sandbox.loadedPfConf(), sandbox.readFile("/etc/pf.conf"));
    // Each change is on record before it is made.
    EXPECT_EQ(sandbox.readFile("/run/veltrane/shaping.record"),
              "pipes 1 2\npf.conf-line\nanchor com.veltrane\n");
}

TEST_F(ThrottlingManagerTest, ZeroValuesLeaveOutTheirOptionsAndOnlyDownloadCarriesLoss) {
    enable(0, 0, 0, 0.0, 30'000);
    // A DNS delay shows in the log only.
    EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(kPlainEnableRuns));
    sandbox.clearToolRuns();
    enable(0, 1'000'000, 1, 10.0);
    EXPECT_THAT(sandbox.toolRuns(), testing::IsSupersetOf({"dnctl pipe 1 config plr 0.100000",
                                                           "dnctl pipe 2 config bw 1000000Byte/s "
                                                           "delay 1ms"}));
    // A loss finer than the engines' steps is rounded once, for the tools and
    // the log alike: a denormal is no loss, not 330 digits.
    sandbox.clearToolRuns();
    enable(0, 0, 0, 1e-320);
    EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(kPlainEnableRuns));
    EXPECT_THAT(log.messages(), testing::Contains("Enabling throttling: down=0B/s up=0B/s "
                                                  "latency=0ms loss=0.0% dns=0ms"));
}

TEST_F(ThrottlingManagerTest, AReferenceLeftBehindIsPutBackBeforeTheAnchorUnlessCommentedOnByHand) {
    const struct {
        std::string before, after, logged;
    } cases[] = {{"pass all\n\tanchor \"x\"\ndummynet-anchor \"com.veltrane\"\n",
                  "pass all\ndummynet-anchor \"com.veltrane\"\n\tanchor \"x\"\n",
                  "Removed dummynet-anchor from pf.conf"},
                 {"dummynet-anchor \"com.veltrane\" # mine\nanchor \"x\"\n",
                  "dummynet-anchor \"com.veltrane\" # mine\nanchor \"x\"\n",
                  "dummynet-anchor already in pf.conf"}};
    for (const auto& [before, after, logged] : cases) {
        sandbox.writeFile("/etc/pf.conf", before);
        enable();
        EXPECT_EQ(sandbox.readFile("/etc/pf.conf"), after);
        EXPECT_THAT(log.messages(), testing::Contains(logged));
    }
}

TEST_F(ThrottlingManagerTest, DisableAlwaysCleansUpAndRestoresPfConf) {
    manager.disableThrottling();
    EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(kCleanupRuns));
    EXPECT_FALSE(manager.isActive());

    enable();
    sandbox.clearToolRuns();
    manager.disableThrottling();
    EXPECT_FALSE(manager.isActive());
    EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(kCleanupRuns));
    EXPECT_EQ(sandbox.readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
    EXPECT_EQ(sandbox.loadedPfConf(), FakeToolSandbox::kDefaultPfConf);
    EXPECT_FALSE(sandbox.exists("/run/veltrane/shaping.record"));
    EXPECT_THAT(log.messages(), testing::Contains("Removed dummynet-anchor from pf.conf"));
    EXPECT_EQ(log.messages().back(), "Throttling disabled");
}

TEST_F(ThrottlingManagerTest, CleanupCarriesOnPastFailingAndMissingToolsAndKeepsWhatTheyLeft) {
    sandbox.answer("pfctl", "*", 1, "", "pf is off");
    std::filesystem::remove(sandbox.path("/usr/sbin/dnctl"));
    // With nothing on record, nothing of ours can be left.
    manager.disableThrottling();
    EXPECT_THAT(sandbox.toolRuns(),
                ElementsAre("pfctl -a com.veltrane -F all", "pfctl -f /etc/pf.conf"));
    EXPECT_THAT(log.messages(), testing::Contains("Command failed with exit code 1: pf is off"));
    EXPECT_THAT(log.messages(),
                testing::Contains("Command failed (ignored): No such file or directory"));
    EXPECT_EQ(log.messages().back(), "Throttling disabled");

    // With shaping on record, a tool that could not run leaves it there.
    sandbox.clearAnswers();
    sandbox.installTool("/usr/sbin/dnctl");
    enable();
    std::filesystem::remove(sandbox.path("/usr/sbin/dnctl"));
    const std::string dnctl = sandbox.path("/usr/sbin/dnctl");
    EXPECT_EQ(whatThrows([this] { manager.disableThrottling(); }),
              "Could not remove all shaping: " + dnctl + " pipe delete 1: No such file or " +
                  "directory; " + dnctl + " pipe delete 2: No such file or directory; " + dnctl +
                  " -q flush: No such file or directory");
    EXPECT_TRUE(manager.isActive());
    EXPECT_TRUE(sandbox.exists("/run/veltrane/shaping.record"));
    sandbox.installTool("/usr/sbin/dnctl");
    manager.disableThrottling();
    EXPECT_FALSE(manager.isActive());
    EXPECT_FALSE(sandbox.exists("/run/veltrane/shaping.record"));
}

TEST_F(ThrottlingManagerTest, AReloadWarningAndAFailingPfEnableDoNotFailTheEnable) {
    sandbox.answer("pfctl", "-f " + sandbox.path("/etc/pf.conf"), 1, "", "reload trouble");
    sandbox.answer("pfctl", "-e", 1, "", "pf already enabled");
    enable();
    EXPECT_TRUE(manager.isActive());
    EXPECT_THAT(log.messages(),
                testing::Contains("Warning: pf reload returned non-zero: reload trouble"));
}

TEST_F(ThrottlingManagerTest, AToolThatCannotStartFailsTheEnableWithTheSystemErrorUnwrapped) {
    std::filesystem::remove(sandbox.path("/usr/sbin/dnctl"));
    EXPECT_EQ(enableFailure(), "No such file or directory");
    // pfctl's earlier runs are clean-up steps, whose start failures are ignored;
    // the reload after adding the anchor line is the first that counts.
    sandbox.installTool("/usr/sbin/dnctl");
    std::filesystem::remove(sandbox.path("/sbin/pfctl"));
    std::filesystem::remove(sandbox.path("/run/veltrane/shaping.record"));
    sandbox.clearToolRuns();
    EXPECT_EQ(enableFailure(), "No such file or directory");
    EXPECT_THAT(sandbox.toolRuns(), testing::Contains(testing::StartsWith("dnctl pipe 2 config")));
    EXPECT_FALSE(manager.isActive());
}

TEST_F(ThrottlingManagerTest, OutOfRangeValuesNeverReachAToolEvenWithoutTheServiceCheck) {
    for (const double loss : {std::numeric_limits<double>::quiet_NaN(), 101.0}) {
        EXPECT_EQ(whatThrows([&] { enable(0, 0, 0, loss, 0); }),
                  "Validation failed: Packet loss must be between 0 and 100 percent")
            << loss;
    }
    EXPECT_THROW(enable(-1), HelperError);
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
    EXPECT_THAT(log.messages(), IsEmpty());
}

TEST_F(ThrottlingManagerTest, WhatDummynetCannotShapeIsRefusedByNameAndLeavesTheShapingInForce) {
    enable(1000);
    sandbox.clearToolRuns();
    ThrottleParameters jitter{0, 0, 10, 1.0, 0};
    jitter.jitterMs = 2;
    ThrottleParameters correlation{0, 0, 10, 1.0, 0};
    correlation.lossCorrelationPercent = 25;
    ThrottleParameters reorder{0, 0, 10, 1.0, 0};
    reorder.reorderPercent = 5;
    ThrottleParameters duplicate{0, 0, 10, 1.0, 0};
    duplicate.duplicatePercent = 1;
    const std::pair<ThrottleParameters, std::string> refused[] = {{jitter, "Jitter"},
                                                                  {correlation, "Loss correlation"},
                                                                  {reorder, "Reordering"},
                                                                  {duplicate, "Duplication"}};
    for (const auto& [parameters, name] : refused) {
        const ThrottleParameters& shaped = parameters;
        EXPECT_EQ(whatThrows([&] { manager.enableThrottling(shaped); }),
                  "Validation failed: " + name +
                      " cannot be shaped with pf and dummynet; remove it from the profile");
    }
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
    EXPECT_TRUE(manager.isActive());
}

// pf changes nothing in place: a throttle that cannot be added is removed
// with the rest, and the rest shaped again.
TEST_F(ThrottlingManagerTest, AScopedThrottleThatCannotBeShapedLeavesTheOthersOn) {
    std::string failure;
    const auto onlyTo = [&](const char* text) {
        return ThrottleScope{{*Destination::parse(text, failure)}, {}, {}};
    };
    enable(1000);
    manager.enableThrottling({2000, 0, 0, 0.0, 0}, onlyTo("192.0.2.7"));
    sandbox.answer("dnctl", "pipe 5 config bw 3000Byte/s", 1, "", "dnctl: no room");
    EXPECT_THAT(whatThrows([&] {
                    manager.enableThrottling({3000, 0, 0, 0.0, 0}, onlyTo(":443"));
                }),
                HasSubstr("dnctl: no room"));
    ASSERT_EQ(manager.throttles().size(), 2u);
    EXPECT_EQ(manager.throttles()[1].id, 2u);
    EXPECT_TRUE(manager.isActive());
    EXPECT_THAT(log.messages(),
                testing::Contains("Shaped again the 2 throttles that were on before"));
    EXPECT_THAT(sandbox.loadedAnchorRules(), HasSubstr("192.0.2.7"));

    // A whole machine's that replaces the old one keeps no old one when it fails.
    sandbox.answer("dnctl", "pipe 1 config bw 4000Byte/s", 1, "", "dnctl: no room");
    EXPECT_THAT(whatThrows([&] { enable(4000); }), HasSubstr("dnctl: no room"));
    ASSERT_EQ(manager.throttles().size(), 1u);
    EXPECT_EQ(manager.throttles()[0].id, 2u);
}

TEST_F(ThrottlingManagerTest, PfConfKeepsItsModeAndOwnerAndALinkStaysALink) {
    sandbox.writeFile("/etc/pf.conf.real", "anchor \"x\"\n");
    std::filesystem::remove(sandbox.path("/etc/pf.conf"));
    std::filesystem::create_symlink("pf.conf.real", sandbox.path("/etc/pf.conf"));
    ASSERT_EQ(::chmod(sandbox.path("/etc/pf.conf.real").c_str(), 0640), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(sandbox.path("/etc/pf.conf.real").c_str(), 1234, 5678), 0);
    }
    enable();

    struct stat after {};
    ASSERT_EQ(::lstat(sandbox.path("/etc/pf.conf").c_str(), &after), 0);
    EXPECT_TRUE(S_ISLNK(after.st_mode));
    ASSERT_EQ(::stat(sandbox.path("/etc/pf.conf").c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(after.st_uid, 1234u);
        EXPECT_EQ(after.st_gid, 5678u);
    }
    EXPECT_EQ(sandbox.readFile("/etc/pf.conf.real"),
              "dummynet-anchor \"com.veltrane\"\nanchor \"x\"\n");
    // No temporary file is left beside them.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sandbox.path("/etc")),
                            std::filesystem::directory_iterator()),
              2);
}

TEST_F(ThrottlingManagerTest, WhatIsPlantedAtTheAnchorPathIsNeitherWrittenThroughNorLoaded) {
    sandbox.writeFile("/victim", "precious\n");
    std::filesystem::create_symlink(sandbox.path("/victim"),
                                    sandbox.path("/tmp/veltrane_anchor.conf"));
    enable();
    EXPECT_EQ(sandbox.readFile("/victim"), "precious\n");
    EXPECT_EQ(sandbox.loadedAnchorRules(), kAnchorRules);
    EXPECT_FALSE(sandbox.exists("/tmp/veltrane_anchor.conf"));

    sandbox.clearToolRuns();
    sandbox.writeFile("/tmp/veltrane_anchor.conf", "pass all\n");
    enable();
    EXPECT_EQ(sandbox.loadedAnchorRules(), kAnchorRules);
}

TEST_F(ThrottlingManagerTest, AStartRemovesTheShapingAndTemporaryFilesAnEarlierProcessLeft) {
    enable();
    // A process killed in the middle of edits leaves temporaries of its own
    // beside the files; files that merely look alike are someone else's.
    for (const char* file :
         {"/etc/.pf.conf.veltrane-Ab3xY9", "/tmp/.veltrane_anchor.conf.veltrane-Qq1234",
          "/tmp/veltrane_anchor.conf", "/etc/.pf.conf.veltrane-toolong1", "/etc/pf.conf.Ab3xY9"}) {
        sandbox.writeFile(file, "x");
    }
    sandbox.clearToolRuns();

    ThrottlingManager next(log.logger(),
                           std::make_unique<PfDummynetBackend>(log.logger(), executor, paths));
    next.removeLeftovers();
    EXPECT_THAT(sandbox.toolRuns(), ElementsAreArray(kCleanupRuns));
    EXPECT_EQ(sandbox.readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
    EXPECT_THAT(log.messages(),
                testing::Contains("Removed shaping left by an earlier helper process"));
    EXPECT_FALSE(sandbox.exists("/etc/.pf.conf.veltrane-Ab3xY9"));
    EXPECT_FALSE(sandbox.exists("/tmp/.veltrane_anchor.conf.veltrane-Qq1234"));
    EXPECT_FALSE(sandbox.exists("/tmp/veltrane_anchor.conf"));
    EXPECT_TRUE(sandbox.exists("/etc/.pf.conf.veltrane-toolong1"));
    EXPECT_TRUE(sandbox.exists("/etc/pf.conf.Ab3xY9"));

    // With nothing on record, a start runs no tool at all.
    sandbox.clearToolRuns();
    next.removeLeftovers();
    next.shutDown();
    EXPECT_THAT(sandbox.toolRuns(), IsEmpty());
}

// One failing step of an enable, set up on a fresh sandbox.
struct EnableFailure {
    const char* name;
    std::function<void(FakeToolSandbox&)> arrange;
    std::string description;
    bool anchorRulesWritten;
};

void PrintTo(const EnableFailure& failure, std::ostream* out) {
    *out << failure.name;
}

class ThrottlingManagerFailureTest
    : public ThrottlingManagerTest,
      public testing::WithParamInterface<std::tuple<EnableFailure, bool>> {};

TEST_P(ThrottlingManagerFailureTest, ThrowsTheStepsMessageAndLeavesNothingActive) {
    const auto& [failure, wasActive] = GetParam();
    if (wasActive) {
        enable();
    }
    failure.arrange(sandbox);
    const auto pfConf = [this] {
        return sandbox.exists("/etc/pf.conf") ? sandbox.readFile("/etc/pf.conf") : std::string();
    };
    const std::string pfConfBefore = pfConf();
    sandbox.clearToolRuns();
    EXPECT_EQ(enableFailure(), failure.description);
    // What was in force went with the enable's clean-up.
    EXPECT_FALSE(manager.isActive());
    EXPECT_FALSE(sandbox.exists("/tmp/veltrane_anchor.conf"));
    EXPECT_EQ(!sandbox.loadedAnchorRules().empty(), failure.anchorRulesWritten);
    // What the failed enable made goes again at once: nothing of it is left
    // in force, in pf.conf or on record.
    EXPECT_THAT(sandbox.toolRuns(), testing::IsSupersetOf(kCleanupRuns));
    EXPECT_FALSE(sandbox.exists("/run/veltrane/shaping.record"));
    if (!wasActive) {
        EXPECT_EQ(pfConf(), pfConfBefore);
    }
    EXPECT_NE(log.messages().back(), "Throttling enabled successfully");
}

const std::string kLongName = "/tmp/" + std::string(250, 'n');

INSTANTIATE_TEST_SUITE_P(
    EachStep, ThrottlingManagerFailureTest,
    testing::Combine(
        testing::Values(
            EnableFailure{"DownloadPipe",
                          [](FakeToolSandbox& s) {
                              s.answer("dnctl",
                                       "pipe 1 config bw 1000Byte/s delay 5ms plr 0.010000", 1,
                                       "bad", "pipe");
                          },
                          "Command failed: Failed to configure download pipe: bad\npipe", false},
            EnableFailure{"UploadPipe",
                          [](FakeToolSandbox& s) {
                              s.answer("dnctl", "pipe 2 config bw 1000Byte/s delay 5ms", 2, "",
                                       "no");
                          },
                          "Command failed: Failed to configure upload pipe: no", false},
            EnableFailure{
                "PfConfMissing",
                [](FakeToolSandbox& s) { std::filesystem::remove(s.path("/etc/pf.conf")); },
                "File error: Failed to read /etc/pf.conf: No such file or directory", false},
            EnableFailure{
                "PfConfNotUtf8",
                [](FakeToolSandbox& s) { s.writeFile("/etc/pf.conf", "anchor \"\xff\"\n"); },
                "File error: Failed to read /etc/pf.conf: Invalid or incomplete multibyte "
                "or wide character",
                false},
            EnableFailure{"PfConfUnwritable",
                          [](FakeToolSandbox& s) {
                              // The temporary sibling of this name is too long even for root.
                              s.writeFile(kLongName, "anchor \"x\"\n");
                              std::filesystem::remove(s.path("/etc/pf.conf"));
                              std::filesystem::create_symlink(s.path(kLongName),
                                                              s.path("/etc/pf.conf"));
                          },
                          "File error: Failed to write /etc/pf.conf: File name too long", false},
            EnableFailure{"AnchorLoad",
                          [](FakeToolSandbox& s) {
                              s.answer("pfctl",
                                       "-a com.veltrane -f " + s.path("/tmp/veltrane_anchor.conf"),
                                       1, "syntax error");
                          },
                          "Command failed: Failed to load pf anchor: syntax error", true}),
        testing::Bool()),
    [](const testing::TestParamInfo<std::tuple<EnableFailure, bool>>& info) {
        return std::string(std::get<0>(info.param).name) +
               (std::get<1>(info.param) ? "WhileActive" : "");
    });

TEST_F(ThrottlingManagerTest, AnUnwritableAnchorRulesFileFailsWithAFileErrorAndLoadsNothing) {
    std::filesystem::create_directory(sandbox.path("/tmp/veltrane_anchor.conf"));
    EXPECT_EQ(enableFailure(), "File error: Failed to write anchor rules: Is a directory");
    // The pipes and the pf.conf line go again at once.
    EXPECT_EQ(sandbox.readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
    EXPECT_THAT(sandbox.toolRuns(), Not(testing::Contains(HasSubstr("-a com.veltrane -f"))));
}

TEST_F(ThrottlingManagerTest, ConcurrentEnablesAndDisablesNeverInterleaveTheirToolRuns) {
    constexpr int kRounds = 15;
    std::thread enabler([&] {
        for (int i = 0; i < kRounds; ++i) {
            enable();
        }
    });
    std::thread disabler([&] {
        for (int i = 0; i < kRounds; ++i) {
            manager.disableThrottling();
        }
    });
    enabler.join();
    disabler.join();

    // Every operation starts by flushing the anchor; cut the runs there and
    // each piece must be one whole enable or one whole disable.
    std::vector<std::vector<std::string>> operations;
    for (const std::string& run : sandbox.toolRuns()) {
        if (run == kCleanupRuns.front()) {
            operations.emplace_back();
        }
        ASSERT_FALSE(operations.empty());
        operations.back().push_back(run);
    }
    ASSERT_EQ(operations.size(), 2u * kRounds);
    int enables = 0;
    for (const auto& operation : operations) {
        if (operation == kPlainEnableRuns) {
            ++enables;
        } else {
            EXPECT_EQ(operation, kCleanupRuns);
        }
    }
    EXPECT_EQ(enables, kRounds);
}

} // namespace
