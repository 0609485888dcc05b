// SPDX-License-Identifier: MIT
#include "ThrottleService.h"

#include "ControlFakes.h"

#include <QCoreApplication>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

const QDateTime kFirst = QDateTime::fromSecsSinceEpoch(1'800'000'000, Qt::UTC);

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

TEST_F(ThrottleServiceTest, ApplyingSendsTheConvertedProfileAndRemovingSwitchesItOff) {
    // Nothing that this service switched on: nothing to remove or announce.
    helper.active = true;
    finish(service.removeThrottling());
    EXPECT_EQ(helper.disables, 0);

    finish(service.applyProfile(threeG));
    EXPECT_THAT(helper.enables, ElementsAre(HelperParameters{97'500, 41'250, 100, 0.0, 0}));
    ThrottleState expected;
    expected.isEnabled = true;
    expected.currentProfile = threeG;
    expected.selectedProfile = threeG;
    expected.enabledAt = kFirst;
    EXPECT_EQ(service.state(), expected);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled"));

    finish(service.removeThrottling());
    EXPECT_EQ(helper.disables, 1);
    expected = {};
    expected.selectedProfile = threeG;
    EXPECT_EQ(service.state(), expected);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled", "ThrottlingDisabled"));
}

TEST_F(ThrottleServiceTest, ProfilesThatCannotBeSentAreRefusedBeforeTheHelperAndLeaveTheState) {
    const ThrottleProfile lossOfZero(QUuid::createUuid(), "Zero", {}, {}, {}, 0.0, {}, false, true);
    EXPECT_EQ(failureOf(service.applyProfile(lossOfZero)),
              ThrottleError::invalidProfile(
                  "Profile must have at least one throttling parameter configured"));
    const ThrottleProfile huge(QUuid::createUuid(), "Huge",
                               Bandwidth{INT64_MAX, BandwidthUnit::mbps}, {}, {}, {}, {}, false,
                               true);
    EXPECT_EQ(failureOf(service.applyProfile(huge)),
              ThrottleError::invalidProfile("Download bandwidth is too large"));
    EXPECT_THAT(helper.enables, IsEmpty());
    EXPECT_EQ(service.state(), ThrottleState{});
    EXPECT_THAT(posted, IsEmpty());
}

TEST_F(ThrottleServiceTest, AnUnregisteredOrUnknownDaemonIsReportedAsNotInstalled) {
    for (const ServiceStatus status :
         {ServiceStatus::notRegistered, ServiceStatus::notFound, ServiceStatus::requiresApproval}) {
        registration.status = status;
        EXPECT_EQ(failureOf(service.applyProfile(threeG)), ThrottleError::helperNotInstalled());
        EXPECT_EQ(service.state().error, ThrottleError::helperNotInstalled());
        EXPECT_FALSE(service.state().isEnabled);
    }
    EXPECT_THAT(helper.enables, IsEmpty());
}

TEST_F(ThrottleServiceTest, AFailedApplyIsStoredAndRethrownAndTheNextSuccessClearsIt) {
    finish(service.applyProfile(threeG));
    const ThrottleState enabled = service.state();

    const ThrottleError refused = ThrottleError::helperError("Unknown error");
    helper.nextFailure = std::make_exception_ptr(refused);
    EXPECT_EQ(failureOf(service.applyProfile(edge)), refused);
    EXPECT_EQ(service.state().error, refused);
    // Still on, with the profile that really is applied.
    EXPECT_TRUE(service.state().isEnabled);
    EXPECT_EQ(service.state().currentProfile, threeG);
    EXPECT_EQ(service.state().enabledAt, enabled.enabledAt);

    // Anything that is not a ThrottleError becomes an unknown one.
    helper.nextFailure = std::make_exception_ptr(std::runtime_error("out of memory"));
    EXPECT_EQ(failureOf(service.removeThrottling()), ThrottleError::unknown("out of memory"));
    EXPECT_EQ(service.state().error, ThrottleError::unknown("out of memory"));
    EXPECT_TRUE(service.state().isEnabled);

    now = kFirst.addSecs(60);
    finish(service.applyProfile(edge));
    EXPECT_EQ(service.state().error, std::nullopt);
    EXPECT_EQ(service.state().currentProfile, edge);
    EXPECT_EQ(service.state().enabledAt, now);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled", "ThrottlingEnabled"));
}

TEST_F(ThrottleServiceTest, SelectingWhileOffOnlyRecordsAndWhileOnReappliesAtOnce) {
    finish(service.selectProfile(edge));
    ThrottleState expected;
    expected.selectedProfile = edge;
    EXPECT_EQ(service.state(), expected);
    EXPECT_THAT(helper.enables, IsEmpty());

    finish(service.applyProfile(edge));
    now = kFirst.addSecs(5);
    finish(service.selectProfile(threeG));
    EXPECT_EQ(helper.enables.size(), 2u);
    EXPECT_EQ(service.state().currentProfile, threeG);
    EXPECT_EQ(service.state().selectedProfile, threeG);
    EXPECT_EQ(service.state().enabledAt, now);
    EXPECT_THAT(posted, ElementsAre("ThrottlingEnabled", "ThrottlingEnabled"));

    // A failed re-apply still keeps the choice.
    helper.nextFailure = std::make_exception_ptr(ThrottleError::helperError("busy"));
    EXPECT_EQ(failureOf(service.selectProfile(edge)), ThrottleError::helperError("busy"));
    EXPECT_EQ(service.state().selectedProfile, edge);
    EXPECT_EQ(service.state().currentProfile, threeG);
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
    // Every change was published, and nothing else.
    EXPECT_THAT(published, ElementsAre(true, false));
}

} // namespace
