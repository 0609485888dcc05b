// SPDX-License-Identifier: MIT
#include "RunningApplications.h"

#include "UserManagerSession.h"
#include "WriteFile.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

QString inApps(const char* unit) {
    return FakeUserManager::appCgroup(QString::fromUtf8(unit));
}

TEST(RunningApplicationsTest, TheUsersApplicationsAreListedByDesktopIdWithNameIconAndScopes) {
    UserManagerSession session;
    session.install(QStringLiteral("firefox-esr"), "Firefox ESR", "firefox-esr");
    session.install(QStringLiteral("org.kde.konsole"), "konsole");
    session.manager.addUnit(QStringLiteral(R"(app-gnome-firefox\x2desr-4242.scope)"), {4250, 4242});
    session.manager.addUnit(QStringLiteral(R"(app-firefox\x2desr@0f1e.service)"), {5000});
    session.manager.addUnit(QStringLiteral("app-org.kde.konsole-77.scope"), {77});
    // Without a desktop entry, named after its first process.
    session.manager.addUnit(QStringLiteral("app-tool-9.scope"), {9, 8});
    session.own(QStringLiteral("8"), "comm", "zz-tool\n");
    session.manager.addUnit(QStringLiteral("app-broken--1.scope"), {11});
    session.manager.addUnit(QStringLiteral("app-other-5.scope"), {12},
                            QStringLiteral("user.slice/user-1001.slice/user@1001.service/app.slice/"
                                           "app-other-5.scope"));
    ASSERT_TRUE(session.startAndLoad());

    EXPECT_EQ(session.running.errorText(), QString());
    EXPECT_EQ(session.names(), QStringList({QStringLiteral("Firefox ESR"),
                                            QStringLiteral("konsole"), QStringLiteral("zz-tool")}));
    const RunningApplication firefox = session.running.applications().value(0);
    EXPECT_EQ(firefox.desktopId, QStringLiteral("firefox-esr"));
    EXPECT_EQ(firefox.iconName, QStringLiteral("firefox-esr"));
    EXPECT_EQ(firefox.scopes,
              (QList<ApplicationScope>{{QStringLiteral(R"(app-firefox\x2desr@0f1e.service)"),
                                        inApps(R"(app-firefox\x2desr@0f1e.service)"),
                                        {5000}},
                                       {QStringLiteral(R"(app-gnome-firefox\x2desr-4242.scope)"),
                                        inApps(R"(app-gnome-firefox\x2desr-4242.scope)"),
                                        {4242, 4250}}}));
    EXPECT_FALSE(session.running.sharesSessionScope());
    EXPECT_EQ(namesOf(session.running.matching(QStringLiteral("FIRE"))),
              QStringList{QStringLiteral("Firefox ESR")});
    EXPECT_EQ(namesOf(session.running.matching(QStringLiteral("org.kde"))),
              QStringList{QStringLiteral("konsole")});
}

TEST(RunningApplicationsTest, NewScopesAppearAndEndedOnesGoWhileStarted) {
    UserManagerSession session;
    ASSERT_TRUE(session.startAndLoad());
    int changes = 0;
    QObject::connect(&session.running, &RunningApplications::changed, [&changes] { ++changes; });
    const auto scopeCount = [&session] {
        return session.running.applications().value(0).scopes.size();
    };
    const QString terminal1 = QStringLiteral("app-gnome-org.gnome.Terminal-1.scope");
    const QString terminal2 = QStringLiteral("app-gnome-org.gnome.Terminal-2.scope");
    session.manager.addUnit(terminal1, {21});
    ASSERT_TRUE(waitUntil([&] { return session.names() == QStringList{"org.gnome.Terminal"}; }))
        << session.manager.calls().join(u' ').toStdString();
    session.manager.addUnit(terminal2, {22});
    ASSERT_TRUE(waitUntil([&] { return scopeCount() == 2; }));

    // Loaded before it starts: an application once its start job is done.
    const QString dolphin = QStringLiteral("app-org.kde.dolphin@x.service");
    session.manager.addStartingUnit(dolphin);
    // Its cgroup asked for (the manager's, the terminals', its own): none yet.
    ASSERT_TRUE(
        waitUntil([&] { return session.manager.calls().count(QStringLiteral("Get")) == 4; }));
    session.manager.finishStart(dolphin, {31});
    ASSERT_TRUE(waitUntil([&] {
        return session.names() == QStringList({"org.gnome.Terminal", "org.kde.dolphin"});
    }));

    session.manager.removeUnit(terminal1);
    ASSERT_TRUE(waitUntil([&] { return scopeCount() == 1; }));
    session.manager.removeUnit(terminal2);
    ASSERT_TRUE(waitUntil([&] { return session.names() == QStringList{"org.kde.dolphin"}; }));
    EXPECT_EQ(changes, 5);
}

TEST(RunningApplicationsTest, AStoppedListAsksTheUserManagerNothing) {
    UserManagerSession session;
    session.manager.subscribeAnotherClient();
    session.manager.addUnit(QStringLiteral("app-a-1.scope"), {1});
    ASSERT_TRUE(session.startAndLoad());
    session.running.stop();
    EXPECT_FALSE(session.running.isLoaded());
    EXPECT_TRUE(session.running.applications().isEmpty());
    ASSERT_TRUE(waitUntil([&] { return session.manager.calls().last() == "Unsubscribe"; }));

    const qsizetype asked = session.manager.calls().size();
    session.manager.addUnit(QStringLiteral("app-b-2.scope"), {2});
    session.manager.addStartingUnit(QStringLiteral("app-c-3.scope"));
    session.manager.finishStart(QStringLiteral("app-c-3.scope"), {3});
    session.manager.removeUnit(QStringLiteral("app-a-1.scope"));
    waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(session.manager.calls().size(), asked)
        << session.manager.calls().join(u' ').toStdString();
    EXPECT_TRUE(session.running.applications().isEmpty());

    ASSERT_TRUE(session.startAndLoad());
    EXPECT_EQ(session.names(), QStringList({"b", "c"}));
}

TEST(RunningApplicationsTest, ADesktopThatKeepsItsApplicationsInTheSessionScopeIsToldApart) {
    UserManagerSession session;
    session.own(QStringLiteral("self"), "cgroup",
                "0::/user.slice/user-1000.slice/session-2.scope\n");
    ASSERT_TRUE(session.startAndLoad());
    EXPECT_TRUE(session.running.sharesSessionScope());
    // One launched throttled has a scope of its own all the same.
    session.manager.addUnit(QStringLiteral("app-veltrane-editor-5.scope"), {5});
    ASSERT_TRUE(waitUntil([&] { return !session.running.applications().isEmpty(); }));
    EXPECT_FALSE(session.running.sharesSessionScope());

    // A desktop that gives applications scopes may merely run none but this one.
    UserManagerSession appScopes;
    appScopes.own(QStringLiteral("self"), "cgroup",
                  "0::/" + inApps("app-gnome-com.veltrane.Veltrane-3.scope").toUtf8() + '\n');
    ASSERT_TRUE(appScopes.startAndLoad());
    EXPECT_FALSE(appScopes.running.sharesSessionScope());
}

TEST(RunningApplicationsTest, WithoutASessionBusOrAUserManagerTheErrorSaysWhich) {
    const auto errorOf = [](QDBusConnection bus) {
        SystemdUserUnits units(std::move(bus));
        RunningApplications running(units, DesktopEntries({}, QStringLiteral("C")),
                                    ProcessCgroups());
        running.start();
        waitUntil([&] { return !running.errorText().isEmpty(); });
        return running.errorText();
    };
    EXPECT_TRUE(errorOf(QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                                      QStringLiteral("nowhere")))
                    .contains(QStringLiteral("no session bus")));
    PrivateBus empty{QList<PrivateBus::Service>{}};
    EXPECT_TRUE(errorOf(empty.connect(QStringLiteral("panel-without-manager")))
                    .contains(QStringLiteral("user manager does not run")));

    UserManagerSession session;
    session.manager.addUnit(QStringLiteral("app-a-1.scope"), {1});
    ASSERT_TRUE(session.startAndLoad());
    session.manager.leave();
    ASSERT_TRUE(waitUntil([&] { return !session.running.errorText().isEmpty(); }));
    EXPECT_TRUE(session.running.errorText().contains(QStringLiteral("left the session bus")));
    EXPECT_TRUE(session.running.applications().isEmpty());
}

} // namespace
