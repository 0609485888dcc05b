// SPDX-License-Identifier: MIT
#include "ThrottleService.h"

#include "ApplyPreconditions.h"
#include "ControlFakes.h"
#include "DestinationResolver.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <coroutine>
#include <stdexcept>

using testing::Contains;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::Not;
using testing::Pair;

namespace {

const QDateTime kFirst = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);
const ThrottleOwner kCommandLine = FakeHelperClient::ownerOf("veltranectl apply: 3G", false, false);

class ThrottleServiceTest : public testing::Test {
protected:
    ThrottleServiceTest() {
        QObject::connect(&notifications, &NotificationCenter::posted,
                         [this](const QString& name) { posted << name; });
    }

    FakeServiceRegistration registration;
    FakeHelperClient helper;
    NotificationCenter notifications;
    QDateTime now = kFirst;
    ThrottleService service{helper, registration, notifications, [this] { return now; }};
    QStringList posted;
    const ThrottleProfile threeG = preset("3G");
    const ThrottleProfile edge = preset("Edge");
};

// Another client's throttle of some destinations only, beside the whole
// machine's.
ThrottleScope elsewhere(const char* address = "10.9.9.9") {
    std::string failure;
    return {{*Destination::parse(address, failure)}, {}, {}};
}

TEST_F(ThrottleServiceTest, ApplyingTakesTheConvertedProfileAndTheExplicitOffEndsEveryThrottle) {
    // Nothing the helper said is on: nothing to remove or announce.
    helper.throttles.append({7, {}, {}, {1, 0, 0, 0, 0}, kCommandLine});
    finish(service.removeThrottling());
    EXPECT_EQ(helper.disables, 0);
    helper.throttles.clear();

    service.setOwnership("Veltrane", [] { return true; });
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());
    finish(service.applyProfile(threeG));
    EXPECT_THAT(helper.enables, ElementsAre(ThrottleParameters{97'500, 41'250, 100, 0.0, 0}));
    EXPECT_THAT(helper.starts, ElementsAre(FakeHelperClient::Start{{}, "Veltrane", true}));
    const quint64 own = helper.throttles.back().id;
    EXPECT_THAT(service.ownThrottles(), ElementsAre(own));
    ThrottleState expected;
    expected.isEnabled = true;
    expected.currentProfile = threeG;
    expected.selectedProfile = threeG;
    expected.enabledAt = kFirst;
    expected.owner = FakeHelperClient::ownerOf("Veltrane", true);
    expected.throttles = helper.throttles;
    EXPECT_EQ(service.state(), expected);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled"));

    finish(service.removeThrottling());
    EXPECT_EQ(helper.disables, 1);
    EXPECT_FALSE(helper.lists(others));
    EXPECT_THAT(service.ownThrottles(), IsEmpty());
    expected = {};
    expected.selectedProfile = threeG;
    EXPECT_EQ(service.state(), expected);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled", "ThrottlingDisabled"));
}

TEST_F(ThrottleServiceTest, WhatCannotBeSentOrHasNoDaemonIsRefusedBeforeTheHelper) {
    const ThrottleProfile lossOfZero(QUuid::createUuid(), "Zero", {}, {}, {}, 0.0, {}, false, true);
    EXPECT_EQ(failureOf(service.applyProfile(lossOfZero)),
              ThrottleError::invalidProfile(
                  "Profile must have at least one throttling parameter configured"));
    const ThrottleProfile huge(QUuid::createUuid(), "Huge",
                               Bandwidth{INT64_MAX, BandwidthUnit::mbps}, {}, {}, {}, {}, false,
                               true);
    EXPECT_EQ(failureOf(service.applyProfile(huge)),
              ThrottleError::invalidProfile("Download bandwidth is too large"));
    EXPECT_EQ(service.state(), ThrottleState{});
    // An unregistered or unknown daemon is one that is not installed.
    for (const ServiceStatus status :
         {ServiceStatus::notRegistered, ServiceStatus::notFound, ServiceStatus::requiresApproval}) {
        registration.status = status;
        EXPECT_EQ(failureOf(service.applyProfile(threeG)), ThrottleError::helperNotInstalled());
        EXPECT_EQ(service.state().error, ThrottleError::helperNotInstalled());
    }
    EXPECT_THAT(helper.enables, IsEmpty());
    EXPECT_THAT(posted, IsEmpty());
}

TEST_F(ThrottleServiceTest, SelectingReappliesOnlyWhileOnAndAFailureIsKeptUntilTheNextSuccess) {
    finish(service.selectProfile(edge));
    EXPECT_EQ(service.state().selectedProfile, edge);
    EXPECT_THAT(helper.enables, IsEmpty());

    finish(service.applyProfile(edge));
    const std::optional<QDateTime> enabledAt = service.state().enabledAt;
    // The choice is kept, and so is what really runs.
    const ThrottleError refused = ThrottleError::helperError("Unknown error");
    helper.nextFailure = std::make_exception_ptr(refused);
    EXPECT_EQ(failureOf(service.selectProfile(threeG)), refused);
    EXPECT_EQ(service.state().error, refused);
    EXPECT_EQ(service.state().selectedProfile, threeG);
    EXPECT_EQ(service.state().currentProfile, edge);
    EXPECT_EQ(service.state().enabledAt, enabledAt);

    // Anything that is not a ThrottleError becomes an unknown one.
    helper.nextFailure = std::make_exception_ptr(std::runtime_error("out of memory"));
    EXPECT_EQ(failureOf(service.removeThrottling()), ThrottleError::unknown("out of memory"));
    EXPECT_EQ(service.state().error, ThrottleError::unknown("out of memory"));
    EXPECT_TRUE(service.state().isEnabled);

    now = kFirst.addSecs(60);
    finish(service.selectProfile(threeG));
    EXPECT_EQ(service.state().error, std::nullopt);
    EXPECT_EQ(service.state().currentProfile, threeG);
    EXPECT_EQ(service.state().enabledAt, now);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled", "ThrottlingEnabled"));
}

TEST_F(ThrottleServiceTest, HelperReadinessFollowsTheRegistrationAndTheConnectionFlag) {
    std::vector<bool> published;
    QObject::connect(
        &service, &ThrottleService::stateChanged,
        [&published](const ThrottleState& state) { published.push_back(state.isHelperReady); });
    service.checkHelperStatus();
    EXPECT_TRUE(service.state().isHelperReady);

    // The connection flag arrives queued, like the main-queue delivery.
    helper.setConnected(true);
    helper.setConnected(false);
    EXPECT_TRUE(service.state().isHelperReady);
    QCoreApplication::processEvents();
    EXPECT_FALSE(service.state().isHelperReady);

    registration.status = ServiceStatus::notFound;
    service.checkHelperStatus();
    EXPECT_FALSE(service.state().isHelperReady);
    // Installed while the application runs: noticed when the helper comes
    // onto the bus, not only when the panel next opens.
    registration.status = ServiceStatus::enabled;
    helper.publish(false);
    helper.publish();
    EXPECT_TRUE(service.state().isHelperReady);
    // Every change was published, and nothing else.
    EXPECT_THAT(published, ElementsAre(true, false, true));
}

TEST_F(ThrottleServiceTest, AnotherClientsThrottlingIsShownWithItsOwnerAndAnyoneMaySwitchItOff) {
    QTemporaryDir folder;
    UserDefaults defaults(folder.filePath("settings.json"));
    ProfileManager profiles(defaults, folder.path(), QString());
    profiles.loadBuiltInProfiles();
    service.followProfiles(profiles);
    ThrottleOwner owner = kCommandLine;
    owner.since = kFirst.addSecs(-30);
    helper.takenBy(owner, *ApplyPreconditions::parametersOf(threeG));
    ThrottleState expected;
    expected.isEnabled = true;
    expected.currentProfile = threeG;
    expected.enabledAt = owner.since;
    expected.owner = owner;
    expected.throttles = helper.throttles;
    EXPECT_EQ(service.state(), expected);
    // Two profiles with its conditions: neither can be named.
    const ThrottleProfile copy = *profiles.duplicateProfile(threeG).profile;
    EXPECT_EQ(service.state().currentProfile, std::nullopt);
    profiles.deleteProfile(copy);
    EXPECT_EQ(service.state().currentProfile, threeG);
    // A helper that left the bus says nothing about the network.
    helper.publish(false);
    EXPECT_TRUE(service.state().isEnabled);

    finish(service.removeThrottling());
    EXPECT_EQ(helper.disables, 1);
    // Back on the bus, the helper is ready again as registered.
    ThrottleState off;
    off.isHelperReady = true;
    EXPECT_EQ(service.state(), off);
    helper.takenBy(kCommandLine);
    helper.switchedOff();
    EXPECT_FALSE(service.state().isEnabled);
    // Only its own switches are announced.
    EXPECT_THAT(posted, ElementsAre("ThrottlingDisabled"));
}

TEST_F(ThrottleServiceTest, AnEnableCarriedOutAfterItsAnswerWasLostEndsOnWithItsProfile) {
    const ThrottleError lost = ThrottleError::helperCommunicationFailed("NoReply");
    helper.nextFailure = std::make_exception_ptr(lost);
    EXPECT_EQ(failureOf(service.applyProfile(edge)), lost);
    EXPECT_FALSE(service.state().isEnabled);

    const quint64 landed = helper.takenBy(FakeHelperClient::ownerOf("Veltrane", true),
                                          *ApplyPreconditions::parametersOf(edge));
    EXPECT_TRUE(service.state().isOwnedByThisApplication());
    // Its id comes with the helper's state: quitting ends it all the same.
    EXPECT_THAT(service.ownThrottles(), ElementsAre(landed));
    EXPECT_EQ(service.state().currentProfile, edge);
    EXPECT_EQ(service.state().selectedProfile, edge);
    EXPECT_EQ(service.state().error, std::nullopt);
    // Announced, so that its auto-disable run starts.
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled"));
}

TEST_F(ThrottleServiceTest, AHoldLostWithItsConnectionIsTakenBackWithoutShowingOff) {
    finish(service.applyProfile(threeG));
    std::vector<bool> shown;
    QObject::connect(&service, &ThrottleService::stateChanged,
                     [&shown](const ThrottleState& state) { shown.push_back(state.isEnabled); });
    helper.gated = true;
    Q_EMIT helper.connectionReplaced();
    helper.switchedOff(); // the helper removed the old connection's hold
    helper.release();
    EXPECT_EQ(helper.starts.size(), 2U);
    EXPECT_EQ(helper.starts.back(), helper.starts.front());
    EXPECT_EQ(helper.enables.back(), *ApplyPreconditions::parametersOf(threeG));
    EXPECT_TRUE(service.state().isOwnedByThisApplication());
    EXPECT_THAT(service.ownThrottles(), ElementsAre(helper.throttles.back().id));
    EXPECT_THAT(shown, Not(Contains(false)));

    // Taken back in vain: what the helper said is shown after all.
    Q_EMIT helper.connectionReplaced();
    helper.switchedOff();
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    helper.release();
    EXPECT_FALSE(service.state().isEnabled);
    EXPECT_EQ(service.state().error, ThrottleError::helperError("busy"));
}

TEST_F(ThrottleServiceTest, AScheduleGoesWithItsThrottleAndComesBackWithATakeBack) {
    // A profile of phases alone asks for something, through its phases.
    const ThrottleProfile train = preset("Commuter Train");
    ASSERT_FALSE(train.conditions.configuresSomething());
    finish(service.applyProfile(train));
    QString failure;
    const ThrottleSchedule sent = *train.schedule.toSchedule(failure);
    ASSERT_EQ(sent.phases.size(), 3U);
    EXPECT_THAT(helper.schedules, ElementsAre(sent));
    Q_EMIT helper.connectionReplaced();
    helper.switchedOff();
    EXPECT_THAT(helper.schedules, ElementsAre(sent, sent));

    // Another profile sends none: the helper would go on playing the old.
    finish(service.applyProfile(threeG));
    EXPECT_TRUE(helper.schedules.back().empty());

    ThrottleProfile unsendable = train;
    unsendable.schedule.phases[0].conditions->downloadBandwidth =
        Bandwidth{INT64_MAX, BandwidthUnit::mbps};
    EXPECT_EQ(failureOf(service.applyProfile(unsendable)),
              ThrottleError::invalidProfile("Phase 1 (LTE): Download bandwidth is too large"));
    EXPECT_EQ(helper.schedules.size(), 3U);
}

TEST_F(ThrottleServiceTest, EndingItsOwnEndsOnlyItsOwnIdsAndAFailureKeepsThemForTheNextTry) {
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());
    finish(service.applyProfile(threeG));
    const quint64 own = helper.throttles.back().id;

    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    EXPECT_EQ(failureOf(service.endOwnThrottling()), ThrottleError::helperError("busy"));
    EXPECT_EQ(service.state().error, ThrottleError::helperError("busy"));
    EXPECT_THAT(service.ownThrottles(), ElementsAre(own));

    finish(service.endOwnThrottling());
    EXPECT_THAT(helper.ends, ElementsAre(own, own));
    EXPECT_EQ(helper.disables, 0);
    EXPECT_TRUE(helper.lists(others));
    EXPECT_FALSE(service.ownsThrottling());
    EXPECT_TRUE(service.state().isOwnedElsewhere());
    EXPECT_EQ(service.state().error, std::nullopt);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled", "ThrottlingDisabled"));
    // Nothing of its own is left to end.
    finish(service.endOwnThrottling());
    EXPECT_EQ(helper.ends.size(), 2U);
}

TEST_F(ThrottleServiceTest, ASwitchOnInFlightWhenItsOwnEndIsEndedOnceItsIdIsKnown) {
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());
    helper.gated = true;
    QCoro::Task<> applying = service.applyProfile(threeG);
    QCoro::Task<> ending = service.endOwnThrottling();
    EXPECT_THAT(helper.ends, IsEmpty());
    helper.gated = false;
    helper.release();
    finish(std::move(ending));
    finish(std::move(applying));
    EXPECT_THAT(helper.ends, ElementsAre(others + 1));
    EXPECT_THAT(helper.throttles, ElementsAre(testing::Field(&HelperThrottle::id, others)));
    EXPECT_FALSE(service.ownsThrottling());
    // Never shown as on: it was ended as it started.
    EXPECT_THAT(posted, ElementsAre("ThrottlingDisabled"));
}

TEST_F(ThrottleServiceTest, AnIdIsForgottenOnceANewerStateNoLongerListsIt) {
    finish(service.applyProfile(threeG));
    const quint64 own = helper.throttles.back().id;
    // A helper that restarts brings a held throttle back under its id.
    helper.publish(false);
    helper.publish();
    EXPECT_THAT(service.ownThrottles(), ElementsAre(own));

    // One that comes back without it may give its id to another client's.
    helper.throttles.clear();
    helper.publish(false);
    helper.publish();
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());
    EXPECT_FALSE(service.ownsThrottling());
    finish(service.endOwnThrottling());
    EXPECT_THAT(helper.ends, IsEmpty());
    EXPECT_TRUE(helper.lists(others));
}

// Profiles that apply to some destinations only: resolved at the switch-on,
// and each replacing this application's own throttle, never another's.
class ScopedProfileTest : public ThrottleServiceTest {
protected:
    ScopedProfileTest() {
        service.setResolver(DestinationResolver(
            std::chrono::milliseconds(250),
            [](QString host, std::chrono::milliseconds) -> QCoro::Task<QStringList> {
                if (host == "api.example.com") {
                    co_return QStringList{"192.0.2.7", "2001:db8::7"};
                }
                co_return QStringList{};
            }));
    }
    static ThrottleProfile onlyTo(ThrottleProfile profile, const std::vector<std::string>& texts) {
        for (const std::string& text : texts) {
            std::string failure;
            profile.destinations.push_back(*Destination::parse(text, failure));
        }
        return profile;
    }
    std::vector<std::string> startedTexts(std::size_t index) const {
        std::vector<std::string> texts;
        for (const Destination& destination : helper.starts.at(index).scope.destinations) {
            texts.push_back(destination.text());
        }
        return texts;
    }
};

TEST_F(ScopedProfileTest, DestinationsAreResolvedIntoTheScopeAndANameOfNoAddressFailsNamingIt) {
    finish(service.applyProfile(onlyTo(threeG, {"api.example.com:443", "10.0.0.0/8"})));
    ASSERT_EQ(helper.starts.size(), 1U);
    EXPECT_THAT(startedTexts(0), ElementsAre("192.0.2.7:443", "[2001:db8::7]:443", "10.0.0.0/8"));
    EXPECT_THAT(helper.starts[0].scope.names, ElementsAre("api.example.com:443", "10.0.0.0/8"));
    EXPECT_TRUE(service.state().isOwnedByThisApplication());
    EXPECT_EQ(service.state().throttles.size(), 1);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled"));

    const std::optional<ThrottleError> failure =
        failureOf(service.applyProfile(onlyTo(edge, {"gone.example.com"})));
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->errorCase(), ThrottleError::Case::invalidProfile);
    EXPECT_EQ(failure->payload(), "gone.example.com resolves to no address");
    EXPECT_EQ(service.state().error, failure);
    // Nothing was sent and nothing ended: the running throttle stays.
    EXPECT_EQ(helper.starts.size(), 1U);
    EXPECT_THAT(helper.ends, IsEmpty());
    EXPECT_EQ(service.state().currentProfile,
              onlyTo(threeG, {"api.example.com:443", "10.0.0.0/8"}));
}

TEST_F(ScopedProfileTest, SwitchingProfilesReplacesOnlyThisApplicationsOwnThrottle) {
    finish(service.applyProfile(edge));
    const quint64 machine = helper.throttles.at(0).id;
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());

    finish(service.applyProfile(onlyTo(threeG, {"10.0.0.1"})));
    EXPECT_THAT(helper.ends, ElementsAre(machine));
    const quint64 firstScoped = helper.throttles.back().id;
    // Another client's is newer and named the owner; the application still owns its own.
    const quint64 newer = helper.takenBy(kCommandLine, {2, 0, 0, 0, 0}, elsewhere("10.9.9.8"));
    EXPECT_TRUE(service.ownsThrottling());
    finish(service.applyProfile(onlyTo(edge, {"10.0.0.2"})));
    EXPECT_THAT(helper.ends, ElementsAre(machine, firstScoped));
    const quint64 secondScoped = helper.throttles.back().id;
    finish(service.applyProfile(threeG));
    EXPECT_THAT(helper.ends, ElementsAre(machine, firstScoped, secondScoped));
    ASSERT_EQ(helper.throttles.size(), 3);
    EXPECT_EQ(helper.throttles[0].id, others);
    EXPECT_EQ(helper.throttles[1].id, newer);
    EXPECT_EQ(helper.throttles[2].configuration, *ApplyPreconditions::parametersOf(threeG));

    // Off ends everything, as before; the next switch-on ends nothing more.
    finish(service.removeThrottling());
    EXPECT_EQ(helper.disables, 1);
    EXPECT_THAT(service.state().throttles, IsEmpty());
    finish(service.applyProfile(onlyTo(threeG, {"10.0.0.1"})));
    EXPECT_EQ(helper.ends.size(), 3U);
}

TEST_F(ScopedProfileTest, AThrottleLostWithItsConnectionIsTakenBackUnderANewIdThatReplacesTheOld) {
    finish(service.applyProfile(onlyTo(threeG, {"api.example.com"})));
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());
    // Not held, the helper kept it, now under the old connection's name.
    const quint64 old = helper.throttles.front().id;
    helper.throttles.front().owner.busName = ":1.6";
    helper.throttles.front().owner.isThisClient = false;
    Q_EMIT helper.connectionReplaced();
    ASSERT_EQ(helper.starts.size(), 2U);
    EXPECT_EQ(helper.starts[1], helper.starts[0]);
    const quint64 takenBack = helper.throttles.back().id;
    EXPECT_THAT(helper.ends, ElementsAre(old));
    EXPECT_THAT(service.ownThrottles(), ElementsAre(takenBack));
    EXPECT_TRUE(helper.lists(others));
}

TEST_F(ScopedProfileTest, AnOffWhileNamesResolveGivesTheSwitchOnUp) {
    std::coroutine_handle<> waiting;
    struct Pending {
        std::coroutine_handle<>& waiting;
        bool await_ready() const { return false; }
        void await_suspend(std::coroutine_handle<> call) { waiting = call; }
        void await_resume() const {}
    };
    service.setResolver(DestinationResolver(
        std::chrono::seconds(1),
        [&waiting](QString, std::chrono::milliseconds) -> QCoro::Task<QStringList> {
            co_await Pending{waiting};
            co_return QStringList{"192.0.2.7"};
        }));
    QCoro::Task<> applying = service.applyProfile(onlyTo(threeG, {"api.example.com"}));
    // Quitting now must not leave what is about to start.
    EXPECT_TRUE(service.ownsThrottling());
    finish(service.removeThrottling());
    waiting.resume();
    finish(std::move(applying));
    EXPECT_THAT(helper.starts, IsEmpty());
    EXPECT_FALSE(service.state().isEnabled);
}

// A profile for one application, or a command launched throttled: switched
// on beside this application's own throttle, and replacing only its own
// earlier throttle of the same application.
class BesideThrottleTest : public ThrottleServiceTest {
protected:
    static ThrottleProfile forApplication(ThrottleProfile profile, const char* desktopId) {
        profile.application = QString::fromLatin1(desktopId);
        return profile;
    }
};

TEST_F(BesideThrottleTest, AnApplicationsThrottleRunsBesideTheMachinesAndReplacesOnlyItsOwnKind) {
    finish(service.applyProfile(edge));
    const quint64 machine = helper.throttles.at(0).id;
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());

    finish(service.applyProfile(forApplication(threeG, "org.example.Editor")));
    EXPECT_EQ(helper.starts.back().scope.application, "org.example.Editor");
    EXPECT_THAT(helper.ends, IsEmpty());
    const quint64 editor = helper.throttles.back().id;
    const quint64 command = finish(service.applyProfileToCgroup(
        edge, QStringLiteral("user.slice/veltrane-launch-7.scope"), QStringLiteral("curl -O x")));
    EXPECT_THAT(helper.starts.back().scope.cgroups,
                ElementsAre("user.slice/veltrane-launch-7.scope"));
    EXPECT_EQ(command, helper.throttles.back().id);
    EXPECT_EQ(service.state().launchedCommands.value(command), "curl -O x");
    EXPECT_THAT(service.state().besideProfiles.values(), ElementsAre("3G", "Edge"));
    // The machine's profile is still the one the panel names.
    EXPECT_EQ(service.state().currentProfile, edge);

    // The same application again replaces its throttle, and only that.
    finish(service.applyProfile(forApplication(edge, "org.example.Editor")));
    EXPECT_THAT(helper.ends, ElementsAre(editor));
    const quint64 editorAgain = helper.throttles.back().id;
    // The machine's profile again leaves both beside it.
    finish(service.applyProfile(threeG));
    EXPECT_THAT(helper.ends, ElementsAre(editor));
    EXPECT_TRUE(helper.lists(command) && helper.lists(editorAgain) && !helper.lists(machine));
    EXPECT_THAT(service.state().besideProfiles.keys(), ElementsAre(command, editorAgain));

    // Its row's Stop ends it alone, and its name goes with it.
    finish(service.endThrottle(command));
    EXPECT_THAT(service.state().besideProfiles.keys(), ElementsAre(editorAgain));
    // Quitting ends every own one, and another client's stays.
    finish(service.endOwnThrottling());
    ASSERT_EQ(helper.throttles.size(), 1);
    EXPECT_EQ(helper.throttles[0].id, others);
    EXPECT_THAT(service.state().besideProfiles, IsEmpty());
}

TEST_F(BesideThrottleTest, AReconnectTakesBackWhatTheLostConnectionHadAndNothingThatWasStopped) {
    finish(service.applyProfile(threeG));
    const quint64 machine = helper.throttles.at(0).id;
    finish(service.applyProfile(forApplication(edge, "org.example.Editor")));
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());
    // The machine's row was stopped on its own: it stays off.
    finish(service.endThrottle(machine));
    // The helper removed what the lost connection owned.
    helper.throttles.removeIf([](const HelperThrottle& t) { return t.owner.isThisClient; });
    Q_EMIT helper.connectionReplaced();
    ASSERT_EQ(helper.starts.size(), 3U);
    EXPECT_EQ(helper.starts[2], helper.starts[1]);
    EXPECT_EQ(helper.enables[2], *ApplyPreconditions::parametersOf(edge));
    const quint64 takenBack = helper.throttles.back().id;
    EXPECT_THAT(service.ownThrottles(), ElementsAre(takenBack));
    EXPECT_THAT(service.state().besideProfiles.keys(), ElementsAre(takenBack));
    EXPECT_TRUE(helper.lists(others));
}

TEST_F(BesideThrottleTest, AnOffWhileItsSwitchOnIsOnTheWayEndsItOnceItsIdIsKnown) {
    finish(service.applyProfile(edge));
    const quint64 others = helper.takenBy(kCommandLine, {1, 0, 0, 0, 0}, elsewhere());
    helper.gated = true;
    QCoro::Task<> applying = service.applyProfile(forApplication(threeG, "org.example.Editor"));
    QCoro::Task<> ending = service.endOwnThrottling();
    helper.gated = false;
    helper.release();
    finish(std::move(applying));
    finish(std::move(ending));
    ASSERT_EQ(helper.throttles.size(), 1);
    EXPECT_EQ(helper.throttles[0].id, others);
    EXPECT_THAT(service.ownThrottles(), IsEmpty());
}

} // namespace
