// SPDX-License-Identifier: MIT
// apply --only-to, off --id and the list of throttles in status, against
// the sandboxed daemon on the stand-in backend, which shapes every scope.
#include "HelperOnPrivateBus.h"
#include "VeltranectlRunner.h"
#include "WaitUntil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

using testing::HasSubstr;
using namespace std::chrono_literals;

namespace {

class ScopedCommandsTest : public VeltranectlRunner {
protected:
    ScopedCommandsTest() { environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper.bus().address()); }

    HelperOnPrivateBus helper{{{"--backend", "stand-in"}, std::nullopt, {}}};
};

TEST_F(ScopedCommandsTest, ApplyOnlyToAddsAThrottleThatStatusListsAndOffByIdEnds) {
    const Outcome scoped =
        run({"apply", "3g", "--only-to", "localhost:8080", "--only-to", "10.0.0.0/8"});
    ASSERT_EQ(scoped.status, 0) << scoped.err.toStdString();
    EXPECT_EQ(scoped.out, "Throttling with 3G only to localhost:8080, 10.0.0.0/8 (throttle 1, "
                          "end it with 'veltranectl off --id 1')\n");
    ASSERT_EQ(run({"apply", "edge"}).status, 0);

    // Host names are resolved by the client: the helper has the addresses.
    const Outcome status = run({"status"});
    EXPECT_EQ(status.status, 0);
    // Where the hosts file names ::1 localhost too, its address is there as well.
    EXPECT_THAT(
        status.out.toStdString(),
        testing::ContainsRegex("\nThrottles:\n  #1 only to localhost:8080, 10.0.0.0/8 "
                               "\\(127.0.0.1:8080, (\\[::1\\]:8080, )?10.0.0.0/8\\) — D: "));
    EXPECT_THAT(
        status.out.toStdString(),
        testing::ContainsRegex("\n  #2 whole machine — .* — veltranectl apply: Edge \\(uid "));

    const QJsonArray throttles =
        run({"status", "--json"}).json().object().value("throttles").toArray();
    ASSERT_EQ(throttles.size(), 2);
    const QJsonObject first = throttles.at(0).toObject();
    EXPECT_EQ(first.value("id"), 1);
    QJsonObject scope = first.value("scope").toObject();
    QJsonArray addresses = scope.take("addresses").toArray();
    for (qsizetype i = addresses.size() - 1; i >= 0; --i) {
        if (addresses.at(i) == QJsonValue("[::1]:8080")) {
            addresses.removeAt(i);
        }
    }
    EXPECT_EQ(addresses, (QJsonArray{"127.0.0.1:8080", "10.0.0.0/8"}));
    EXPECT_EQ(scope, (QJsonObject{{"kind", "destinations"},
                                  {"names", QJsonArray{"localhost:8080", "10.0.0.0/8"}},
                                  {"cgroup", QJsonValue()},
                                  {"application", QJsonValue()},
                                  {"cgroups", QJsonArray()}}));
    EXPECT_EQ(first.value("owner").toObject().value("description"), "veltranectl apply: 3G");

    const Outcome ended = run({"off", "--id", "1"});
    EXPECT_EQ(ended.status, 0);
    EXPECT_EQ(ended.out, "Throttle 1 off\n");
    EXPECT_EQ(run({"status", "--json"}).json().object().value("throttles").toArray().size(), 1);
    const Outcome again = run({"off", "--id", "1"});
    EXPECT_EQ(again.status, 1);
    EXPECT_THAT(again.err.toStdString(), HasSubstr("No throttle with id 1 is on"));

    EXPECT_EQ(run({"off"}).out, "Throttling off\n");
    EXPECT_EQ(run({"status"}).status, 3);
}

TEST_F(ScopedCommandsTest, AProfilesOwnDestinationsScopeItsApplyUnlessTheCommandLineNamesOthers) {
    ASSERT_EQ(
        run({"create", "--name", "API", "--latency", "100ms", "--only-to", "192.0.2.0/24"}).status,
        0);
    EXPECT_EQ(run({"apply", "api"}).out, "Throttling with API only to 192.0.2.0/24 (throttle 1, "
                                         "end it with 'veltranectl off --id 1')\n");
    EXPECT_EQ(run({"apply", "api", "--only-to", "10.0.0.0/8"}).out,
              "Throttling with API only to 10.0.0.0/8 (throttle 2, end it with 'veltranectl off "
              "--id 2')\n");
    const QJsonArray throttles =
        run({"status", "--json"}).json().object().value("throttles").toArray();
    ASSERT_EQ(throttles.size(), 2);
    for (const QJsonValue& throttle : throttles) {
        EXPECT_EQ(throttle.toObject().value("scope").toObject().value("kind"), "destinations");
    }

    // A profile for one application: applied, it throttles that
    // application; a tc script cannot single it out.
    ASSERT_EQ(run({"edit", "api", "--app", "org.example.Editor"}).status, 0);
    EXPECT_THAT(run({"profiles"}).out.toStdString(), HasSubstr("only for org.example.Editor"));
    EXPECT_THAT(run({"apply", "api"}).out.toStdString(),
                HasSubstr("Throttling with API only the application org.example.Editor"));
    const Outcome script = run({"export", "api", "--format", "tc"});
    EXPECT_EQ(script.status, 1);
    EXPECT_THAT(script.err.toStdString(),
                HasSubstr("'API' cannot be exported as a tc script: it applies only to the "
                          "application org.example.Editor, which a tc script cannot single out"));
    ASSERT_EQ(run({"edit", "api", "--all-traffic"}).status, 0);
    EXPECT_THAT(run({"profiles"}).out.toStdString(), testing::Not(HasSubstr("org.example.Editor")));
}

// `off` as a user whom polkit does not let end another user's throttles.
TEST(OffCommandTest, OffThatMayNotEndAnotherUsersThrottleSaysItStaysAndFails) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "running veltranectl as another user needs root";
    }
    HelperOnPrivateBus helper{{{"--backend", "stand-in"}, QList<uint>{}, {}}};
    QDBusConnection root = helper.bus().connect("root");
    const QDBusMessage enabled = HelperOnPrivateBus::call(
        root, "EnableThrottlingWithParameters",
        {QVariantMap{{"scope", QVariantMap{{"destinations", QStringList{"10.0.0.0/8"}}}}},
         QStringLiteral("root's run"), false});
    ASSERT_EQ(enabled.type(), QDBusMessage::ReplyMessage);
    const quint64 id = enabled.arguments().value(0).toULongLong();

    QProcess off;
    QProcessEnvironment environment;
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper.bus().address());
    environment.insert("HOME", "/nonexistent");
    off.setProcessEnvironment(environment);
    off.start("/usr/bin/setpriv",
              {"--reuid=65534", "--regid=65534", "--clear-groups", VELTRANECTL, "off"});
    ASSERT_TRUE(off.waitForFinished(60'000));
    EXPECT_EQ(off.exitCode(), 1);
    EXPECT_EQ(off.readAllStandardError().toStdString(),
              QStringLiteral("Helper error: Not authorized to end another user's throttles: "
                             "throttle %1 (root's run) stays on\n")
                  .arg(id)
                  .toStdString());
    const QVariantList throttles = HelperOnPrivateBus::state(root).value("throttles").toList();
    ASSERT_EQ(throttles.size(), 1);
    EXPECT_EQ(throttles.value(0).toMap().value("id").toULongLong(), id);
}

TEST_F(ScopedCommandsTest, WatchListsEachThrottleUnderTheStateLine) {
    QProcess watch;
    start(watch, {"watch"});
    QByteArray out;
    const auto shows = [&](const char* text) {
        return waitUntil(
            [&] {
                out += watch.readAllStandardOutput();
                return out.contains(text);
            },
            30s);
    };
    ASSERT_TRUE(shows(" off\n"));
    ASSERT_EQ(run({"apply", "edge", "--only-to", "192.0.2.0/24"}).status, 0);
    // One scoped throttle is not the whole machine's: it has its line.
    EXPECT_TRUE(shows("\n  #1 only to 192.0.2.0/24 — "));
    out.clear();
    ASSERT_EQ(run({"off", "--id", "1"}).status, 0);
    EXPECT_TRUE(shows(" off\n"));
    watch.kill();
    watch.waitForFinished();
}

TEST_F(ScopedCommandsTest, ApplyTakesSixtyFourDestinationsAndRefusesASixtyFifthUnsent) {
    QStringList arguments = {"apply", "3g"};
    for (int host = 1; host <= 65; ++host) {
        arguments << "--only-to" << QStringLiteral("10.0.0.%1").arg(host);
    }
    const Outcome tooMany = run(arguments);
    EXPECT_EQ(tooMany.status, 2);
    EXPECT_THAT(tooMany.errors(), testing::Contains("--only-to: at most 64 destinations"));
    EXPECT_FALSE(helper.bus().output().contains("called"));

    arguments.resize(arguments.size() - 2);
    const Outcome most = run(arguments);
    ASSERT_EQ(most.status, 0) << most.err.toStdString();
    const QJsonArray throttles =
        run({"status", "--json"}).json().object().value("throttles").toArray();
    ASSERT_EQ(throttles.size(), 1);
    EXPECT_EQ(
        throttles.at(0).toObject().value("scope").toObject().value("addresses").toArray().size(),
        64);
}

TEST_F(ScopedCommandsTest, AMalformedDestinationOrIdIsAUsageErrorAndNothingIsSent) {
    const Outcome port = run({"apply", "3g", "--only-to", "10.0.0.1:99999"});
    EXPECT_EQ(port.status, 2);
    EXPECT_THAT(port.errors(),
                testing::Contains("--only-to: '10.0.0.1:99999': a port is a number from 1 to "
                                  "65535"));
    for (const char* id : {"0", "x", "-1"}) {
        const Outcome off = run({"off", "--id", id});
        EXPECT_EQ(off.status, 2) << id;
        EXPECT_THAT(off.err.toStdString(), HasSubstr("--id takes the number"));
    }
    EXPECT_FALSE(helper.bus().output().contains("called"));
}

// An application by desktop id: on, waiting for it while it runs in no
// scope; by process, only one of the caller's own application scopes.
TEST_F(ScopedCommandsTest, ApplyAppThrottlesAnApplicationAndPidTakesOnlyItsScopes) {
    const Outcome app = run({"apply", "3g", "--app", "org.example.Editor"});
    ASSERT_EQ(app.status, 0) << app.err.toStdString();
    EXPECT_EQ(app.out, "Throttling with 3G only the application org.example.Editor, in every "
                       "scope it runs in now or starts in later (throttle 1, end it with "
                       "'veltranectl off --id 1')\n");
    EXPECT_THAT(run({"status"}).out.toStdString(),
                HasSubstr("\n  #1 only for application org.example.Editor (waiting for it) — "));

    const struct {
        QStringList arguments;
        int status;
        const char* said;
    } refused[] = {
        {{"--app", "../evil"}, 2, "--app: '../evil' is no desktop id"},
        {{"--app", "a", "--pid", "1"}, 2, "--only-to, --app and --pid cannot be given together"},
        {{"--pid", "x"}, 2, "--pid: a process id is a positive number, not 'x'"},
        {{"--pid", "999999999"}, 1, "--pid 999999999: there is no process 999999999"},
        // This test runs in no application's scope.
        {{"--pid", QString::number(::getpid())}, 1, "cannot be throttled as an application: "},
    };
    for (const auto& each : refused) {
        const Outcome outcome = run(QStringList{"apply", "edge"} + each.arguments);
        EXPECT_EQ(outcome.status, each.status) << each.said;
        EXPECT_THAT(outcome.err.toStdString(), HasSubstr(each.said));
    }
    EXPECT_EQ(helper.bus().output().count("enableThrottlingWithParameters called"), 1);
}

} // namespace
