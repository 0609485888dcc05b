// SPDX-License-Identifier: MIT
#include "ApplyPreconditions.h"
#include "NotificationNames.h"
#include "SettingsKeys.h"
#include "UiWorld.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

QString storedSelection(const UiWorld& world) {
    return world.defaults.stringValue(SettingsKeys::selectedProfileID);
}

class MenuBarViewModelTest : public testing::Test {
protected:
    UiWorld world;
    std::unique_ptr<MenuBarViewModel> panel = world.panel();
    const ThrottleProfile totalLoss = world.named("100% Loss");
    const ThrottleProfile threeG = world.named("3G");
};

TEST_F(MenuBarViewModelTest, SwitchingOnAppliesTheSelectionAndRemembersItOnlyOnSuccess) {
    panel->selectProfile(threeG);
    EXPECT_THAT(world.helper.enables, IsEmpty());
    EXPECT_EQ(panel->statusText(), "Selected: 3G");
    EXPECT_EQ(storedSelection(world), ThrottleProfile::idText(threeG.id()));
    world.defaults.remove(SettingsKeys::selectedProfileID);

    world.helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("pf is busy"));
    panel->handleToggle(true);
    EXPECT_TRUE(panel->showingError());
    EXPECT_EQ(panel->errorMessage(), "Helper error: pf is busy");
    EXPECT_EQ(panel->stateErrorText(), "Helper error: pf is busy");
    EXPECT_FALSE(panel->isEnabled());
    EXPECT_EQ(storedSelection(world), QString());
    panel->dismissError();
    EXPECT_FALSE(panel->showingError());

    panel->handleToggle(true);
    EXPECT_TRUE(panel->isEnabled());
    EXPECT_FALSE(panel->showsStateError());
    EXPECT_EQ(panel->titleText(), "Throttling: ON");
    EXPECT_EQ(panel->statusText(), "Active: 3G");
    EXPECT_EQ(storedSelection(world), ThrottleProfile::idText(threeG.id()));
    EXPECT_FALSE(panel->isLoading());

    panel->handleToggle(false);
    EXPECT_EQ(world.helper.disables, 1);
    EXPECT_EQ(panel->titleText(), "Throttling: OFF");
    EXPECT_EQ(panel->statusText(), "Selected: 3G");
}

TEST_F(MenuBarViewModelTest, OnlyTotalLossAsksBeforeItIsApplied) {
    // Nothing selected: the first profile of the list is the candidate, and
    // it blocks all traffic.
    panel->handleToggle(true);
    EXPECT_TRUE(panel->showingDestructiveProfileConfirmation());
    EXPECT_EQ(panel->pendingDestructiveProfile(), totalLoss);
    EXPECT_FALSE(panel->isLoading());
    panel->cancelDestructiveProfile();
    EXPECT_FALSE(panel->showingDestructiveProfileConfirmation());
    EXPECT_EQ(panel->pendingDestructiveProfile(), std::nullopt);
    EXPECT_THAT(world.helper.enables, IsEmpty());
    EXPECT_FALSE(panel->isEnabled());

    // "Enable" from the switch switches on with it.
    panel->handleToggle(true);
    panel->confirmDestructiveProfile();
    EXPECT_EQ(world.service.state().currentProfile, totalLoss);
    EXPECT_EQ(storedSelection(world), ThrottleProfile::idText(totalLoss.id()));

    // From a row while on: ask, then switch over.
    panel->selectProfile(threeG);
    panel->selectProfile(totalLoss);
    EXPECT_TRUE(panel->showingDestructiveProfileConfirmation());
    EXPECT_EQ(world.service.state().currentProfile, threeG);
    panel->confirmDestructiveProfile();
    EXPECT_EQ(world.service.state().currentProfile, totalLoss);
    EXPECT_EQ(world.helper.enables.size(), 3u);

    // While off a row only selects; just under 100% never asks.
    panel->handleToggle(false);
    panel->selectProfile(totalLoss);
    EXPECT_FALSE(panel->showingDestructiveProfileConfirmation());
    const ThrottleProfile almost(QUuid::createUuid(), "Almost", {}, {}, {}, 99.9, {}, false, true);
    panel->selectProfile(almost);
    panel->handleToggle(true);
    EXPECT_FALSE(panel->showingDestructiveProfileConfirmation());
    EXPECT_EQ(world.service.state().currentProfile, almost);
}

TEST(MenuBarViewModel, SwitchingOnWithoutAnyProfileSaysSoAndStaysOff) {
    UiWorld world;
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        world.profiles.deleteProfile(profile);
    }
    const auto panel = world.panel();
    panel->handleToggle(true);
    EXPECT_TRUE(panel->showingError());
    EXPECT_EQ(panel->errorMessage(), "No profile available to apply");
    EXPECT_FALSE(panel->isLoading());
    EXPECT_FALSE(panel->isEnabled());
    EXPECT_EQ(panel->statusText(), "No profile selected");
}

TEST(MenuBarViewModel, StaysLoadingWhileAnyOperationIsInFlightAndFinishesWithoutThePanel) {
    UiWorld world;
    world.helper.gated = true;
    auto panel = world.panel();
    const ThrottleProfile edge = world.named("Edge");
    panel->selectProfile(edge);
    panel->handleToggle(true);
    EXPECT_TRUE(panel->isLoading());
    EXPECT_TRUE(panel->isToggleDisabled());

    // Rows stay live: a second selection is recorded at once, and the
    // panel stays dimmed until the first operation has ended too.
    const ThrottleProfile threeG = world.named("3G");
    panel->selectProfile(threeG);
    EXPECT_EQ(world.service.state().selectedProfile, threeG);
    EXPECT_TRUE(panel->isLoading());
    world.helper.release();
    EXPECT_FALSE(panel->isLoading());
    EXPECT_EQ(world.service.state().currentProfile, edge);

    // The panel closes while a switch-over still waits for the helper.
    panel->selectProfile(threeG);
    world.defaults.remove(SettingsKeys::selectedProfileID);
    panel.reset();
    world.helper.release();
    EXPECT_EQ(world.service.state().currentProfile, threeG);
    EXPECT_EQ(storedSelection(world), ThrottleProfile::idText(threeG.id()));
}

TEST_F(MenuBarViewModelTest, OnlyAHelperTheSystemLacksDisablesTheSwitch) {
    world.helper.nextFailure =
        std::make_exception_ptr(ThrottleError::helperCommunicationFailed("timed out"));
    panel->appear();
    EXPECT_TRUE(panel->helperWarning()->isShown());
    EXPECT_FALSE(panel->isToggleDisabled()) << "a silent helper may still answer a switch";
    world.registration.status = ServiceStatus::notFound;
    panel->appear();
    EXPECT_TRUE(panel->isToggleDisabled());
}

TEST_F(MenuBarViewModelTest, OnlyACustomProfileOpensInTheEditorWithADeleteAction) {
    // Opening and saving are the view's and the editor's tests' business.
    const ThrottleProfile custom = world.addCustom("Cafe");
    panel->editProfile(ThrottleProfile::idText(custom.id()));
    world.editorState.onDelete()(custom);
    EXPECT_EQ(world.profiles.profile(custom.id()), std::nullopt);

    // Built-in profiles are never deleted from the editor.
    panel->editProfile(threeG);
    EXPECT_FALSE(world.editorState.onDelete());
}

TEST(MenuBarViewModel, ShowsAnotherClientsThrottlingWithItsOwnerAndWhatItsCleanUpLeft) {
    UiWorld world;
    const auto panel = world.panel();
    world.helper.takenBy(FakeHelperClient::ownerOf("veltranectl run: make test", true, false));
    EXPECT_EQ(panel->titleText(), "Throttling: ON");
    EXPECT_EQ(panel->statusText(), "On — veltranectl run: make test");
    world.helper.failure = "Could not remove all shaping: tc hung";
    world.helper.publish();
    EXPECT_TRUE(panel->showsStateError());
    EXPECT_EQ(panel->stateErrorText(), "Could not remove all shaping: tc hung");
}

TEST(CompactStatsLine, SummarisesTheRunningProfileWithTheElapsedTime) {
    const auto custom = [](std::optional<Bandwidth> down, std::optional<std::int64_t> latency,
                           std::optional<double> loss, std::optional<std::int64_t> dns) {
        return ThrottleProfile(QUuid::createUuid(), "P", down, {}, latency, loss, dns, false, true);
    };
    for (const auto& [profile, text] : std::initializer_list<std::pair<ThrottleProfile, QString>>{
             {preset("3G (Lossy)"), "780 Kbps ↓ · 330 Kbps ↑ · +100ms · 1% · 1:05"},
             {preset("100% Loss"), "Unlimited ↓ · Unlimited ↑ · 100% · 1:05"},
             {custom({}, {}, {}, 3000), "Unlimited ↓ · Unlimited ↑ · 1:05"},
             {custom(Bandwidth{5, BandwidthUnit::mbps}, 0, 0.0, {}),
              "5 Mbps ↓ · Unlimited ↑ · 1:05"},
             {custom({}, 1, 2.5, {}), "Unlimited ↓ · Unlimited ↑ · +1ms · 2.5% · 1:05"}}) {
        EXPECT_EQ(CompactStatsLineModel::statsString(profile, "1:05"), text);
    }
    // The short form a narrow line falls back to.
    EXPECT_EQ(CompactStatsLineModel::conditionsString(preset("3G (Lossy)"),
                                                      CompactStatsLineModel::Length::narrow),
              "780K ↓ · 330K ↑ · +100ms · 1%");
    EXPECT_EQ(CompactStatsLineModel::conditionsString(
                  custom(Bandwidth{5, BandwidthUnit::mbps}, {}, {}, {}),
                  CompactStatsLineModel::Length::narrow),
              "5M ↓ · ∞ ↑");
    ThrottleProfile scoped = preset("3G");
    std::string ignored;
    for (const char* text : {"api.example.com", ":443", "10.0.0.0/8", "[2001:db8::1]:8443"}) {
        scoped.destinations.push_back(*Destination::parse(text, ignored));
    }
    EXPECT_EQ(CompactStatsLineModel::statsString(scoped, "0:01"),
              "780 Kbps ↓ · 330 Kbps ↑ · +100ms · only to api.example.com, :443 and 2 more · 0:01");
    EXPECT_EQ(
        CompactStatsLineModel::conditionsString(scoped, CompactStatsLineModel::Length::narrow),
        "780K ↓ · 330K ↑ · +100ms · only to api.example.com +3");
    EXPECT_EQ(
        CompactStatsLineModel::conditionsString(scoped, CompactStatsLineModel::Length::shortest),
        "780K ↓ · 330K ↑ · +100ms");

    UiWorld world;
    const auto panel = world.panel();
    CompactStatsLineModel& line = *panel->statsLine();
    EXPECT_EQ(line.text(), QString());
    panel->selectProfile(world.named("3G (Lossy)"));
    panel->handleToggle(true);
    EXPECT_EQ(line.text(), "780 Kbps ↓ · 330 Kbps ↑ · +100ms · 1% · 0:00");
    EXPECT_EQ(line.conditions(), QString("780 Kbps ↓ · 330 Kbps ↑ · +100ms · 1%") + QChar(0x9c) +
                                     "780K ↓ · 330K ↑ · +100ms · 1%");
    for (const auto& [seconds, shown] : std::initializer_list<std::pair<int, const char*>>{
             {65, "1:05"}, {3599, "59:59"}, {3600, "1:00:00"}, {36'061, "10:01:01"}}) {
        world.now = world.service.state().enabledAt->addMSecs(seconds * 1000 + 999);
        line.updateDuration();
        EXPECT_EQ(line.displayDuration(), shown) << seconds;
    }
    // A re-apply starts the time again.
    panel->selectProfile(world.named("Edge"));
    EXPECT_EQ(line.text(), "240 Kbps ↓ · 200 Kbps ↑ · +400ms · 0:00");

    // A profile of phases: the phase's conditions, as the helper says which.
    panel->selectProfile(world.named("Commuter Train"));
    ScheduleDictionary::Standing standing;
    standing.phase = 1;
    standing.phaseCount = 3;
    world.helper.throttles.back().schedule = standing;
    world.helper.publish();
    EXPECT_EQ(line.text(), "Unlimited ↓ · Unlimited ↑ · 100% · 0:00");
    standing.phase = 2;
    world.helper.throttles.back().schedule = standing;
    world.helper.publish();
    EXPECT_EQ(line.text(), "780 Kbps ↓ · 330 Kbps ↑ · +100ms · 0:00");
}

TEST(AutoOffCountdown, CountsDownTheAutoDisableMinutesAndHidesAtZero) {
    UiWorld world;
    const auto panel = world.panel();
    AutoOffCountdownModel& countdown = *panel->countdown();
    EXPECT_EQ(countdown.remainingText(), "--:--");
    panel->selectProfile(world.named("3G"));
    panel->handleToggle(true);
    const QDateTime enabledAt = *world.service.state().enabledAt;

    // Off by default: never shown.
    countdown.appear();
    EXPECT_FALSE(countdown.isShown());

    world.defaults.setValue(SettingsKeys::autoDisableEnabled, true);
    world.defaults.setValue(SettingsKeys::autoDisableMinutes, 5);
    world.notifications.post(NotificationName::autoDisableSettingChanged,
                             {{"enabled", true}, {"minutes", 5}});
    EXPECT_TRUE(countdown.isShown());
    EXPECT_EQ(countdown.text(), "Auto-off in 5:00");
    world.now = enabledAt.addMSecs(1500);
    countdown.updateRemaining();
    EXPECT_EQ(countdown.text(), "Auto-off in 4:58");

    // A new duration shows at once, minutes never folded into hours.
    world.defaults.setValue(SettingsKeys::autoDisableMinutes, 120);
    world.notifications.post(NotificationName::autoDisableSettingChanged,
                             {{"enabled", true}, {"minutes", 120}});
    EXPECT_EQ(countdown.remainingText(), "119:58");

    world.defaults.setValue(SettingsKeys::autoDisableMinutes, 5);
    world.now = enabledAt.addSecs(300);
    countdown.updateRemaining();
    EXPECT_FALSE(countdown.isShown());
    world.now = enabledAt.addSecs(10);
    countdown.updateRemaining();
    EXPECT_FALSE(countdown.isShown());
    // The next appearance starts afresh.
    countdown.appear();
    EXPECT_TRUE(countdown.isShown());
    EXPECT_EQ(countdown.remainingText(), "4:50");
    // Another client's throttling has no run to count down.
    world.helper.takenBy(FakeHelperClient::ownerOf("veltranectl apply: 3G", false, false));
    countdown.updateRemaining();
    EXPECT_FALSE(countdown.isShown());
}

TEST_F(MenuBarViewModelTest, ListsEveryThrottleAndStopsOneAloneWhenTheHelperLetsIt) {
    panel->selectProfile(threeG);
    panel->handleToggle(true);
    // One whole-machine throttle is what the card has always shown.
    EXPECT_FALSE(panel->listsThrottles());

    std::string failure;
    ThrottleScope scope{
        {*Destination::parse("192.0.2.7:443", failure)}, {"api.example.com:443"}, {}};
    const ThrottleOwner commandLine =
        FakeHelperClient::ownerOf("veltranectl apply: Edge", false, false);
    world.helper.takenBy(commandLine, {5'000, 0, 0, 0, 0}, scope);
    EXPECT_TRUE(panel->listsThrottles());
    EXPECT_EQ(panel->statusText(), "2 throttles on");
    // Its own profile still runs beside the newer throttle.
    EXPECT_EQ(world.service.state().currentProfile, threeG);
    const std::vector<ActiveThrottleRow> rows = ActiveThrottleRows::rowsOf(world.service.state());
    ASSERT_EQ(rows.size(), 2U);
    EXPECT_EQ(rows[0].title, "3G");
    EXPECT_EQ(rows[0].scope, "All traffic");
    EXPECT_TRUE(rows[0].detail.startsWith("Veltrane (this app) · since "));
    EXPECT_EQ(rows[1].title, "D: 40 Kbps");
    EXPECT_EQ(rows[1].scope, "Only to api.example.com:443");
    EXPECT_TRUE(rows[1].detail.startsWith("veltranectl apply: Edge · since "));
    EXPECT_FALSE(rows[1].isOwn);

    // Another client's throttle ends only as the helper allows.
    world.helper.nextFailure = std::make_exception_ptr(ThrottleError::authorizationDenied());
    panel->stopThrottle(rows[1].id);
    EXPECT_TRUE(panel->showingError());
    EXPECT_EQ(panel->errorMessage(), ThrottleError::authorizationDenied().description());
    panel->dismissError();
    panel->stopThrottle(rows[1].id);
    EXPECT_THAT(world.helper.ends, ElementsAre(rows[1].id.toULongLong(), rows[1].id.toULongLong()));
    EXPECT_FALSE(panel->showingError());
    EXPECT_EQ(world.helper.throttles.size(), 1);
    EXPECT_EQ(world.helper.disables, 0);

    // An application's throttle says whether it runs.
    ThrottleScope editor{.application = "org.example.Editor"};
    world.helper.takenBy(commandLine, {5'000, 0, 0, 0, 0}, editor);
    EXPECT_EQ(ActiveThrottleRows::rowsOf(world.service.state()).back().scope,
              "Waiting for org.example.Editor");
    editor.cgroups = {"user.slice/app-gnome-org.example.Editor-1.scope"};
    world.helper.takenBy(commandLine, {5'000, 0, 0, 0, 0}, editor);
    EXPECT_EQ(ActiveThrottleRows::rowsOf(world.service.state()).back().scope,
              "Only org.example.Editor");
}

TEST_F(MenuBarViewModelTest, APickedApplicationRunsTheSelectionBesideAndItsRowNamesItWithItsRates) {
    panel->selectProfile(threeG);
    world.runApplication("com.slack.Slack", "Slack", "slack");
    PanelApplications& applications = *panel->applications();
    EXPECT_EQ(applications.profileText(), "Throttled with 3G");
    applications.openPicker();
    ASSERT_EQ(applications.picker()->rowCount(), 1);
    applications.picker()->pick(0);
    EXPECT_FALSE(applications.showingPicker());
    EXPECT_FALSE(applications.picker()->isOpen());
    ASSERT_EQ(world.helper.starts.size(), 1U);
    EXPECT_EQ(world.helper.starts[0].scope.application, "com.slack.Slack");
    EXPECT_EQ(world.helper.enables[0], *ApplyPreconditions::parametersOf(threeG));
    // Alone, it is listed all the same: its row tells which application.
    EXPECT_TRUE(panel->listsThrottles());

    HelperThrottle& slack = world.helper.throttles.back();
    slack.scope.cgroups = {"a/app-gnome-com.slack.Slack-1.scope",
                           "a/app-gnome-com.slack.Slack-2.scope"};
    world.helper.publish();
    ActiveThrottleRow row =
        ActiveThrottleRows::rowsOf(world.service.state(), &world.applicationNames)[0];
    EXPECT_EQ(row.title, "3G");
    EXPECT_EQ(row.scope, "Only Slack · 2 instances");
    EXPECT_EQ(row.iconName, "slack");

    const auto rowLineAt = [&](quint64 takenAtMs, quint64 downloadBytes) {
        const DirectionStatistics down{.bytes = downloadBytes};
        world.helper.statistics = {true, takenAtMs, down, down, {{slack.id, down, {}}}};
        panel->liveStatistics()->refresh();
        return panel->liveStatistics()
            ->rowLines()
            .value(QString::number(slack.id))
            .toString()
            .replace(QChar(0x00a0), u' ');
    };
    EXPECT_EQ(rowLineAt(10'000, 1'000'000), "↓ – · ↑ –");
    // Its own figures, not the whole reading's: its upload was not read.
    EXPECT_EQ(rowLineAt(11'000, 1'100'000), "↓ 800 Kbps · ↑ –");
}

} // namespace
