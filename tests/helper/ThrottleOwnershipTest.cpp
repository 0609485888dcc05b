// SPDX-License-Identifier: MIT
#include "ThrottleOwnership.h"

#include "LogCapture.h"

#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using testing::Contains;

namespace {

class ThrottleOwnershipTest : public testing::Test {
protected:
    std::string path(const char* name = "owner.json") const {
        return QDir(folder.path()).filePath(QString::fromLatin1(name)).toStdString();
    }
    static std::string contents(const std::string& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static void write(const std::string& file, const std::string& text) {
        std::ofstream(file) << text;
    }
    // As the daemon keeps it while a holder holds its throttling.
    ThrottleOwnership::Record held() const {
        return {{":1.42", 1000, 4242, "veltranectl run: make", 1'800'000'000'000, true},
                {97'500, 41'250, 100, 1.0, 0}};
    }

    QTemporaryDir folder;
    LogCapture log;
    ThrottleOwnership ownership{log.logger(), path()};
};

TEST_F(ThrottleOwnershipTest, WhatTheNextProcessReadsBackIsTheRecordAsTakenWithItsIds) {
    ownership.take(7, held());
    ThrottleOwnership::Record scoped = held();
    scoped.owner.held = false;
    std::string failure;
    scoped.scope.destinations = {*Destination::parse("[2001:db8::1]:8443", failure)};
    scoped.scope.names = {"api.example.com"};
    ownership.take(9, scoped);
    const std::map<quint64, ThrottleOwnership::Record> read = ownership.stored();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read.at(7).owner.busName, ":1.42");
    EXPECT_EQ(read.at(7).owner.description, "veltranectl run: make");
    EXPECT_TRUE(read.at(7).owner.held);
    EXPECT_EQ(read.at(7).parameters, held().parameters);
    EXPECT_TRUE(read.at(7).scope.isMachine());
    EXPECT_FALSE(read.at(9).owner.held);
    EXPECT_EQ(read.at(9).scope, scoped.scope);
    // Who switched on the whole machine's is what the state tells first.
    EXPECT_EQ(ownership.principalId(), 7u);
    ownership.keepOnly({9});
    EXPECT_EQ(ownership.principal()->scope, scoped.scope);
    EXPECT_EQ(ownership.stored().size(), 1u);
    EXPECT_EQ(std::filesystem::status(path()).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(ThrottleOwnershipTest, ASchedulesPhasesOrTraceAndItsStartAreReadBackAsChecked) {
    ThrottleOwnership::Record phased = held();
    SchedulePhase lossy{"Lossy", 60'000, false, {1000, 500, 40, 2.0, 0}};
    lossy.parameters.duplicatePercent = 1.0;
    phased.schedule.phases = {lossy, {"Outage", 100, true, {}}};
    phased.schedule.repeat = false;
    phased.scheduleStartedAt = 1'800'000'000'123;
    ownership.take(3, phased);
    ThrottleOwnership::Record traced = held();
    traced.schedule.trace = {200, {0, 5000, 9000}, {}};
    traced.scheduleStartedAt = 1'800'000'000'456;
    ownership.take(4, traced);

    // Whole percentages come back from JSON as whole numbers, still read
    // as the percentages they are.
    const std::map<quint64, ThrottleOwnership::Record> read = ownership.stored();
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read.at(3).schedule, phased.schedule);
    EXPECT_EQ(read.at(3).scheduleStartedAt, phased.scheduleStartedAt);
    EXPECT_EQ(read.at(4).schedule, traced.schedule);
    EXPECT_EQ(read.at(4).scheduleStartedAt, traced.scheduleStartedAt);

    // A schedule no call could have started is no record to trust.
    std::string text = contents(path());
    const std::string duration = "\"durationMs\":100";
    ASSERT_NE(text.find(duration), std::string::npos);
    write(path(), text.replace(text.find(duration), duration.size(), "\"durationMs\":99"));
    EXPECT_TRUE(ownership.stored().empty());
}

// A client may still hold an id after the helper restarted (a package
// upgrade stops it): that id must never name another client's throttle.
TEST_F(ThrottleOwnershipTest, TheLastIdGivenOutlivesItsThrottlesAndTheProcess) {
    ownership.take(9, held());
    ownership.clear();
    quint64 lastId = 0;
    EXPECT_TRUE(ThrottleOwnership(log.logger(), path()).stored(&lastId).empty());
    EXPECT_EQ(lastId, 9u);

    // Records a helper wrote before it kept ids get theirs after the last.
    const std::string record =
        R"({"busName":":1.42","uid":1000,"pid":4242,"description":"d","since":1,"held":true,)"
        R"("downloadBytesPerSecond":1,"uploadBytesPerSecond":2,"latencyMs":3,)"
        R"("packetLossPercent":1.5,"dnsDelayMs":0})";
    write(path(), R"({"lastId":12,"throttles":[)" + record + "]}");
    const auto read = ownership.stored(&lastId);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read.begin()->first, 13u);
    EXPECT_EQ(lastId, 13u);
}

// The file is root's, yet what it would make the daemon do (apply shaping
// again, remove it when a bus name leaves) is only done for a whole record
// that a call could have made.
TEST_F(ThrottleOwnershipTest, ATruncatedCorruptOrLinkedRecordIsIgnoredAndSaid) {
    ownership.take(7, held());
    const std::string whole = contents(path());
    const std::string valid =
        R"({"busName":":1.42","uid":1000,"pid":4242,"description":"d","since":1,"held":true,)";
    const std::string five = R"("downloadBytesPerSecond":1,"uploadBytesPerSecond":2,"latencyMs":3,)"
                             R"("packetLossPercent":1.5,"dnsDelayMs":0})";
    ASSERT_EQ(ThrottleOwnership(log.logger(), path()).stored().size(), 1u);
    // As a helper that knew one throttle wrote it.
    write(path(), valid + five);
    ASSERT_EQ(ownership.stored().size(), 1u);
    for (const std::string& bad : {
             whole.substr(0, whole.size() / 2),
             std::string("\xff\xfe"),
             std::string("[]"),
             // One bad throttle spoils the list.
             R"({"throttles":[)" + valid + five + "," + valid + five.substr(0, 20) + "}]}",
             R"({"throttles":[)" + valid + R"("scope":{"destinations":["a.example"]},)" + five +
                 "]}",
             valid + R"("downloadBytesPerSecond":1,"uploadBytesPerSecond":2})",
             valid + R"("downloadBytesPerSecond":-1,"uploadBytesPerSecond":2,"latencyMs":3,)"
                     R"("packetLossPercent":1.5,"dnsDelayMs":0})",
             std::string(R"({"busName":"not-unique","uid":1000,"pid":4242,"description":"d",)"
                         R"("since":1,"held":true,)") +
                 five,
             std::string(R"({"busName":":1.2","uid":1000,"pid":4242,"description":"a\nb",)"
                         R"("since":1,"held":true,)") +
                 five,
         }) {
        write(path(), bad);
        EXPECT_TRUE(ownership.stored().empty()) << bad;
    }
    EXPECT_THAT(log.messages(),
                Contains("Ignored the owner record: its contents are not an owner's"));

    // A link is never followed, to a whole record neither.
    std::filesystem::remove(path());
    write(path("elsewhere.json"), whole);
    std::filesystem::create_symlink(path("elsewhere.json"), path());
    EXPECT_TRUE(ownership.stored().empty());
    EXPECT_THAT(log.messages(), Contains(testing::StartsWith("Ignored the owner record: ")));
    // Nor written through: the link is replaced.
    ownership.take(8, held());
    EXPECT_FALSE(std::filesystem::is_symlink(path()));
    EXPECT_EQ(contents(path("elsewhere.json")), whole);
}

} // namespace
