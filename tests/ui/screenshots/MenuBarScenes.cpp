// SPDX-License-Identifier: MIT
#include "ApplyPreconditions.h"
#include "Scenes.h"
#include "SettingsKeys.h"
#include "UiWorld.h"
#include "ViewHarness.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <string>

namespace {

// The panel over a world that `arrange` has put into the scene's state.
void panelScene(const QString& name,
                const std::function<void(UiWorld&, MenuBarViewModel&)>& arrange) {
    scenes().emplace(name, [arrange] {
        UiWorld world;
        const auto panel = world.panel();
        arrange(world, *panel);
        return ViewHarness("MenuBarView", panel.get()).grab();
    });
}

const bool menuBarScenesRegistered = [] {
    panelScene("panel-off", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("3G"));
    });
    panelScene("panel-on-3g-lossy", [](UiWorld& world, MenuBarViewModel& panel) {
        world.defaults.setValue(SettingsKeys::autoDisableEnabled, true);
        world.defaults.setValue(SettingsKeys::autoDisableMinutes, 5);
        panel.selectProfile(world.named("3G (Lossy)"));
        panel.handleToggle(true);
        world.now = world.now.addSecs(65);
    });
    // The longest conditions and a clock past ten hours stay on one line.
    panelScene("panel-on-long-line", [](UiWorld& world, MenuBarViewModel& panel) {
        world.defaults.setValue(SettingsKeys::autoDisableEnabled, true);
        world.defaults.setValue(SettingsKeys::autoDisableMinutes, 720);
        panel.selectProfile(world.named("Very Bad Network"));
        panel.handleToggle(true);
        world.now = world.now.addSecs(36'061);
    });
    // The live figures at their widest: a rate past a megabit, thousands
    // dropped, a queue of seconds, and an unlimited upload told in packets.
    panelScene("panel-on-live-figures", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("Very Bad Network"));
        panel.handleToggle(true);
        world.now = world.now.addSecs(65);
        const auto readAt = [&](quint64 takenAtMs, quint64 downloadBytes) {
            world.helper.statistics = {
                true, takenAtMs,
                DirectionStatistics{.bytes = downloadBytes, .dropped = 12'345, .queueMs = 2'480},
                DirectionStatistics{.bytes = downloadBytes / 9, .queuedPackets = 11'082}};
            panel.liveStatistics()->refresh();
        };
        readAt(10'000, 1'000'000);
        readAt(11'000, 1'153'750);
    });
    // A profile for some destinations says so in its row and its line.
    panelScene("panel-on-scoped", [](UiWorld& world, MenuBarViewModel& panel) {
        ThrottleProfile api(QUuid::createUuid(), "Slow API", Bandwidth{780, BandwidthUnit::kbps},
                            Bandwidth{330, BandwidthUnit::kbps}, 100, {}, {}, false, true);
        std::string ignored;
        for (const char* text : {"api.example.com", ":443", "10.0.0.0/8"}) {
            api.destinations.push_back(*Destination::parse(text, ignored));
        }
        world.profiles.createProfile(api);
        panel.selectProfile(api);
        panel.handleToggle(true);
        world.now = world.now.addSecs(65);
    });
    panelScene("panel-on-other-owner", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("LTE"));
        world.service.followProfiles(world.profiles);
        world.helper.takenBy(FakeHelperClient::ownerOf("veltranectl run: make test", true, false),
                             *ApplyPreconditions::parametersOf(world.named("3G")));
        world.now = world.now.addSecs(65);
    });
    // The application's own whole-machine throttle and two scoped ones of
    // other clients, each with its Stop.
    panelScene("panel-on-several", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("3G"));
        panel.handleToggle(true);
        world.startElsewhere("veltranectl apply: Edge", {30'000, 15'000, 400, 0, 0},
                             {"api.example.com:443"});
        world.startElsewhere(
            "veltranectl apply: Very Bad Network", {12'500, 12'500, 500, 10, 0},
            {"10.0.0.0/8", ":5432", "[2001:db8::1]:8443", "staging.internal.example.org"});
        world.now = world.now.addSecs(65);
    });
    // The running applications to throttle one of, searched by nothing yet.
    panelScene("panel-applications", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("3G"));
        world.runApplication("org.gnome.Terminal", "Terminal", "utilities-terminal");
        world.runApplication("org.mozilla.firefox", "Firefox Web Browser", "firefox");
        world.runApplication("org.mozilla.firefox", "Firefox Web Browser", "firefox", 2);
        world.runApplication("com.slack.Slack", "Slack");
        world.runApplication("org.example.VeryLongApplicationNameThatGoesOn",
                             "A Very Long Application Name That Goes On and On");
        panel.applications()->openPicker();
    });
    // A desktop that starts every application in the session's scope.
    panelScene("panel-applications-shared", [](UiWorld& world, MenuBarViewModel& panel) {
        QDir().mkpath(world.home.filePath("proc/self"));
        QFile cgroup(world.home.filePath("proc/self/cgroup"));
        if (cgroup.open(QIODevice::WriteOnly)) {
            cgroup.write("0::/user.slice/user-1000.slice/session-2.scope\n");
        }
        cgroup.close();
        panel.applications()->openPicker();
    });
    // One application's throttle beside the machine's, each with its rates.
    panelScene("panel-on-application", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("Edge"));
        panel.handleToggle(true);
        world.runApplication("com.slack.Slack", "Slack");
        // A profile for one application says which in its row.
        ThrottleProfile forSlack(QUuid::createUuid(), "Slack on a Train",
                                 Bandwidth{500, BandwidthUnit::kbps}, std::nullopt, 300,
                                 std::nullopt, std::nullopt, false, true);
        forSlack.application = "com.slack.Slack";
        world.profiles.createProfile(forSlack);
        ThrottleProfile slack = world.named("3G");
        slack.application = "com.slack.Slack";
        world.service.applyProfile(slack);
        world.helper.throttles.back().scope.cgroups = {
            "user.slice/app-gnome-com.slack.Slack-1.scope"};
        world.helper.publish();
        world.now = world.now.addSecs(65);
        const quint64 machine = world.helper.throttles.front().id;
        const quint64 application = world.helper.throttles.back().id;
        const auto readAt = [&](quint64 takenAtMs, quint64 bytes) {
            const DirectionStatistics down{.bytes = bytes};
            const DirectionStatistics up{.bytes = bytes / 4};
            world.helper.statistics = {
                true,
                takenAtMs,
                down,
                up,
                {{machine, down, up}, {application, DirectionStatistics{.bytes = bytes / 3}, up}}};
            panel.liveStatistics()->refresh();
        };
        readAt(10'000, 1'000'000);
        readAt(11'000, 1'030'000);
    });
    // A schedule in its outage, and a recorded link further on.
    panelScene("panel-on-schedule", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("Commuter Train"));
        panel.handleToggle(true);
        const std::int64_t startedAt = world.now.toMSecsSinceEpoch();
        world.helper.throttles[0].schedule = {startedAt,          1,    3,    "Outage",
                                              startedAt + 46'000, true, false};
        world.helper.publish();
        world.now = world.now.addMSecs(42'000);
        panel.scheduleStanding()->tick();
    });
    panelScene("panel-on-trace", [](UiWorld& world, MenuBarViewModel& panel) {
        ThrottleProfile drive(QUuid::createUuid(), "Recorded drive",
                              Bandwidth{10, BandwidthUnit::mbps}, Bandwidth{2, BandwidthUnit::mbps},
                              60, {}, {}, false, true);
        drive.schedule.trace.stepMs = 100;
        for (int step = 0; step < 1'200; ++step) {
            drive.schedule.trace.downloadBytesPerSecond.push_back(
                step % 300 < 40 ? 0 : 200'000 + step % 300 * 2'000);
        }
        world.profiles.createProfile(drive);
        panel.selectProfile(drive);
        panel.handleToggle(true);
        const std::int64_t startedAt = world.now.toMSecsSinceEpoch();
        world.helper.throttles[0].schedule = {startedAt, 0, 1, {}, std::nullopt, true, true};
        world.helper.publish();
        world.now = world.now.addMSecs(70'000);
        panel.scheduleStanding()->tick();
    });
    panelScene("panel-helper-warning", [](UiWorld& world, MenuBarViewModel& panel) {
        world.registration.status = ServiceStatus::notRegistered;
        panel.appear();
    });
    panelScene("panel-helper-no-system-bus", [](UiWorld& world, MenuBarViewModel& panel) {
        world.registration.status = ServiceStatus::busUnreachable;
        panel.appear();
    });
    panelScene("panel-error", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("Edge"));
        world.helper.nextFailure =
            std::make_exception_ptr(ThrottleError::helperError("dnctl exited with status 1"));
        panel.handleToggle(true);
    });
    panelScene("panel-loss-confirmation", [](UiWorld& world, MenuBarViewModel& panel) {
        panel.selectProfile(world.named("100% Loss"));
        panel.handleToggle(true);
    });
    panelScene("panel-custom-profiles", [](UiWorld& world, MenuBarViewModel& panel) {
        const QString longName = "Conference hotel Wi-Fi on the fourth floor, late at night B";
        for (const QString& name : QStringList{"Airport", "Bus", "Cafe", "Dorm", "Elevator",
                                               "Ferry", "Garage", longName}) {
            world.addCustom(name);
        }
        panel.selectProfile(world.named(longName));
        panel.handleToggle(true);
    });
    // A desktop without a tray: the panel as an ordinary window on a
    // 1366x768 screen, as tall as the screen leaves room for.
    scenes().emplace("panel-no-tray-window", [] {
        UiWorld world;
        for (int i = 1; i <= 12; ++i) {
            world.addCustom(QStringLiteral("Site %1").arg(i));
        }
        const auto panel = world.panel();
        panel->selectProfile(world.named("3G"));
        return ViewHarness("MenuBarView", {{"viewModel", QVariant::fromValue(panel.get())},
                                           {"maximumHeight", 768 - 120}})
            .grab();
    });
    return true;
}();

} // namespace
