// SPDX-License-Identifier: MIT
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "TrafficControlDaemon.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <limits>
#include <unistd.h>

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

QVariantList enableAsArguments(const QString& description, bool hold) {
    return {qlonglong(1000), qlonglong(2000), qlonglong(30), 1.5, qlonglong(0), description, hold};
}

QVariantMap configurationOf(const QDBusMessage& reply) {
    return qdbus_cast<QVariantMap>(reply.arguments().value(0));
}

QVariantMap ownerOf(const QVariantMap& state) {
    return state.value(HelperProtocol::State::kOwner).toMap();
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

    QVariantMap state() { return HelperOnPrivateBus::state(client); }

    // A call on another client connection, which stays open until the bus's
    // disconnect(name) closes it.
    QDBusMessage callAs(const QString& connectionName, const QString& method,
                        const QVariantList& arguments = {}) {
        QDBusConnection connection = helper.bus().connect(connectionName);
        return HelperOnPrivateBus::call(connection, method, arguments);
    }
    QString uniqueNameOf(const QString& connectionName) {
        return helper.bus().connect(connectionName).baseService();
    }

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
    // The owner's description is shown and logged: one line, not too long.
    for (const QString& description :
         {QString(HelperProtocol::kMaxDescriptionLength + 1, QLatin1Char('x')),
          QStringLiteral("make\ntest")}) {
        EXPECT_EQ(call("EnableThrottlingAs", enableAsArguments(description, true)).errorName(),
                  HelperProtocol::Error::kInvalidArguments);
    }
    EXPECT_EQ(call("EnableThrottlingAs", {qlonglong(0), qlonglong(0), qlonglong(10'001), 0.0,
                                          qlonglong(0), QString(), false})
                  .errorMessage(),
              latency);
    EXPECT_THAT(toolRuns(), IsEmpty());
    EXPECT_TRUE(daemonLog().contains("Validation failed: " + latency));
}

TEST_F(HelperDaemonTest, NamedParametersAreReadStrictlyAndTheFiveAlonePublishAsTheyAlwaysDid) {
    const auto enable = [this](const QVariantMap& parameters) {
        return call("EnableThrottlingWithParameters", {parameters, QString(), false});
    };
    const struct {
        QVariantMap parameters;
        QString message;
    } refused[] = {
        {{{"latencyMs", qlonglong(30)}, {"bogus", 1.0}}, "Unknown parameter \"bogus\""},
        // Repeated in the reply and the log as one short line.
        {{{QString(70, u'x') + "\n", 1.0}}, "Unknown parameter \"" + QString(64, u'x') + "…\""},
        {{{"latencyMs", 30}}, "Parameter \"latencyMs\" must be of type x (64-bit integer), not i"},
        {{{"reorderPercent", QStringLiteral("5")}},
         "Parameter \"reorderPercent\" must be of type d (double), not s"},
        {{{"latencyMs", qlonglong(10)}, {"jitterMs", qlonglong(11)}},
         "Jitter cannot exceed the latency (10ms)"},
    };
    for (const auto& each : refused) {
        const QDBusMessage reply = enable(each.parameters);
        EXPECT_EQ(reply.errorName(), HelperProtocol::Error::kInvalidArguments);
        EXPECT_EQ(reply.errorMessage(), each.message);
    }
    EXPECT_THAT(toolRuns(), IsEmpty());

    // The five alone, named: what EnableThrottling does, published alike.
    const QVariantMap five{{"downloadBytesPerSecond", qlonglong(1000)},
                           {"latencyMs", qlonglong(30)},
                           {"packetLossPercent", 1.5}};
    ASSERT_EQ(enable(five).type(), QDBusMessage::ReplyMessage);
    const QVariantMap configuration = state().value(HelperProtocol::State::kConfiguration).toMap();
    EXPECT_EQ(configuration.keys(),
              (QStringList{"dnsDelayMs", "downloadBytesPerSecond", "latencyMs", "packetLossPercent",
                           "uploadBytesPerSecond"}));
    EXPECT_EQ(configuration.value("packetLossPercent"), 1.5);
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

TEST_F(HelperDaemonTest, AHoldEndsWithItsHoldersConnectionAndEveryChangeIsAnnounced) {
    const HelperStateSignals announced(client);
    const QDBusMessage reply =
        callAs("holder", "EnableThrottlingAs", enableAsArguments("make test", true));
    ASSERT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
    ASSERT_TRUE(waitUntil([&] { return announced.last().value("active").toBool(); }));

    // Who holds it comes from the bus; the serial tells this state from older ones.
    const QVariantMap held = announced.last();
    EXPECT_EQ(ownerOf(held), (QVariantMap{{"busName", uniqueNameOf("holder")},
                                          {"uid", uint(::getuid())},
                                          {"pid", uint(::getpid())},
                                          {"description", QStringLiteral("make test")},
                                          {"since", ownerOf(held).value("since")},
                                          {"held", true}}));
    EXPECT_EQ(held.value("configuration").toMap(),
              (QVariantMap{{"downloadBytesPerSecond", qlonglong(1000)},
                           {"uploadBytesPerSecond", qlonglong(2000)},
                           {"latencyMs", qlonglong(30)},
                           {"packetLossPercent", 1.5},
                           {"dnsDelayMs", qlonglong(0)}}));
    EXPECT_EQ(state(), held);
    EXPECT_GT(held.value("serial").toULongLong(), 0u);

    helper.bus().disconnect("holder");
    EXPECT_TRUE(waitUntil([&] {
        return daemonLog().contains("Removed throttling held by make test: its owner disconnected");
    }));
    ASSERT_TRUE(waitUntil([&] { return !announced.last().value("active").toBool(); }));
    EXPECT_GT(announced.last().value("serial").toULongLong(), held.value("serial").toULongLong());
    EXPECT_FALSE(announced.last().contains("owner"));
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));

    // A holder that leaves while its enable is still running is not missed.
    const std::string downloadPipe = "dnctl pipe 1 config bw 1000Byte/s delay 15ms plr 0.015000";
    helper.tools().answer("dnctl", downloadPipe.substr(6), 0, "", "", 1);
    helper.bus().connect("late").asyncCall(
        HelperOnPrivateBus::methodCall("EnableThrottlingAs", enableAsArguments("late", true)));
    ASSERT_TRUE(waitUntil([&] {
        const auto runs = toolRuns();
        return std::count(runs.begin(), runs.end(), downloadPipe) == 2;
    }));
    helper.bus().disconnect("late");
    EXPECT_TRUE(waitUntil([&] {
        return daemonLog().contains("Removed throttling held by late: its owner disconnected");
    }));
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
}

TEST_F(HelperDaemonTest, AnotherClientTakesTheHoldOverAndOnlyTheHolderMayLetGo) {
    ASSERT_EQ(callAs("first", "EnableThrottlingAs", enableAsArguments("first", true)).type(),
              QDBusMessage::ReplyMessage);
    // The nine methods make their caller the owner, without a hold.
    ASSERT_THAT(call("EnableThrottling", enableArguments(0, 0, 0, 0, 0)).arguments(),
                ElementsAre(true, QString()));
    EXPECT_EQ(ownerOf(state()).value("busName"), client.baseService());
    EXPECT_EQ(ownerOf(state()).value("held"), false);
    helper.bus().disconnect("first");
    ASSERT_TRUE(waitUntil([this] { return daemonLog().count("XPC connection invalidated") == 1; }));
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(true, QString()));

    ASSERT_EQ(callAs("second", "EnableThrottlingAs", enableAsArguments("second", true)).type(),
              QDBusMessage::ReplyMessage);
    EXPECT_EQ(call("ReleaseThrottling").errorName(), HelperProtocol::Error::kNotHolder);
    EXPECT_EQ(callAs("second", "ReleaseThrottling").type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(ownerOf(state()).value("held"), false);
    helper.bus().disconnect("second");
    ASSERT_TRUE(waitUntil([this] { return daemonLog().count("XPC connection invalidated") == 2; }));
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(true, QString()));
    EXPECT_FALSE(daemonLog().join('\n').contains("Removed throttling held by"));
    EXPECT_EQ(daemonLog().count("Accepted new XPC connection"), 3);
}

TEST_F(HelperDaemonTest, AFailedTakeOverLeavesTheHoldOnWhatIsStillInForce) {
    const HelperStateSignals announced(client);
    ASSERT_EQ(callAs("holder", "EnableThrottlingAs", enableAsArguments("holder", true)).type(),
              QDBusMessage::ReplyMessage);
    // Refused before anything is touched: the holder's throttling stays its,
    // and goes with it.
    const QVariantMap jittery{{"latencyMs", qlonglong(30)}, {"jitterMs", qlonglong(5)}};
    EXPECT_EQ(
        call("EnableThrottlingWithParameters", {jittery, QString("other"), false}).errorName(),
        HelperProtocol::Error::kFailed);
    EXPECT_EQ(ownerOf(state()).value("description"), "holder");
    helper.bus().disconnect("holder");
    EXPECT_TRUE(waitUntil([&] {
        return daemonLog().contains("Removed throttling held by holder: its owner disconnected");
    }));
    ASSERT_TRUE(waitUntil([&] { return !announced.last().value("active").toBool(); }));

    // Failing half-way, after the holder's throttling was taken away: off,
    // and said so.
    ASSERT_EQ(callAs("second", "EnableThrottlingAs", enableAsArguments("second", true)).type(),
              QDBusMessage::ReplyMessage);
    helper.tools().answer("dnctl", "pipe 1 config bw 1000Byte/s delay 15ms plr 0.015000", 1, "",
                          "no");
    EXPECT_EQ(call("EnableThrottlingAs", enableAsArguments("other", false)).errorName(),
              HelperProtocol::Error::kFailed);
    EXPECT_FALSE(state().value("active").toBool());
    EXPECT_FALSE(state().contains("owner"));
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
}

TEST_F(HelperDaemonTest, ReadsAnswerAtOnceWhileAnotherClientsEnableIsRunning) {
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
    // Status reads tell what is in force now, not what is on its way.
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
    EXPECT_EQ(state().value("active"), false);
    EXPECT_FALSE(pendingEnable.isFinished()) << "answered only after the enable";

    pendingEnable.waitForFinished();
    EXPECT_THAT(pendingEnable.reply().arguments(), ElementsAre(true, QString()));
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(true, QString()));
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
        ASSERT_EQ(call("EnableThrottlingAs", enableAsArguments("held", true)).type(),
                  QDBusMessage::ReplyMessage);
        ASSERT_TRUE(helper.tools().exists("/run/veltrane/owner"));
        const qint64 pid = daemonPid();
        ASSERT_GT(pid, 0);
        if (busLost) {
            helper.bus().stop();
        } else {
            signalProcess(pid, SIGTERM);
        }
        EXPECT_TRUE(waitUntil([pid] { return !processAlive(pid); }));
        EXPECT_EQ(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
        EXPECT_EQ(daemonLog().count("Removed shaping before stopping"), busLost ? 2 : 1);
        // No hold is kept for a next daemon; the last id given is.
        EXPECT_THAT(helper.tools().readFile("/run/veltrane/owner"),
                    testing::HasSubstr(R"("throttles":[])"));
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
    ASSERT_TRUE(signalProcess(killed, SIGKILL));
    ASSERT_TRUE(waitUntil([this, killed] { return daemonPid() != killed; }));
    ASSERT_NE(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);

    helper.tools().clearAnswers();
    // The next call starts a new daemon, which first removes the leftover.
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
    EXPECT_EQ(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
    EXPECT_TRUE(daemonLog().contains("Removed shaping left by an earlier helper process"));
    EXPECT_FALSE(helper.tools().exists("/tmp/veltrane_anchor.conf"));
}

TEST(HelperDaemonDeadlineTest, AHungToolGetsTheCallAnsweredByItsDeadlineAndTheChangeUndone) {
    HelperOnPrivateBus helper(
        {{QStringLiteral("--call-deadline"), QStringLiteral("3000")}, std::nullopt, {}});
    QDBusConnection client = helper.bus().connect("client");
    // Past the edit of pf.conf, which the undo must take back.
    const std::string anchorLoad =
        "-a com.veltrane -f " + helper.tools().path("/tmp/veltrane_anchor.conf");
    helper.tools().answer("pfctl", anchorLoad, 0, "", "", 60);
    const QString timedOut =
        QStringLiteral("Throttling could not be changed within 3 s: Command "
                       "ended: its call ran out of time: ") +
        QString::fromStdString(helper.tools().path("/sbin/pfctl ") + anchorLoad);

    const QDBusMessage named = HelperOnPrivateBus::call(
        client, QStringLiteral("EnableThrottlingAs"), enableAsArguments("slow", false));
    EXPECT_EQ(named.errorName(), HelperProtocol::Error::kTimedOut);
    EXPECT_EQ(named.errorMessage(), timedOut);
    EXPECT_EQ(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
    EXPECT_THAT(HelperOnPrivateBus::call(client, QStringLiteral("EnableThrottling"),
                                         enableArguments(1000, 0, 0, 0, 0))
                    .arguments(),
                ElementsAre(false, timedOut));
    EXPECT_THAT(HelperOnPrivateBus::call(client, QStringLiteral("GetStatus")).arguments(),
                ElementsAre(false, QString()));
    EXPECT_EQ(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
}

TEST(HelperDaemonDeadlineTest, AChangeThatLandsAfterItsCallWasAnsweredIsRemovedAgain) {
    HelperOnPrivateBus helper(
        {{QStringLiteral("--answer-deadline"), QStringLiteral("500")}, std::nullopt, {}});
    QDBusConnection client = helper.bus().connect("client");
    helper.tools().answer("pfctl",
                          "-a com.veltrane -f " + helper.tools().path("/tmp/veltrane_anchor.conf"),
                          0, "", "", 1.5);
    // Told it failed, the caller must not find it on.
    EXPECT_EQ(HelperOnPrivateBus::call(client, QStringLiteral("EnableThrottlingAs"),
                                       enableAsArguments("late", false))
                  .errorName(),
              HelperProtocol::Error::kTimedOut);
    EXPECT_TRUE(waitUntil([&] {
        return helper.bus().output().contains(
            "Removed throttling switched on after its call's deadline");
    }));
    EXPECT_TRUE(waitUntil([&] {
        return HelperOnPrivateBus::call(client, QStringLiteral("GetStatus")).arguments() ==
               QVariantList{false, QString()};
    }));
    EXPECT_EQ(helper.tools().readFile("/etc/pf.conf"), FakeToolSandbox::kDefaultPfConf);
}

using HelperDaemonBackendTest = TrafficControlDaemon;

TEST_F(HelperDaemonBackendTest,
       TrafficControlShapesOnlyThePinnedInterfaceAndKeepsWhatItCouldNotRemove) {
    EXPECT_THAT(call("EnableThrottling", enableArguments(1000, 2000, 10, 0, 0)).arguments(),
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

    helper.tools().answer("ip", "link delete dev vtifb-eth7", 2, "",
                          "RTNETLINK answers: Operation not permitted");
    const QString failure = QStringLiteral("Could not remove all shaping: ") +
                            QString::fromStdString(helper.tools().path("/usr/sbin/ip")) +
                            QStringLiteral(" link delete dev vtifb-eth7: RTNETLINK answers: "
                                           "Operation not permitted");
    EXPECT_THAT(call("DisableThrottling").arguments(), ElementsAre(false, failure));
    const QVariantMap failed = HelperOnPrivateBus::state(client);
    EXPECT_EQ(failed.value("active"), true);
    EXPECT_EQ(failed.value("failure"), failure);
    EXPECT_EQ(helper.tools().readFile("/run/veltrane/shaping.record"), "device vtifb-eth7\n");

    helper.tools().clearAnswers();
    EXPECT_THAT(call("RemoveThrottling").arguments(), ElementsAre(QString()));
    EXPECT_EQ(HelperOnPrivateBus::state(client).value("active"), false);
    EXPECT_FALSE(HelperOnPrivateBus::state(client).contains("failure"));
    EXPECT_FALSE(helper.tools().exists("/run/veltrane/shaping.record"));
}

TEST_F(HelperDaemonBackendTest, TheNextChangeRunsTcStartedAheadAndItsRefusalNamesItsLine) {
    ASSERT_THAT(call("EnableThrottling", enableArguments(1000, 2000, 10, 0, 0)).arguments(),
                ElementsAre(true, QString()));
    const auto firstRuns = helper.tools().toolRuns();
    ASSERT_THAT(call("DisableThrottling").arguments(), ElementsAre(true, QString()));

    // tc waits since the last change for the next one's batch on its input.
    helper.tools().clearToolRuns();
    ASSERT_THAT(call("EnableThrottling", enableArguments(1000, 2000, 10, 0, 0)).arguments(),
                ElementsAre(true, QString()));
    EXPECT_EQ(helper.tools().toolRuns(), firstRuns);
    const std::string tc = helper.tools().path("/usr/sbin/tc");
    EXPECT_TRUE(helper.bus().output().contains(QString::fromStdString(tc + " -batch -")));

    // Its refusal is told by its line, and what came before it is undone.
    ASSERT_THAT(call("DisableThrottling").arguments(), ElementsAre(true, QString()));
    helper.tools().answer("tc", "qdisc add dev eth7 handle ffff: ingress", 2, "",
                          "Error: Exclusivity flag on, cannot modify.");
    const QDBusMessage refused = call("EnableThrottling", enableArguments(1000, 2000, 10, 0, 0));
    ASSERT_EQ(refused.arguments().value(0), false);
    EXPECT_EQ(refused.arguments().value(1),
              "Command failed: Failed to redirect download traffic on eth7: Error: Exclusivity "
              "flag on, cannot modify.");
    EXPECT_FALSE(helper.tools().exists("/run/veltrane/shaping.record"));
}

TEST_F(HelperDaemonBackendTest, ADaemonKilledMidBatchLeftAllItWasMakingOnRecordAndTheNextUndoesIt) {
    const QString service = QString::fromUtf8(HelperProtocol::kServiceName);
    // tc's batch hangs at the ingress qdisc: the device, the root and its
    // filters are made, the ingress, its filters and the netem leaves not.
    const std::string ingress = "tc qdisc add dev eth7 handle ffff: ingress";
    helper.tools().answer("tc", ingress.substr(3), 0, "", "", 5);
    client.asyncCall(HelperOnPrivateBus::methodCall(QStringLiteral("EnableThrottling"),
                                                    enableArguments(1000, 2000, 10, 0, 0)));
    ASSERT_TRUE(waitUntil([&] {
        const auto runs = helper.tools().toolRuns();
        return std::find(runs.begin(), runs.end(), ingress) != runs.end();
    }));
    EXPECT_EQ(helper.tools().readFile("/run/veltrane/shaping.record"),
              "device vtifb-eth7\nqdisc eth7 root\nqdisc eth7 ingress\n");
    const qint64 killed = helper.bus().ownerPid(service);
    ASSERT_TRUE(signalProcess(killed, SIGKILL));
    ASSERT_TRUE(waitUntil([&] { return helper.bus().ownerPid(service) != killed; }));

    // What was never made is gone already, as the kernel says.
    helper.tools().clearAnswers();
    helper.tools().clearToolRuns();
    helper.tools().answer("tc", "qdisc del dev eth7 handle ffff: ingress", 2, "",
                          "Error: Cannot find specified qdisc on specified device.");
    EXPECT_THAT(call("GetStatus").arguments(), ElementsAre(false, QString()));
    EXPECT_THAT(helper.tools().toolRuns(),
                testing::IsSupersetOf(
                    {"tc qdisc del dev eth7 handle ffff: ingress",
                     "tc qdisc del dev eth7 root handle 5654:", "ip link delete dev vtifb-eth7"}));
    EXPECT_TRUE(
        helper.bus().output().contains("Removed shaping left by an earlier helper process"));
    EXPECT_FALSE(helper.tools().exists("/run/veltrane/shaping.record"));
    // Nor is the killed daemon's batch file left: only the record of owners.
    for (const auto& file :
         std::filesystem::directory_iterator(helper.tools().path("/run/veltrane"))) {
        if (file.path().filename() != "owner") {
            ADD_FAILURE() << "left behind: " << file.path();
        }
    }
}

} // namespace
