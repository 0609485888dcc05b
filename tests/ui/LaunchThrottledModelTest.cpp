// SPDX-License-Identifier: MIT
#include "LaunchThrottledModel.h"

#include "ThrottleError.h"
#include "UserManagerSession.h"

#include <QCoro/QCoroTimer>
#include <QFile>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>

namespace {

using namespace std::chrono_literals;

// The panel's side of a launch: what it was asked to switch on, and what
// the launched program had done by then.
struct FakeThrottler {
    QStringList calls;
    // Whether the program's marker file existed when the throttle was switched on.
    bool ranBeforeThrottle = false;
    QString marker;
    std::optional<ThrottleError> failure;
    std::optional<ThrottleError> endFailure;
    // The switch-on waits until this is true, as one waiting for a password.
    bool holdSwitchOn = false;

    QCoro::Task<quint64> switchOn(QString call) {
        calls << call;
        ranBeforeThrottle = QFile::exists(marker);
        while (holdSwitchOn) {
            co_await QCoro::sleepFor(10ms);
        }
        // Long enough for a program let go too early to have run.
        co_await QCoro::sleepFor(100ms);
        if (failure) {
            throw *failure;
        }
        co_return quint64(7);
    }
    QCoro::Task<> end(quint64 id) {
        calls << QStringLiteral("end %1").arg(id);
        if (endFailure) {
            throw *endFailure;
        }
        co_return;
    }
    LaunchThrottler functions() {
        return {[this](QString id) { return switchOn("application " + id); },
                [this](QString cgroup, QString line) {
                    return switchOn("command " + cgroup + " | " + line);
                },
                [this](quint64 id) { return end(id); }};
    }
};

struct Launcher {
    UserManagerSession session;
    FakeThrottler throttler;
    std::unique_ptr<LaunchThrottledModel> model = std::make_unique<LaunchThrottledModel>(
        session.units, DesktopEntries({session.applications}, QStringLiteral("C")),
        ProcessCgroups(session.proc, QString()), throttler.functions());

    Launcher() { throttler.marker = session.files.filePath(QStringLiteral("it ran")); }

    void install(const QString& id, const QByteArray& name, const QByteArray& exec) {
        writeFile(session.applications + u'/' + id + QStringLiteral(".desktop"),
                  "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + '\n');
    }
    // The marker as a command line takes it: a space in its path, quoted.
    QString touchMarker() const { return QStringLiteral("touch \"%1\"").arg(throttler.marker); }
    bool ran() const { return QFile::exists(throttler.marker); }
    QStringList shown() const {
        QStringList rows;
        for (int row = 0; row < model->rowCount(); ++row) {
            rows << model->index(row).data(LaunchThrottledModel::NameRole).toString() + " | " +
                        model->index(row).data(LaunchThrottledModel::DetailRole).toString();
        }
        return rows;
    }
    bool settled() const {
        return waitUntil([this] { return !model->isLaunching(); }, 10s);
    }
    // The one scope started, which names the held process.
    qint64 heldPid() const {
        const auto started = session.manager.startedScopes();
        return started.isEmpty() ? 0 : started.first().value(0);
    }
};

// The throttle is switched on while the program waits in its scope, and
// only then does it run: an application throttled by its desktop id, a
// typed command by the cgroup of its own scope.
TEST(LaunchThrottledModelTest, EachLaunchRunsItsProgramOnlyOnceItsThrottleIsOn) {
    Launcher launcher;
    launcher.install(QStringLiteral("my-tool"), "My Tool", launcher.touchMarker().toUtf8());
    launcher.model->setProfileName(QStringLiteral("3G"));
    EXPECT_EQ(launcher.model->profileText(), "Throttled with 3G");
    launcher.model->open();
    QSignalSpy launched(launcher.model.get(), &LaunchThrottledModel::launched);

    launcher.model->launchApplication(0);
    ASSERT_TRUE(launcher.settled());
    EXPECT_EQ(launcher.model->errorText(), "");
    EXPECT_EQ(launcher.throttler.calls, QStringList{"application my-tool"});
    EXPECT_FALSE(launcher.throttler.ranBeforeThrottle);
    EXPECT_EQ(launcher.session.manager.startedScopes().firstKey(),
              QStringLiteral(R"(app-veltrane-my\x2dtool-%1.scope)").arg(launcher.heldPid()));
    EXPECT_TRUE(waitUntil([&] { return launcher.ran(); }));
    ASSERT_EQ(launched.size(), 1);
    EXPECT_EQ(launched.first().first(), "My Tool");
    EXPECT_FALSE(launcher.model->isOpen());

    QFile::remove(launcher.throttler.marker);
    launcher.throttler.calls.clear();
    launcher.model->open();
    launcher.model->setCommandText(launcher.touchMarker());
    launcher.model->launchCommand();
    ASSERT_TRUE(launcher.settled());
    EXPECT_EQ(launcher.model->errorText(), "");
    const QString unit = launcher.session.manager.startedScopes().lastKey();
    EXPECT_TRUE(unit.startsWith("veltrane-launch-")) << unit.toStdString();
    EXPECT_EQ(launcher.throttler.calls, QStringList{"command " + FakeUserManager::appCgroup(unit) +
                                                    " | " + launcher.touchMarker()});
    EXPECT_FALSE(launcher.throttler.ranBeforeThrottle);
    EXPECT_TRUE(waitUntil([&] { return launcher.ran(); }));
    ASSERT_EQ(launched.size(), 2);
    EXPECT_EQ(launched.last().first(), "touch");
}

// A launch either runs its program throttled or leaves nothing: no program
// when the throttle failed, no throttle when the program could not run.
TEST(LaunchThrottledModelTest, AFailedLaunchLeavesNothingBehindAndSaysWhy) {
    Launcher launcher;
    launcher.install(QStringLiteral("my-tool"), "My Tool", launcher.touchMarker().toUtf8());
    launcher.model->open();
    QSignalSpy launched(launcher.model.get(), &LaunchThrottledModel::launched);

    launcher.throttler.failure = ThrottleError::helperError("no shaping here");
    launcher.model->launchApplication(0);
    ASSERT_TRUE(launcher.settled());
    EXPECT_EQ(launcher.model->errorText(),
              "My Tool was not started: Helper error: no shaping here");
    EXPECT_TRUE(waitUntil([&] { return !processAlive(launcher.heldPid()); }));
    EXPECT_FALSE(launcher.ran());
    EXPECT_TRUE(launcher.model->isOpen());

    // Found and executable, but no program the kernel can run.
    launcher.throttler.failure.reset();
    launcher.throttler.calls.clear();
    const QString broken = launcher.session.files.filePath(QStringLiteral("broken"));
    writeFile(broken, "not a program\n");
    QFile::setPermissions(broken, QFile::ReadOwner | QFile::ExeOwner);
    launcher.model->setCommandText(broken);
    launcher.model->launchCommand();
    ASSERT_TRUE(launcher.settled());
    EXPECT_EQ(launcher.model->errorText(),
              QStringLiteral("Cannot run %1: Exec format error").arg(broken));
    ASSERT_EQ(launcher.throttler.calls.size(), 2);
    EXPECT_EQ(launcher.throttler.calls.last(), "end 7");

    launcher.throttler.endFailure = ThrottleError::helperCommunicationFailed("gone");
    launcher.model->launchCommand();
    ASSERT_TRUE(launcher.settled());
    EXPECT_TRUE(
        launcher.model->errorText().endsWith("Its throttle could not be ended and is still on: " +
                                             launcher.throttler.endFailure->description()))
        << launcher.model->errorText().toStdString();
    EXPECT_EQ(launched.size(), 0);
}

TEST(LaunchThrottledModelTest, ATypedCommandThatCannotBeRunIsRefusedBeforeAnythingStarts) {
    Launcher launcher;
    launcher.model->open();
    const struct {
        const char* line;
        const char* error;
    } cases[] = {
        {"   ", "Type a command to run"},
        {"no-such-program-here --now", "There is no program no-such-program-here on PATH"},
        {"./build/tool", "./build/tool is not a full path: give the program's path from /, or "
                         "the name of one on PATH"},
        {"/no/such/tool", "/no/such/tool is not a program that can be run"},
        {"curl example.org | sh",
         "\u201c|\u201d is a shell's, and the command runs without one: quote it, or run sh -c "
         "'\u2026'"},
        {"echo \"unclosed", "The command has a quote that is not closed"},
    };
    for (const auto& each : cases) {
        launcher.model->setCommandText(QString::fromUtf8(each.line));
        launcher.model->launchCommand();
        ASSERT_TRUE(launcher.settled());
        EXPECT_EQ(launcher.model->errorText(), QString::fromUtf8(each.error)) << each.line;
    }
    EXPECT_TRUE(launcher.throttler.calls.isEmpty());
    EXPECT_TRUE(launcher.session.manager.startedScopes().isEmpty());
}

// Read only while open, searched by name or desktop id whatever the case.
TEST(LaunchThrottledModelTest, TheInstalledApplicationsAreSearchedWhileOpenOnly) {
    Launcher launcher;
    launcher.install(QStringLiteral("org.gnome.Terminal"), "Terminal", "gnome-terminal");
    launcher.install(QStringLiteral("org.example.Editor"), "Editor", "editor %F");
    launcher.install(QStringLiteral("firefox"), "Firefox Web Browser", "firefox %u");
    EXPECT_EQ(launcher.model->rowCount(), 0);
    launcher.model->open();
    EXPECT_EQ(launcher.shown(),
              (QStringList{"Editor | org.example.Editor", "Firefox Web Browser | firefox",
                           "Terminal | org.gnome.Terminal"}));

    launcher.model->setSearchText(QStringLiteral(" GNOME "));
    EXPECT_EQ(launcher.shown(), QStringList{"Terminal | org.gnome.Terminal"});
    launcher.model->setSearchText(QStringLiteral("web"));
    EXPECT_EQ(launcher.shown(), QStringList{"Firefox Web Browser | firefox"});
    launcher.model->setSearchText(QStringLiteral("zzz"));
    EXPECT_EQ(launcher.model->notice(), "No installed application matches \u201czzz\u201d.");

    launcher.model->close();
    EXPECT_EQ(launcher.model->rowCount(), 0);
    EXPECT_EQ(launcher.model->searchText(), "");
    EXPECT_EQ(launcher.model->notice(), "");
}

// One launch at a time; a model that goes while one waits for its
// throttle lets the held program go unrun, and nothing touches it after.
TEST(LaunchThrottledModelTest, ALaunchUnderWayRefusesAnotherAndOutlivesNoModel) {
    Launcher launcher;
    launcher.install(QStringLiteral("my-tool"), "My Tool", launcher.touchMarker().toUtf8());
    launcher.model->open();
    launcher.throttler.holdSwitchOn = true;
    launcher.model->launchApplication(0);
    ASSERT_TRUE(waitUntil([&] { return !launcher.throttler.calls.isEmpty(); }, 10s));
    launcher.model->launchApplication(0);
    launcher.model->setCommandText(launcher.touchMarker());
    launcher.model->launchCommand();
    launcher.model->close();
    EXPECT_TRUE(launcher.model->isLaunching());

    launcher.model.reset();
    launcher.throttler.holdSwitchOn = false;
    EXPECT_TRUE(waitUntil([&] { return !processAlive(launcher.heldPid()); }));
    // Time for the switch-on to end and anything after it to go wrong.
    waitUntil([] { return false; }, 300ms);
    EXPECT_EQ(launcher.throttler.calls, QStringList{"application my-tool"});
    EXPECT_FALSE(launcher.ran());
}

} // namespace
