// SPDX-License-Identifier: MIT
#include "LaunchCommandLine.h"

#include "LaunchError.h"

#include <gtest/gtest.h>

namespace {

// The words joined by "|", or "! " and the error.
std::string split(const char* line) {
    try {
        return LaunchCommandLine::arguments(QString::fromUtf8(line), QStringLiteral("/home/ann"))
            .join(u'|')
            .toStdString();
    } catch (const LaunchError& error) {
        return "! " + error.description().toStdString();
    }
}

TEST(LaunchCommandLineTest, WordsAreSplitAsAShellSplitsThemWithNothingExpanded) {
    const struct {
        const char* line;
        const char* words;
    } cases[] = {
        {"  curl\t-O   https://example.org/  ", "curl|-O|https://example.org/"},
        {"curl -O 'https://example.org/?a=1&b=2'", "curl|-O|https://example.org/?a=1&b=2"},
        {R"(printf "%s \"x\" \\ \$HOME" '' a\ b)", R"(printf|%s "x" \ $HOME||a b)"},
        {R"(echo 'it''s' "a"'b'c)", "echo|its|abc"},
        {"~/bin/tool ~ a~ '~/x' ~ann", "/home/ann/bin/tool|/home/ann|a~|~/x|~ann"},
        {R"(date +%s tail\)", R"(date|+%s|tail\)"},
    };
    for (const auto& each : cases) {
        EXPECT_EQ(split(each.line), each.words) << each.line;
    }
}

// What a shell would act on is refused, not passed on as a word that the
// person took for a pipe or a variable.
TEST(LaunchCommandLineTest, WhatOnlyAShellDoesIsRefused) {
    const struct {
        const char* line;
        const char* named;
    } cases[] = {{"make | tee log", "|"},
                 {"a; b", ";"},
                 {"a > out", ">"},
                 {"a < in", "<"},
                 {"(a)", "("},
                 {"echo $HOME", "$"},
                 {"echo `id`", "`"},
                 {"echo \"$HOME\"", "$"},
                 {"echo \"`id`\"", "`"},
                 {"sleep 9 &", "&"}};
    for (const auto& each : cases) {
        EXPECT_EQ(split(each.line).substr(0, 9), std::string("! \u201c") + each.named + "\u201d")
            << each.line;
    }
    EXPECT_EQ(split("echo 'unclosed"), "! The command has a quote that is not closed");
    EXPECT_EQ(split("echo \"unclosed 'x'"), "! The command has a quote that is not closed");
    EXPECT_EQ(split(" \t "), "! Type a command to run");
}

} // namespace
