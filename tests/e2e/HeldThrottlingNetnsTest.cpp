// SPDX-License-Identifier: MIT
// Held throttling on a real kernel: the sandboxed daemon with the real tc and
// ip, in a network namespace of the test's own, behind a private bus. Needs
// root; skips, saying why, where the kernel lacks what shaping needs.
#include "HelperOnPrivateBus.h"
#include "NetnsPair.h"
#include "WaitUntil.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>

using namespace std::chrono_literals;
using Side = NetnsPair::Side;

namespace {

TEST(HeldThrottlingNetnsTest, AHeldRunKilledWithSigkillLeavesNoQdiscBehind) {
    std::optional<NetnsPair> pair;
    try {
        pair.emplace();
    } catch (const std::exception& error) {
        GTEST_SKIP() << "cannot make private network namespaces: " << error.what();
    }
    // The bus, and so the daemon it starts, live in the shaped namespace.
    std::optional<HelperOnPrivateBus> helper;
    {
        const NetnsScope scope(pair->fd(Side::shaped));
        helper.emplace(HelperOnPrivateBus::Options{
            {QStringLiteral("--backend"), QStringLiteral("tc")}, std::nullopt, {}});
    }
    for (const std::string tool : {"/usr/sbin/tc", "/usr/sbin/ip"}) {
        std::filesystem::remove(helper->tools().path(tool));
        std::filesystem::create_symlink(tool, helper->tools().path(tool));
    }
    const auto qdiscs = [&] { return pair->run(Side::shaped, "/usr/sbin/tc", {"qdisc", "show"}); };
    const std::string before = qdiscs();

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper->bus().address());
    const QString commandPid = home.filePath("command.pid");
    QProcess run;
    run.setProcessEnvironment(environment);
    run.start(QStringLiteral(VELTRANECTL),
              {"run", "3G", "--", "/bin/sh", "-c", "echo $$ > " + commandPid + "; exec sleep 30"});

    QDBusConnection client = helper->bus().connect("client");
    const auto active = [&] {
        return HelperOnPrivateBus::call(client, "GetStatus").arguments().value(0).toBool();
    };
    ASSERT_TRUE(waitUntil([&] { return active() || run.state() == QProcess::NotRunning; }, 20s));
    if (!active()) {
        run.waitForFinished(5'000);
        const QString error = QString::fromUtf8(run.readAllStandardError());
        if (error.contains(QStringLiteral("the kernel lacks"))) {
            GTEST_SKIP() << error.toStdString();
        }
        FAIL() << "veltranectl run did not switch throttling on: " << error.toStdString();
    }
    EXPECT_THAT(qdiscs(), testing::HasSubstr("qdisc htb 5654: dev vt0 root"));

    signalProcess(run.processId(), SIGKILL);
    run.waitForFinished(5'000);
    // The daemon sees its holder's connection close and takes everything away.
    EXPECT_TRUE(waitUntil([&] { return qdiscs() == before; }, 5s)) << qdiscs();
    EXPECT_FALSE(active());

    QFile pidFile(commandPid);
    if (pidFile.open(QIODevice::ReadOnly)) {
        signalProcess(pidFile.readAll().trimmed().toLongLong(), SIGKILL);
    }
}

TEST(HeldThrottlingNetnsTest, AScopedThrottleBesideTheMachinesEndsAloneAndOffLeavesNothing) {
    std::optional<NetnsPair> pair;
    try {
        pair.emplace();
    } catch (const std::exception& error) {
        GTEST_SKIP() << "cannot make private network namespaces: " << error.what();
    }
    std::optional<HelperOnPrivateBus> helper;
    {
        const NetnsScope scope(pair->fd(Side::shaped));
        helper.emplace(HelperOnPrivateBus::Options{
            {QStringLiteral("--backend"), QStringLiteral("tc")}, std::nullopt, {}});
    }
    for (const std::string tool : {"/usr/sbin/tc", "/usr/sbin/ip"}) {
        std::filesystem::remove(helper->tools().path(tool));
        std::filesystem::create_symlink(tool, helper->tools().path(tool));
    }
    // What is in force, without the counters that traffic moves.
    const auto shaping = [&] {
        return std::regex_replace(
            pair->run(Side::shaped, "/usr/sbin/tc", {"qdisc", "show"}) +
                pair->run(Side::shaped, "/usr/sbin/tc", {"filter", "show", "dev", "vt0"}),
            std::regex("direct_packets_stat [0-9]+ "), "");
    };
    const std::string before = shaping();

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", helper->bus().address());
    const auto veltranectl = [&](const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(VELTRANECTL), arguments);
        process.waitForFinished(30'000);
        return std::pair{process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
    };

    const auto machine = veltranectl({"apply", "3G"});
    if (machine.second.contains(QStringLiteral("the kernel lacks"))) {
        GTEST_SKIP() << machine.second.toStdString();
    }
    ASSERT_EQ(machine.first, 0) << machine.second.toStdString();
    const std::string wholeMachine = shaping();
    const auto scoped = veltranectl({"apply", "Edge", "--only-to", "10.213.0.2:5201"});
    ASSERT_EQ(scoped.first, 0) << scoped.second.toStdString();
    // Traffic to the peer's port goes by a filter of its own: its address
    // and port in a u32 match.
    EXPECT_THAT(shaping(), testing::HasSubstr("match 0ad50002/ffffffff at 16"));

    ASSERT_EQ(veltranectl({"off", "--id", "2"}).first, 0);
    EXPECT_EQ(shaping(), wholeMachine);
    ASSERT_EQ(veltranectl({"off"}).first, 0);
    EXPECT_EQ(shaping(), before);
}

} // namespace
