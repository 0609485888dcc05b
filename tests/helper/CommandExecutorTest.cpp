// SPDX-License-Identifier: MIT
#include "CommandExecutor.h"

#include "FakeToolSandbox.h"
#include "LogCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <system_error>

using testing::ElementsAre;

namespace {

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

    FakeToolSandbox sandbox;
    LogCapture log;
    CommandExecutor executor{log.logger()};
};

TEST(CommandResultTest, CombinedOutputJoinsOnlyNonEmptyStreamsWithOneLineFeed) {
    EXPECT_EQ((CommandResult{"a", "", 0}.combinedOutput()), "a");
    EXPECT_EQ((CommandResult{"", "b", 0}.combinedOutput()), "b");
    EXPECT_EQ((CommandResult{"a", "b", 0}.combinedOutput()), "a\nb");
    EXPECT_EQ((CommandResult{"", "", 0}.combinedOutput()), "");
    EXPECT_EQ((CommandResult{"a\n", "b\n", 0}.combinedOutput()), "a\n\nb\n");
}

TEST_F(CommandExecutorTest, CapturesBothStreamsAndTheExitStatusWithoutAShell) {
    const std::string program = script("both", R"(printf a; printf b >&2; exit 3)");
    const CommandResult result = executor.execute(program, {"two words", "$HOME"});
    EXPECT_EQ(result, (CommandResult{"a", "b", 3}));
    // Arguments reach the program verbatim: no shell expands or splits them.
    const CommandResult echoed = executor.execute("/bin/echo", {"two words", "$HOME", "*"});
    EXPECT_EQ(echoed.output, "two words $HOME *\n");
}

TEST_F(CommandExecutorTest, LogsTheCommandLineAndANonZeroStatusWithStandardErrorOnly) {
    const std::string program = script("fails", R"(printf out; printf x >&2; exit 1)");
    const CommandResult result = executor.execute(program, {"-a", "b c"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_THAT(log.messages(), ElementsAre("Executing: " + program + " -a b c",
                                            "Command failed with exit code 1: x"));
}

TEST_F(CommandExecutorTest, ReportsAKilledProgramAsFailed) {
    const CommandResult result = executor.execute(script("killed", "kill -9 $$"), {});
    EXPECT_EQ(result.exitCode, 128 + 9);
}

TEST_F(CommandExecutorTest, AMissingProgramThrowsTheSystemDescriptionAndLogsNothingMore) {
    const std::string missing = sandbox.path("/bin/does-not-exist");
    try {
        executor.execute(missing, {"x"});
        FAIL() << "expected a start error";
    } catch (const std::system_error& error) {
        EXPECT_STREQ(error.what(), "No such file or directory");
    }
    EXPECT_THAT(log.messages(), ElementsAre("Executing: " + missing + " x"));
}

TEST_F(CommandExecutorTest, IgnoringErrorsLogsAStartFailureOnceAndReturns) {
    const std::string missing = sandbox.path("/bin/does-not-exist");
    executor.executeIgnoringErrors(missing, {});
    EXPECT_THAT(log.messages(), ElementsAre("Executing: " + missing,
                                            "Command failed (ignored): No such file or directory"));
}

TEST_F(CommandExecutorTest, ARelativePathIsNotLookedUpInThePath) {
    EXPECT_THROW(executor.execute("true", {}), std::system_error);
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
    EXPECT_EQ(result.output.find_first_not_of('o'), std::string::npos);
}

TEST_F(CommandExecutorTest, InvalidUtf8BecomesEmptyTextPerStream) {
    const std::string program = script("bytes", R"(printf '\377\376'; printf 'caf\303\251' >&2)");
    const CommandResult result = executor.execute(program, {});
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.error, "caf\xC3\xA9");
    const std::string surrogate = script("surrogate", R"(printf '\355\240\200')");
    EXPECT_EQ(executor.execute(surrogate, {}).output, "");
    const std::string overlong = script("overlong", R"(printf '\300\257')");
    EXPECT_EQ(executor.execute(overlong, {}).output, "");
}

TEST(LoggerTest, WritesOneTimeStampedLinePerMessageKeepingInnerLineFeeds) {
    LogCapture capture;
    capture.logger().log("first");
    capture.logger().log("two\nlines");
    const std::regex expected(R"(\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] VeltraneHelper: first
\[\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ\] VeltraneHelper: two
lines
)");
    EXPECT_TRUE(std::regex_match(capture.text(), expected)) << capture.text();
}

} // namespace
