// SPDX-License-Identifier: MIT
#include "CommandExecutor.h"

#include "CallBudget.h"
#include "FakeToolSandbox.h"
#include "LogCapture.h"
#include "WhatThrows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>
#include <sched.h>
#include <system_error>
#include <thread>

using testing::ElementsAre;
using namespace std::chrono_literals;

namespace {

// A zombie waiting for its new parent to reap it counts as ended.
bool isRunning(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t end = text.rfind(')');
    return end != std::string::npos && end + 2 < text.size() && text[end + 2] != 'Z';
}

class CommandExecutorTest : public testing::Test {
protected:
    // A program under the sandbox root made of the given shell lines.
    std::string script(const std::string& name, const std::string& body) {
        const std::string path = "/bin/" + name;
        std::filesystem::create_directories(sandbox.path("/bin"));
        sandbox.writeFile(path, "#!/bin/sh\n" + body + "\n");
        std::filesystem::permissions(sandbox.path(path), std::filesystem::perms::owner_all);
        return sandbox.path(path);
    }

    std::string timeoutOf(const CommandExecutor& runner, const std::string& program) {
        try {
            runner.execute(program, {});
        } catch (const CommandTimeout& timeout) {
            return timeout.what();
        }
        return "(no time-out)";
    }

    FakeToolSandbox sandbox;
    LogCapture log;
    CommandExecutor executor{log.logger()};
};

TEST_F(CommandExecutorTest, CapturesBothStreamsAndTheStatusPassingArgumentsVerbatim) {
    const std::string program = script("both", R"(printf '%s|' "$@"; printf b >&2; exit 3)");
    const CommandResult result = executor.execute(program, {"two words", "$HOME", "*"});
    EXPECT_EQ(result, (CommandResult{"two words|$HOME|*|", "b", 3}));
    EXPECT_EQ(result.combinedOutput(), "two words|$HOME|*|\nb");
    EXPECT_THAT(log.messages(), ElementsAre("Executing: " + program + " two words $HOME *",
                                            "Command failed with exit code 3: b"));
    EXPECT_EQ(executor.execute(script("killed", "kill -9 $$"), {}).exitCode, 128 + 9);
    // Invalid UTF-8 becomes empty text, stream by stream.
    const CommandResult bytes =
        executor.execute(script("bytes", R"(printf '\355\240\200'; printf 'caf\303\251' >&2)"), {});
    EXPECT_EQ(bytes.output, "");
    EXPECT_EQ(bytes.error, "caf\xC3\xA9");
}

TEST_F(CommandExecutorTest, AProgramThatCannotStartThrowsTheSystemDescription) {
    const std::string missing = sandbox.path("/bin/does-not-exist");
    EXPECT_EQ(whatThrows([&] { executor.execute(missing, {"x"}); }), "No such file or directory");
    // A std::system_error, and not looked up in the PATH either.
    EXPECT_THROW(executor.execute("true", {}), std::system_error);
    executor.executeIgnoringErrors(missing, {});
    EXPECT_EQ(log.messages().back(), "Command failed (ignored): No such file or directory");
}

TEST_F(CommandExecutorTest, DrainsMegabytesOnBothStreamsWithoutBlocking) {
    // Each stream alone is far beyond a pipe's buffer; reading one stream to
    // its end before the other would deadlock.
    const std::string program = script("flood", R"(head -c 4194304 /dev/zero | tr '\0' o &
head -c 4194304 /dev/zero | tr '\0' e >&2
wait)");
    const CommandResult result = executor.execute(program, {});
    EXPECT_EQ(result.output.size(), 4u * 1024 * 1024);
    EXPECT_EQ(result.error.size(), 4u * 1024 * 1024);
}

TEST_F(CommandExecutorTest, AToolSeesDefaultSignalHandlingWhateverTheDaemonSetUp) {
    // The daemon ignores SIGPIPE and blocks its stop signals.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ::sigaction(SIGPIPE, &ignore, &previous);
    sigset_t blocked;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigset_t previousMask;
    ::pthread_sigmask(SIG_BLOCK, &blocked, &previousMask);
    const CommandResult result =
        executor.execute(script("dispositions", "grep -E '^Sig(Blk|Ign)' /proc/self/status"), {});
    ::pthread_sigmask(SIG_SETMASK, &previousMask, nullptr);
    ::sigaction(SIGPIPE, &previous, nullptr);
    // Only the standard signals count: glibc reserves 32 and 33 for itself.
    unsigned long long blockedBits = 1;
    unsigned long long ignoredBits = 1;
    ASSERT_EQ(
        std::sscanf(result.output.c_str(), "SigBlk: %llx SigIgn: %llx", &blockedBits, &ignoredBits),
        2)
        << result.output;
    EXPECT_EQ(blockedBits & 0x7fffffff, 0u);
    EXPECT_EQ(ignoredBits & 0x7fffffff, 0u);
}

TEST_F(CommandExecutorTest, AToolPastItsLimitIsEndedAndNothingItStartedOutlivesIt) {
    const CommandExecutor limited(log.logger(), 300ms);
    const std::string pidFile = sandbox.path("/grandchild");
    // Ignores SIGTERM, so only the SIGKILL a second later ends it; its child
    // holds the output pipes and must go too.
    const std::string stubborn =
        script("stubborn",
               "sleep 60 & echo $! > " + pidFile + "\ntrap '' TERM\nwhile :; do sleep 1; done");
    EXPECT_EQ(timeoutOf(limited, stubborn), "Command timed out after 0.3 s: " + stubborn);
    EXPECT_FALSE(isRunning(std::stoi(sandbox.readFile("/grandchild"))));
}

TEST_F(CommandExecutorTest, AToolThatLeavesAChildHoldingItsOutputDoesNotHoldTheRun) {
    const std::string program = script("leaves-child", "sleep 60 &\necho done");
    const CommandResult result = executor.execute(program, {});
    EXPECT_EQ(result.output, "done\n");
    EXPECT_EQ(result.exitCode, 0);
}

TEST_F(CommandExecutorTest, TheDaemonsStopEndsTheRunningToolAndBoundsTheNextOnes) {
    std::thread stopper([this] {
        std::this_thread::sleep_for(200ms);
        executor.endRunsBy(CommandExecutor::Clock::now() + 300ms);
    });
    const std::string sleeper = script("sleeper", "exec sleep 60");
    EXPECT_EQ(timeoutOf(executor, sleeper),
              "Command ended because the helper is stopping: " + sleeper);
    stopper.join();
    EXPECT_EQ(timeoutOf(executor, sleeper),
              "Command ended because the helper is stopping: " + sleeper);
}

TEST_F(CommandExecutorTest, ACallsDeadlineEndsItsRunningToolAndStartsNoMoreUntilItIsMoved) {
    const std::string sleeper = script("sleeper", "exec sleep 60");
    const std::string marker = script("marker", "touch " + sandbox.path("/ran"));
    {
        CommandExecutor::CallDeadline deadline(CommandExecutor::Clock::now() + 300ms);
        EXPECT_EQ(timeoutOf(executor, sleeper),
                  "Command ended: its call ran out of time: " + sleeper);
        EXPECT_EQ(timeoutOf(executor, marker),
                  "Command not started: its call ran out of time: " + marker);
        EXPECT_FALSE(sandbox.exists("/ran"));
        // What a late change gets for undoing itself.
        deadline.moveTo(CommandExecutor::Clock::now() + 1min);
        EXPECT_EQ(executor.execute(marker, {}).exitCode, 0);
    }
    // The tool's own limit still counts within a call.
    const CommandExecutor limited(log.logger(), 300ms);
    const CommandExecutor::CallDeadline later(CommandExecutor::Clock::now() + 1min);
    EXPECT_EQ(timeoutOf(limited, sleeper), "Command timed out after 0.3 s: " + sleeper);
}

TEST_F(CommandExecutorTest, AStartedToolCanRunOnlyInTheNetworkNamespaceOfItsThread) {
    const auto tool = executor.start(script("waits", "exec cat"), {});
    // The daemon's other threads stay where they are: the namespace that
    // counts is the calling thread's, not the process's.
    std::optional<bool> movedAway;
    int refused = 0;
    std::thread moved([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            refused = errno;
            return;
        }
        movedAway = tool->canRunHere();
    });
    moved.join();
    if (refused != 0) {
        GTEST_SKIP() << "cannot make a network namespace: " << std::strerror(refused);
    }
    EXPECT_EQ(movedAway, false);
    EXPECT_TRUE(tool->canRunHere());
}

TEST(CallBudgetTest, ACallTakesAtMostFortyFiveSecondsOfWhichTheChangeGetsThirty) {
    EXPECT_EQ(CallBudget{}.total, 45s);
    EXPECT_EQ(CallBudget{}.forChange(), 30s);
    EXPECT_EQ(CallBudget{3s}.forChange(), 2s);
}

TEST(LoggerTest, WritesOneUtcTimeStampedLinePerMessageKeepingInnerLineFeeds) {
    // Local time far from UTC must not leak into the stamp.
    const char* previous = std::getenv("TZ");
    const std::string saved = previous ? previous : "";
    ::setenv("TZ", "Pacific/Kiritimati", 1); // UTC+14
    ::tzset();
    LogCapture capture;
    const std::time_t before = std::time(nullptr);
    capture.logger().log("two\nlines");
    const std::time_t after = std::time(nullptr);
    previous ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
    ::tzset();

    const std::regex expected(
        R"(\[(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d)Z\] VeltraneHelper: two\nlines\n)");
    std::smatch match;
    const std::string text = capture.text();
    ASSERT_TRUE(std::regex_match(text, match, expected)) << text;
    std::tm stamp{};
    ::strptime(match[1].str().c_str(), "%Y-%m-%dT%H:%M:%S", &stamp);
    const std::time_t logged = ::timegm(&stamp);
    EXPECT_GE(logged, before);
    EXPECT_LE(logged, after);
}

} // namespace
