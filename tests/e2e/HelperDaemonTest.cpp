// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <limits>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

QVariantList enableArguments(qlonglong down, qlonglong up, qlonglong latency, double loss,
                             qlonglong dns) {
    return {down, up, latency, loss, dns};
}

QVariantList applyArguments(qulonglong down, qulonglong up, uint latency, double loss) {
    return {down, up, latency, loss};
}

QVariantMap configurationOf(const QDBusMessage& reply) {
    return qdbus_cast<QVariantMap>(reply.arguments().value(0));
}

class HelperDaemonTest : public testing::Test {
protected:
    QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
        return HelperOnPrivateBus::call(client, method, arguments);
    }

    // The daemon's log lines, without their time stamps.
    QStringList daemonLog() const {
        QStringList lines;
        for (const QString& line : helper.bus().output().split(QLatin1Char('\n'))) {
            const int at = line.indexOf(QStringLiteral("] VeltraneHelper: "));
            if (at >= 0) {
                lines << line.mid(at + 18);
            }
        }
        return lines;
    }

    std::vector<std::string> toolRuns() const { return helper.tools().toolRuns(); }

    qint64 daemonPid() {
        return helper.bus().ownerPid(QString::fromUtf8(HelperProtocol::kServiceName));
    }

    HelperOnPrivateBus helper;
    QDBusConnection client = helper.bus().connect("client");
};

TEST_F(HelperDaemonTest, TheBusStartsTheDaemonOnTheFirstCallAndItStartsInactive) {
    const QString name = QString::fromUtf8(HelperProtocol::kServiceName);
    EXPECT_FALSE(client.interface()->isServiceRegistered(name).value());

    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
    EXPECT_THAT(call("IsThrottlingActive").arguments(), ElementsAre(false, QString()));
    EXPECT_THAT(call("GetVersion").arguments(), ElementsAre(QStringLiteral("1.0.0")));
    EXPECT_THAT(call("HealthCheck").arguments(), ElementsAre(true));
    EXPECT_TRUE(configurationOf(call("GetThrottlingConfiguration")).isEmpty());
    EXPECT_TRUE(client.interface()->isServiceRegistered(name).value());
    EXPECT_TRUE(daemonLog().contains("Veltrane Helper v1.0.0 started"));
    // With pf's tools at hand the daemon shapes with them.
    EXPECT_TRUE(daemonLog().contains("Using pf/dummynet"));
    // Status reads neither run tools nor touch pf.conf.
    EXPECT_THAT(toolRuns(), IsEmpty());
}

TEST_F(HelperDaemonTest, EnableRunsTheEngineAndTheConfigurationFollowsTheState) {
    const QDBusMessage reply = call("EnableThrottling", enableArguments(97500, 41250, 100, 1.0, 0));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    EXPECT_EQ(reply.signature(), QStringLiteral("bs"));
    EXPECT_THAT(reply.arguments(), ElementsAre(true, QString()));
    // The engine's tests own the tool runs; here only what the daemon hands it.
    EXPECT_TRUE(daemonLog().contains(
        QStringLiteral("enableThrottling called: down=97500 up=41250 latency=100 loss=1.0 dns=0")));

    const QDBusMessage configuration = call("GetThrottlingConfiguration");
    EXPECT_EQ(configuration.signature(), QStringLiteral("a{sv}s"));
    EXPECT_EQ(configurationOf(configuration), (QVariantMap{{QStringLiteral("isActive"), true}}));

    EXPECT_THAT(call("DisableThrottling").arguments(), ElementsAre(true, QString()));
    EXPECT_TRUE(daemonLog().contains("disableThrottling called"));
    EXPECT_TRUE(configurationOf(call("GetThrottlingConfiguration")).isEmpty());
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));

    // Apply and remove answer with the message alone.
    const QDBusMessage applied = call("ApplyThrottling", applyArguments(1000, 2000, 3, 0));
    EXPECT_EQ(applied.signature(), QStringLiteral("s"));
    EXPECT_THAT(applied.arguments(), ElementsAre(QString()));
    EXPECT_TRUE(daemonLog().contains(
        QStringLiteral("enableThrottling called: down=1000 up=2000 latency=3 loss=0.0 dns=0")));
    EXPECT_THAT(call("IsThrottlingActive").arguments(), ElementsAre(true, QString()));
    EXPECT_THAT(call("RemoveThrottling").arguments(), ElementsAre(QString()));
    EXPECT_THAT(call("IsThrottlingActive").arguments(), ElementsAre(false, QString()));
}

TEST_F(HelperDaemonTest, InvalidParametersGetTheCheckMessageAndRunNothing) {
    const QString latency = QStringLiteral("Latency exceeds maximum allowed value (10000ms)");
    const QString loss = QStringLiteral("Packet loss must be between 0 and 100 percent");
    // The check's own tests own its messages; here only what the bus brings:
    // unsigned bandwidths from 2^63 on cannot be taken over as signed values.
    const struct {
        QString method;
        QVariantList arguments;
        QVariantList reply;
    } cases[] = {
        {"EnableThrottling", enableArguments(0, 0, 0, kNaN, 0), {false, loss}},
        {"ApplyThrottling", applyArguments(0, 0, 4'294'967'295u, 0), {latency}},
        {"ApplyThrottling",
         applyArguments(qulonglong(1) << 63, 0, 0, 0),
         {QStringLiteral("Download bandwidth exceeds maximum allowed value")}},
        {"ApplyThrottling",
         applyArguments(0, std::numeric_limits<qulonglong>::max(), 0, 0),
         {QStringLiteral("Upload bandwidth exceeds maximum allowed value")}},
    };
    for (const auto& invalid : cases) {
        EXPECT_EQ(call(invalid.method, invalid.arguments).arguments(), invalid.reply)
            << invalid.arguments.first().toString().toStdString();
    }
    EXPECT_THAT(toolRuns(), IsEmpty());
    EXPECT_TRUE(daemonLog().contains("Validation failed: " + latency));
}

TEST_F(HelperDaemonTest, AnEngineFailureRepliesWithTheErrorDescription) {
    helper.tools().answer("dnctl", "*", 1, "", "dummynet unavailable");
    EXPECT_THAT(call("EnableThrottling", enableArguments(1000, 0, 0, 0, 0)).arguments(),
                ElementsAre(false, QStringLiteral("Command failed: Failed to configure download "
                                                  "pipe: dummynet unavailable")));
    EXPECT_TRUE(daemonLog().contains(QStringLiteral(
        "Failed to enable throttling: Command failed: Failed to configure download pipe: "
        "dummynet unavailable")));
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
}

TEST_F(HelperDaemonTest, TwoClientsShareOneEngineAndTheLogFollowsTheirConnections) {
    {
        QDBusConnection other = helper.bus().connect("other");
        ASSERT_THAT(call("EnableThrottling", enableArguments(0, 0, 0, 0, 0)).arguments(),
                    ElementsAre(true, QString()));
        EXPECT_THAT(HelperOnPrivateBus::call(other, QStringLiteral("GetStatus")).arguments(),
                    ElementsAre(true, QString()));
        EXPECT_EQ(daemonLog().count("Accepted new XPC connection"), 2);
    }
    helper.bus().disconnect("other");
    EXPECT_TRUE(waitUntil([this] { return daemonLog().count("XPC connection invalidated") == 1; }));
    // The engine's state belongs to no connection.
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(true, QString()));
}

TEST_F(HelperDaemonTest, HealthAndVersionAnswerWhileAnotherClientsEnableIsRunning) {
    helper.tools().answer("dnctl", "pipe 1 config", 0, "", "", 2);
    QDBusConnection other = helper.bus().connect("other");
    call("HealthCheck"); // the daemon is up before the race starts

    const QDBusMessage enable =
        HelperOnPrivateBus::methodCall("EnableThrottling", enableArguments(0, 0, 0, 0, 0));
    QDBusPendingCall pendingEnable = other.asyncCall(enable);
    ASSERT_TRUE(waitUntil([this] {
        const auto runs = toolRuns();
        return std::find(runs.begin(), runs.end(), "dnctl pipe 1 config") != runs.end();
    }));

    EXPECT_THAT(call("HealthCheck").arguments(), ElementsAre(true));
    EXPECT_THAT(call("GetVersion").arguments(), ElementsAre(QStringLiteral("1.0.0")));
    EXPECT_FALSE(pendingEnable.isFinished()) << "answered only after the enable";

    // A status read waits for the enable and sees its result.
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(true, QString()));
    pendingEnable.waitForFinished();
    EXPECT_THAT(pendingEnable.reply().arguments(), ElementsAre(true, QString()));
}

TEST_F(HelperDaemonTest, CallsOutsideTheInterfaceGetTheBussStandardErrors) {
    QDBusMessage otherInterface = QDBusMessage::createMethodCall(
        QString::fromUtf8(HelperProtocol::kServiceName),
        QString::fromUtf8(HelperProtocol::kObjectPath), QStringLiteral("com.example.Elsewhere"),
        QStringLiteral("GetStatus"));
    const QString unknown = QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod");
    const QString invalid = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
    const QList<std::pair<QDBusMessage, QString>> refused = {
        {HelperOnPrivateBus::methodCall("EnableThrottling",
                                        {qlonglong(1), qlonglong(2), qlonglong(3)}),
         invalid},
        {HelperOnPrivateBus::methodCall("ApplyThrottling", {qlonglong(1), qlonglong(2), 3u, 0.0}),
         invalid},
        {HelperOnPrivateBus::methodCall("FormatDisk"), unknown},
        {otherInterface, unknown}};
    for (const auto& [message, error] : refused) {
        EXPECT_EQ(client.call(message, QDBus::Block, 10'000).errorName(), error)
            << message.member().toStdString();
    }
    EXPECT_THAT(call("HealthCheck").arguments(), ElementsAre(true));
    EXPECT_THAT(toolRuns(), IsEmpty());
}

TEST_F(HelperDaemonTest, SigtermOrALostBusRemoveTheShapingBeforeTheDaemonExits) {
    for (const bool busLost : {false, true}) {
        ASSERT_THAT(call("EnableThrottling", enableArguments(1000, 0, 0, 0, 0)).arguments(),
                    ElementsAre(true, QString()));
        const qint64 pid = daemonPid();
        ASSERT_GT(pid, 0);
        if (busLost) {
            helper.bus().stop();
        } else {
            ::kill(static_cast<pid_t>(pid), SIGTERM);
        }
        EXPECT_TRUE(waitUntil([pid] { return !processAlive(pid); }));
        EXPECT_EQ(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
        EXPECT_EQ(daemonLog().count("Removed shaping before stopping"), busLost ? 2 : 1);
    }
}

TEST_F(HelperDaemonTest, ADaemonKilledMidEnableIsCleanedUpByTheNextOne) {
    // The anchor load hangs: the pipes and the pf.conf line are in place.
    const std::string anchorLoad =
        "-a com.veltrane -f " + helper.tools().path("/tmp/veltrane_anchor.conf");
    helper.tools().answer("pfctl", anchorLoad, 0, "", "", 3);
    QDBusPendingCall enable = client.asyncCall(HelperOnPrivateBus::methodCall(
        QStringLiteral("EnableThrottling"), enableArguments(1000, 0, 0, 0, 0)));
    ASSERT_TRUE(waitUntil([this] {
        const auto runs = toolRuns();
        return std::find(runs.begin(), runs.end(),
                         "pfctl -a com.veltrane -f /tmp/veltrane_anchor.conf") != runs.end();
    }));
    const qint64 killed = daemonPid();
    ::kill(static_cast<pid_t>(killed), SIGKILL);
    ASSERT_TRUE(waitUntil([this, killed] { return daemonPid() != killed; }));
    ASSERT_NE(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);

    helper.tools().clearAnswers();
    // The next call starts a new daemon, which first removes the leftover.
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
    EXPECT_EQ(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
    EXPECT_TRUE(daemonLog().contains("Removed shaping left by an earlier helper process"));
    EXPECT_FALSE(helper.tools().exists("/tmp/veltrane_anchor.conf"));
}

TEST(HelperDaemonTimeLimitTest, AHungToolFailsTheEnableInTimeAndTheDaemonKeepsServing) {
    HelperOnPrivateBus helper(
        {{QStringLiteral("--tool-time-limit"), QStringLiteral("500")}, std::nullopt, {}});
    QDBusConnection client = helper.bus().connect("client");
    helper.tools().answer("dnctl", "pipe 1 config bw 1000Byte/s", 0, "", "", 60);
    const QDBusMessage reply = HelperOnPrivateBus::call(client, QStringLiteral("EnableThrottling"),
                                                        enableArguments(1000, 0, 0, 0, 0));
    EXPECT_THAT(reply.arguments(),
                ElementsAre(false, QStringLiteral("Command timed out after 0.5 s: ") +
                                       QString::fromStdString(helper.tools().path(
                                           "/usr/sbin/dnctl pipe 1 config bw 1000Byte/s"))));
    EXPECT_THAT(HelperOnPrivateBus::call(client, QStringLiteral("GetStatus")).arguments(),
                ElementsAre(false, QString()));
}

TEST(HelperDaemonBackendTest, TheSandboxCanShapeWithTrafficControlOnAFixedInterfaceList) {
    HelperOnPrivateBus helper({{QStringLiteral("--backend"), QStringLiteral("tc"),
                                QStringLiteral("--interfaces"), QStringLiteral("eth7")},
                               std::nullopt,
                               {}});
    QDBusConnection client = helper.bus().connect("client");
    EXPECT_THAT(HelperOnPrivateBus::call(client, QStringLiteral("EnableThrottling"),
                                         enableArguments(1000, 2000, 10, 0, 0))
                    .arguments(),
                ElementsAre(true, QString()));
    const auto runs = helper.tools().toolRuns();
    EXPECT_TRUE(helper.bus().output().contains("Using Linux traffic control"));
    ASSERT_FALSE(runs.empty());
    for (const std::string& run : runs) {
        EXPECT_TRUE(run.starts_with("tc ") || run.starts_with("ip ")) << run;
        // Nothing but the pinned interface and our own IFB device is touched.
        const bool onAnInterface = run.find("dev ") != std::string::npos;
        EXPECT_TRUE(!onAnInterface || run.find("eth7") != std::string::npos ||
                    run.find("vtifb-") != std::string::npos)
            << run;
    }
}

} // namespace
