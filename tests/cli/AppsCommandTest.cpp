// SPDX-License-Identifier: MIT
// veltranectl apps against a fake of systemd's user manager on a private
// session bus.
#include "FakeUserManager.h"
#include "PrivateBus.h"
#include "VeltranectlRunner.h"
#include "WaitUntil.h"

#include <QDir>
#include <QFile>

namespace {

class AppsCommandTest : public VeltranectlRunner {
protected:
    AppsCommandTest() {
        environment.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
        environment.insert("XDG_DATA_DIRS", home.filePath("share"));
        QDir().mkpath(home.filePath("share/applications"));
        QFile entry(home.filePath("share/applications/org.example.Editor.desktop"));
        EXPECT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Editor\nIcon=editor\nExec=editor\n");
    }

    // While the fake answers: it lives on this process's event loop.
    Outcome runAnswering(const QStringList& arguments) {
        QProcess process;
        start(process, arguments);
        EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; },
                              std::chrono::seconds(30)));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    PrivateBus bus{QList<PrivateBus::Service>{}};
    FakeUserManager manager{bus.connect(QStringLiteral("manager")), home.filePath("cgroup"),
                            home.filePath("proc")};
};

TEST_F(AppsCommandTest, EachApplicationIsListedByItsDesktopIdNameAndScopes) {
    manager.addUnit(QStringLiteral("app-gnome-org.example.Editor-10.scope"), {});
    manager.addUnit(QStringLiteral("app-flatpak-org.example.Editor-11.scope"), {});
    const Outcome listed = runAnswering({"apps"});
    EXPECT_EQ(listed.status, 0) << listed.err.toStdString();
    EXPECT_EQ(listed.out, "org.example.Editor  Editor  2 scopes, pids \n");

    const QJsonObject json = runAnswering({"apps", "--json"}).json().object();
    const QJsonObject editor = json.value("applications").toArray().at(0).toObject();
    EXPECT_EQ(editor.value("id"), "org.example.Editor");
    EXPECT_EQ(editor.value("icon"), "editor");
    EXPECT_EQ(editor.value("scopes").toArray().size(), 2);
    EXPECT_EQ(
        editor.value("scopes").toArray().at(0).toObject().value("cgroup"),
        FakeUserManager::appCgroup(QStringLiteral("app-flatpak-org.example.Editor-11.scope")));
}

TEST_F(AppsCommandTest, WithoutAUserManagerItSaysWhyAndFails) {
    manager.leave();
    const Outcome outcome = runAnswering({"apps"});
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.startsWith("Cannot list the running applications: systemd's user "
                                       "manager does not run on the session bus"))
        << outcome.err.toStdString();
}

} // namespace
