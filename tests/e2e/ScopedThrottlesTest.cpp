// SPDX-License-Identifier: MIT
// Several throttles at once, each with its scope and owner, through the
// sandboxed daemon on the stand-in backend, whose record is the layout in
// force.
#include "HelperOnPrivateBus.h"
#include "HelperProtocol.h"
#include "ThrottleScope.h"
#include "ThrottlingManager.h"
#include "WaitUntil.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <unistd.h>

using testing::ElementsAre;

namespace {

QVariantMap scopeTo(const QStringList& destinations, const QStringList& names = {}) {
    QVariantMap scope{{"destinations", destinations}};
    if (!names.isEmpty()) {
        scope.insert("names", names);
    }
    return scope;
}

class ScopedThrottlesTest : public testing::Test {
protected:
    // EnableThrottlingWithParameters on the connection named `who`, which
    // stays open until disconnected.
    QDBusMessage enable(const QString& who, qlonglong down, const QVariantMap& scope = {},
                        bool hold = false) {
        QVariantMap parameters{{"downloadBytesPerSecond", down}};
        if (!scope.isEmpty()) {
            parameters.insert("scope", scope);
        }
        QDBusConnection connection = helper.bus().connect(who);
        return HelperOnPrivateBus::call(connection, "EnableThrottlingWithParameters",
                                        {parameters, who, hold});
    }
    quint64 idOf(const QDBusMessage& reply) const {
        EXPECT_EQ(reply.type(), QDBusMessage::ReplyMessage) << reply.errorMessage().toStdString();
        EXPECT_EQ(reply.signature(), "t");
        return reply.arguments().value(0).toULongLong();
    }
    QDBusMessage end(const QString& who, quint64 id) {
        QDBusConnection connection = helper.bus().connect(who);
        return HelperOnPrivateBus::call(connection, "EndThrottle", {qulonglong(id)});
    }
    QString inForce() const {
        QFile layout(QString::fromStdString(helper.tools().path("/run/veltrane/layout")));
        return layout.open(QIODevice::ReadOnly) ? QString::fromUtf8(layout.readAll())
                                                : QStringLiteral("(nothing)");
    }
    QVariantMap state() { return HelperOnPrivateBus::state(client); }
    // Each throttle of the state as "id description".
    QStringList listed() {
        QStringList lines;
        for (const QVariant& each : state().value("throttles").toList()) {
            const QVariantMap throttle = each.toMap();
            lines << throttle.value("id").toString() + " " +
                         throttle.value("owner").toMap().value("description").toString();
        }
        return lines;
    }

    HelperOnPrivateBus helper{{{"--backend", "stand-in"}, std::nullopt, {}}};
    QDBusConnection client = helper.bus().connect("client");
};

TEST_F(ScopedThrottlesTest, EveryThrottleIsListedWithItsScopeAndOwnerAndTheOldKeysTellTheMachines) {
    const quint64 api = idOf(enable("api", 1000, scopeTo({"192.0.2.7"}, {"api.example.com"})));
    EXPECT_EQ(api, 1u);
    // With only a scoped throttle on, the old keys describe it: on is on.
    EXPECT_EQ(state().value("owner").toMap().value("description"), "api");
    EXPECT_THAT(HelperOnPrivateBus::call(client, "GetStatus").arguments(),
                ElementsAre(true, QString()));

    const quint64 machine = idOf(enable("machine", 2000));
    EXPECT_EQ(machine, 2u);
    EXPECT_EQ(inForce(), "slot 1 machine down=2000B/s up=0B/s\n"
                         "slot 2 only to 192.0.2.7 down=1000B/s up=0B/s\n");
    const QVariantMap published = state();
    EXPECT_EQ(published.value("owner").toMap().value("description"), "machine");
    EXPECT_EQ(published.value("configuration").toMap().value("downloadBytesPerSecond"), 2000);
    const QVariantList throttles = published.value("throttles").toList();
    ASSERT_EQ(throttles.size(), 2);
    const QVariantMap first = throttles.at(0).toMap();
    EXPECT_EQ(first.value("id").toULongLong(), api);
    EXPECT_EQ(first.value("scope").toMap(), (QVariantMap{{"destinations", QStringList{"192.0.2.7"}},
                                                         {"names", QStringList{"api.example.com"}},
                                                         {"addresses", QStringList{"192.0.2.7"}}}));
    EXPECT_EQ(first.value("owner").toMap().value("busName"),
              helper.bus().connect("api").baseService());
    EXPECT_EQ(first.value("configuration").toMap().value("downloadBytesPerSecond"), 1000);
    EXPECT_TRUE(throttles.at(1).toMap().value("scope").toMap().isEmpty());
    EXPECT_TRUE(helper.bus().output().contains(
        "enableThrottlingWithParameters called: down=1000 up=0 latency=0 loss=0.0 dns=0 "
        "jitter=0 correlation=0.0 reorder=0.0 duplicate=0.0 only to 192.0.2.7"));

    // A new whole-machine throttle replaces the old one, and its owner.
    EXPECT_EQ(idOf(enable("other", 3000)), 3u);
    EXPECT_THAT(listed(), ElementsAre("1 api", "3 other"));

    // The nine methods' off ends every throttle.
    EXPECT_THAT(HelperOnPrivateBus::call(client, "DisableThrottling").arguments(),
                ElementsAre(true, QString()));
    EXPECT_EQ(inForce(), "(nothing)");
    EXPECT_FALSE(state().contains("throttles"));
}

TEST_F(ScopedThrottlesTest, AHoldersDisconnectEndsOnlyItsThrottlesAndEndThrottleOnlyTheOneNamed) {
    const HelperStateSignals announced(client);
    idOf(enable("first", 1000, scopeTo({"10.0.0.0/8"}), true));
    idOf(enable("second", 2000, scopeTo({":443"}), true));
    idOf(enable("first", 3000, scopeTo({"[2001:db8::1]:8443"}), true));
    idOf(enable("machine", 4000, {}, true));
    EXPECT_THAT(listed(), ElementsAre("1 first", "2 second", "3 first", "4 machine"));

    helper.bus().disconnect("first");
    ASSERT_TRUE(waitUntil([&] { return listed().size() == 2; }));
    EXPECT_THAT(listed(), ElementsAre("2 second", "4 machine"));
    EXPECT_TRUE(helper.bus().output().contains(
        "Removed throttling held by first (only to 10.0.0.0/8): its owner disconnected"));
    EXPECT_EQ(inForce(), "slot 1 machine down=4000B/s up=0B/s\n"
                         "slot 3 only to :443 down=2000B/s up=0B/s\n");
    EXPECT_TRUE(
        waitUntil([&] { return announced.last().value("throttles").toList().size() == 2; }));

    // Its owner ends it; an id not in force is said so.
    EXPECT_EQ(end("machine", 4).type(), QDBusMessage::ReplyMessage);
    EXPECT_THAT(listed(), ElementsAre("2 second"));
    const QDBusMessage gone = end("machine", 4);
    EXPECT_EQ(gone.errorName(), HelperProtocol::Error::kNoSuchThrottle);
    EXPECT_EQ(gone.errorMessage(), "No throttle with id 4 is on");
    // Ending the last removes the shaping.
    EXPECT_EQ(end("second", 2).type(), QDBusMessage::ReplyMessage);
    EXPECT_EQ(inForce(), "(nothing)");
    EXPECT_FALSE(state().value("active").toBool());
}

TEST_F(ScopedThrottlesTest, AHeldThrottleThatCannotBeRemovedWhenItsHolderLeavesIsSaid) {
    const HelperStateSignals announced(client);
    idOf(enable("holder", 1000, {}, true));
    // What the stand-in shapes cannot be unlinked once it is a folder.
    const std::string layout = helper.tools().path("/run/veltrane/layout");
    std::filesystem::remove(layout);
    std::filesystem::create_directories(layout + "/kept");

    helper.bus().disconnect("holder");
    ASSERT_TRUE(waitUntil([&] { return announced.last().contains("failure"); }));
    EXPECT_THAT(announced.last().value("failure").toString().toStdString(),
                testing::HasSubstr("Is a directory"));
    EXPECT_TRUE(helper.bus().output().contains("Failed to end a throttle: "));
}

TEST_F(ScopedThrottlesTest, HeldThrottlesOutliveAKilledDaemonWhileTheirHoldersStayOnTheBus) {
    idOf(enable("stays", 1000, scopeTo({"10.0.0.0/8"}, {"intranet"}), true));
    idOf(enable("leaves", 2000, scopeTo({":443"}), true));
    idOf(enable("unheld", 3000));
    const auto killDaemon = [this] {
        const QString daemon = QString::fromUtf8(HelperProtocol::kServiceName);
        const qint64 killed = helper.bus().ownerPid(daemon);
        // Gone from the bus too: a call sent before the bus noticed would go
        // to the dead daemon instead of starting the next one.
        return signalProcess(killed, SIGKILL) && waitUntil([&] {
                   return !processAlive(killed) && helper.bus().ownerPid(daemon) != killed;
               });
    };
    ASSERT_TRUE(killDaemon());
    helper.bus().disconnect("leaves");

    // The next daemon applies afresh what a holder still holds, with its
    // scope and its id, which its holder still knows; the rest goes.
    EXPECT_THAT(listed(), ElementsAre("1 stays"));
    EXPECT_EQ(
        state().value("throttles").toList().value(0).toMap().value("scope").toMap().value("names"),
        QStringList{"intranet"});
    const QVariantMap owner = state().value("owner").toMap();
    EXPECT_EQ(owner.value("busName"), helper.bus().connect("stays").baseService());
    EXPECT_EQ(owner.value("held"), true);
    EXPECT_EQ(inForce(), "slot 2 only to 10.0.0.0/8 down=1000B/s up=0B/s\n");
    EXPECT_TRUE(helper.bus().output().contains(
        "Removed throttling held by leaves (only to :443): its owner disconnected"));

    // The last holder leaving while no daemon runs takes its record along.
    ASSERT_TRUE(killDaemon());
    helper.bus().disconnect("stays");
    EXPECT_THAT(HelperOnPrivateBus::call(client, "GetStatus").arguments(),
                ElementsAre(false, QString()));
    EXPECT_EQ(inForce(), "(nothing)");
    // Even with nothing on when a daemon went, no id is given twice.
    EXPECT_EQ(idOf(enable("next", 1000)), 4u);
}

TEST_F(ScopedThrottlesTest, ScopesTheHelperCannotTakeAreRefusedAndACallersCgroupIsTaken) {
    const struct {
        QVariant scope;
        QString error;
        QString message;
    } refused[] = {
        {scopeTo({"api.example.com"}), HelperProtocol::Error::kInvalidArguments,
         "Destination 'api.example.com' is a host name: the helper takes addresses and networks "
         "only"},
        {QStringLiteral("10.0.0.1"), HelperProtocol::Error::kInvalidArguments,
         "Parameter \"scope\" must be of type a{sv} (dictionary)"},
        {QVariantMap{{"cgroup", QStringLiteral("user.slice/missing.scope")}},
         HelperProtocol::Error::kInvalidArguments, "There is no cgroup user.slice/missing.scope"},
        {QVariantMap{{"application", QStringLiteral("../evil")}},
         HelperProtocol::Error::kInvalidArguments, "Invalid application id '../evil'"},
    };
    for (const auto& each : refused) {
        const QDBusMessage reply = HelperOnPrivateBus::call(
            client, "EnableThrottlingWithParameters",
            {QVariantMap{{"latencyMs", qlonglong(10)}, {"scope", each.scope}}, QString(), false});
        EXPECT_EQ(reply.errorName(), each.error);
        EXPECT_EQ(reply.errorMessage(), each.message);
    }

    // A command's cgroup that exists, with processes of the caller (root
    // may take any).
    const QString cgroup =
        QString::fromStdString(helper.tools().path("/sys/fs/cgroup/user.slice/run.scope"));
    ASSERT_TRUE(QDir().mkpath(cgroup));
    QFile procs(cgroup + "/cgroup.procs");
    ASSERT_TRUE(procs.open(QIODevice::WriteOnly));
    procs.write(QByteArray::number(::getpid()) + "\n");
    procs.close();
    idOf(enable("run", 1000, {{"cgroup", QStringLiteral("user.slice/run.scope")}}));
    EXPECT_THAT(listed(), ElementsAre("1 run"));
}

// An application's scopes as its user's manager makes and removes their
// folders: each one of it is shaped as it appears, another application's
// never, and the throttle whose last scope went stays on, waiting; the
// throttle beside it stays as it was throughout.
TEST_F(ScopedThrottlesTest, AnApplicationsScopesAreFollowedAsTheyComeAndGo) {
    const std::string user = std::to_string(::getuid());
    const std::string slice =
        "user.slice/user-" + user + ".slice/user@" + user + ".service/app.slice/";
    const auto folder = [&](const std::string& name) {
        return QString::fromStdString(helper.tools().path("/sys/fs/cgroup/" + slice + name));
    };
    const auto start = [&](const std::string& name) {
        ASSERT_TRUE(QDir().mkpath(folder(name)));
        QFile procs(folder(name) + "/cgroup.procs");
        ASSERT_TRUE(procs.open(QIODevice::WriteOnly));
    };
    const auto scopesOf = [&](quint64 id) {
        for (const QVariant& each : state().value("throttles").toList()) {
            if (each.toMap().value("id").toULongLong() == id) {
                return each.toMap().value("scope").toMap().value("cgroups").toStringList();
            }
        }
        return QStringList{QStringLiteral("(not listed)")};
    };
    const auto shaped = [&](const QStringList& names) {
        QStringList paths;
        for (const QString& name : names) {
            paths << QString::fromStdString(slice) + name;
        }
        return paths;
    };
    start("app-gnome-org.example.Editor-10.scope");
    start("app-gnome-org.example.Other-11.scope");
    const quint64 beside = idOf(enable("beside", 1000, scopeTo({"192.0.2.7"})));
    const QString besideInForce = "slot 2 only to 192.0.2.7 down=1000B/s up=0B/s\n";
    const quint64 editor = idOf(enable("editor", 2000, {{"application", "org.example.Editor"}}));
    EXPECT_EQ(scopesOf(editor), shaped({"app-gnome-org.example.Editor-10.scope"}));

    // A second window in a scope of its own, and a slice of the
    // application's with a service in it.
    start("app-flatpak-org.example.Editor-12.scope");
    start("app-org.example.Editor.slice");
    start("app-org.example.Editor.slice/editor-server.service");
    const QStringList all =
        shaped({"app-flatpak-org.example.Editor-12.scope", "app-gnome-org.example.Editor-10.scope",
                "app-org.example.Editor.slice"});
    EXPECT_TRUE(waitUntil([&] { return scopesOf(editor) == all; }))
        << scopesOf(editor).join(' ').toStdString();
    EXPECT_TRUE(inForce().startsWith(besideInForce)) << inForce().toStdString();
    EXPECT_TRUE(inForce().contains(QString::fromStdString(slice) + "app-org.example.Editor.slice"));

    // Every scope of it ends: it waits, listed, for the next start.
    for (const char* name :
         {"app-flatpak-org.example.Editor-12.scope", "app-gnome-org.example.Editor-10.scope",
          "app-org.example.Editor.slice/editor-server.service", "app-org.example.Editor.slice"}) {
        ASSERT_TRUE(QDir().rmdir(folder(name)) || QDir(folder(name)).removeRecursively());
    }
    EXPECT_TRUE(waitUntil([&] { return scopesOf(editor).isEmpty(); }));
    EXPECT_THAT(listed(), ElementsAre(QString::number(beside) + " beside",
                                      QString::number(editor) + " editor"));
    start("app-gnome-org.example.Editor-13.scope");
    EXPECT_TRUE(waitUntil(
        [&] { return scopesOf(editor) == shaped({"app-gnome-org.example.Editor-13.scope"}); }));
    EXPECT_TRUE(inForce().startsWith(besideInForce));
}

// Every name, address and count is bounded, so the helper's state is: the
// largest it can hold (nine throttles, each with the most and the longest
// destinations) still reaches every client.
TEST_F(ScopedThrottlesTest, TheLargestStateTheHelperCanHoldTravelsWhole) {
    QStringList addresses;
    QStringList names;
    for (int i = 0; i < int(ThrottleScope::kMaxDestinations); ++i) {
        addresses << QStringLiteral("[2001:db8:ffff:ffff:ffff:ffff:ffff:%1]:65535").arg(i);
        names << QString(int(ThrottleScope::kMaxNameLength), QChar(0x4e2d));
    }
    const QString description(HelperProtocol::kMaxDescriptionLength, QLatin1Char('d'));
    idOf(enable(description, 1000));
    for (std::size_t i = 0; i < ThrottlingManager::kMaxScopedThrottles; ++i) {
        QDBusConnection connection = helper.bus().connect(QStringLiteral("client%1").arg(i));
        idOf(HelperOnPrivateBus::call(connection, "EnableThrottlingWithParameters",
                                      {QVariantMap{{"downloadBytesPerSecond", qlonglong(1000)},
                                                   {"scope", scopeTo(addresses, names)}},
                                       description, false}));
    }
    const QVariantList throttles = state().value("throttles").toList();
    ASSERT_EQ(throttles.size(), 9);
    EXPECT_EQ(throttles.last().toMap().value("scope").toMap().value("names"), names);
}

// A tool that hangs on the new throttle's line alone, past the call's
// deadline: the enable is answered as late and undoes itself, and the held
// throttle beside it stays shaped, listed and owned.
TEST(ScopedThrottlesDeadlineTest, AnEnableThatMissesItsDeadlineUndoesOnlyItself) {
    HelperOnPrivateBus helper(
        {{"--backend", "tc", "--interfaces", "eth7", "--call-deadline", "3000"}, std::nullopt, {}});
    const auto enable = [&](const char* who, const char* destination, bool hold) {
        QDBusConnection connection = helper.bus().connect(QString::fromLatin1(who));
        return HelperOnPrivateBus::call(
            connection, "EnableThrottlingWithParameters",
            {QVariantMap{{"downloadBytesPerSecond", qlonglong(1000)},
                         {"scope", scopeTo({QString::fromLatin1(destination)})}},
             QString::fromLatin1(who), hold});
    };
    ASSERT_EQ(enable("holder", "10.0.0.0/8", true).type(), QDBusMessage::ReplyMessage);
    helper.tools().answer("tc",
                          "class add dev eth7 parent 5654: classid 5654:3 htb rate 100gbit burst "
                          "4mb cburst 4mb quantum 65536",
                          0, "", "", 60);
    const QDBusMessage refused = enable("late", "192.0.2.0/24", false);
    EXPECT_EQ(refused.errorName(), HelperProtocol::Error::kTimedOut);

    // The engine's answer may come after the call's: wait for it.
    ASSERT_TRUE(waitUntil([&] {
        return helper.bus().output().contains("Shaped again the 1 throttles that were on before");
    }));
    QDBusConnection client = helper.bus().connect("client");
    const QVariantMap state = HelperOnPrivateBus::state(client);
    EXPECT_EQ(state.value("active"), true);
    const QVariantList throttles = state.value("throttles").toList();
    ASSERT_EQ(throttles.size(), 1);
    EXPECT_EQ(throttles[0].toMap().value("id").toULongLong(), 1u);
    EXPECT_EQ(throttles[0].toMap().value("owner").toMap().value("held"), true);
    EXPECT_FALSE(state.contains("failure"));
    // Its class was made again, the late one's never stayed.
    const std::string record = helper.tools().readFile("/run/veltrane/shaping.record");
    EXPECT_NE(record.find("qdisc eth7 root"), std::string::npos);
    const auto runs = helper.tools().toolRuns();
    const auto hung =
        std::find(runs.begin(), runs.end(),
                  "tc class add dev eth7 parent 5654: classid 5654:3 htb rate 100gbit "
                  "burst 4mb cburst 4mb quantum 65536");
    EXPECT_EQ(std::count_if(hung, runs.end(),
                            [](const std::string& run) {
                                return run.starts_with("tc class add dev eth7") &&
                                       run.find("classid 5654:2") != std::string::npos;
                            }),
              1);

    // Its holder leaving ends it, and then nothing is left.
    helper.bus().disconnect("holder");
    EXPECT_TRUE(
        waitUntil([&] { return !HelperOnPrivateBus::state(client).value("active").toBool(); }));
    EXPECT_FALSE(helper.tools().exists("/run/veltrane/shaping.record"));
}

} // namespace
