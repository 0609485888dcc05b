// SPDX-License-Identifier: MIT
#include "OnboardingViewModel.h"

#include "SettingsKeys.h"
#include "UiWorld.h"
#include "WaitUntil.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr auto kPoll = 10ms;

class OnboardingViewModelTest : public testing::Test {
protected:
    OnboardingViewModelTest() { world.registration.status = ServiceStatus::notRegistered; }

    void pendingApproval() {
        world.registration.status = ServiceStatus::requiresApproval;
        world.helper.installFailure = ThrottleError::helperError(
            "The helper is installed, but the system bus does not start it yet. Run "
            "scripts/install-helper as root, or reinstall the Veltrane package.");
    }

    UiWorld world;
    const std::unique_ptr<OnboardingViewModel> owned = world.onboarding(15, kPoll);
    OnboardingViewModel& model = *owned;
};

TEST_F(OnboardingViewModelTest, AnApprovedDaemonGoesFromInstallStraightToDone) {
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Welcome);
    model.installHelper();
    EXPECT_EQ(world.helper.installs, 0) << "steps only move forward, one at a time";
    model.getStarted();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::InstallHelper);
    model.installHelper();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Done);
    EXPECT_FALSE(model.isPolling());
    EXPECT_FALSE(world.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));

    model.finish();
    EXPECT_TRUE(world.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));
    EXPECT_EQ(world.navigator.closed, QStringList{WindowNavigator::onboarding});
}

TEST_F(OnboardingViewModelTest, PendingApprovalWaitsOnTheApprovalStepUntilTheUserApproves) {
    model.getStarted();
    pendingApproval();
    model.installHelper();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Approval);
    EXPECT_EQ(model.errorMessage(), QString());
    EXPECT_TRUE(model.isPolling());

    QTest::qWait(5 * kPoll.count());
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Approval);
    EXPECT_EQ(world.helper.installs, 1) << "an unapproved daemon is not installed again";

    // The install after approval may still fail; the daemon is approved all the same.
    world.registration.status = ServiceStatus::enabled;
    EXPECT_TRUE(waitUntil([&] { return model.currentStep() == OnboardingViewModel::Done; }));
    EXPECT_FALSE(model.isPolling());
    QTest::qWait(5 * kPoll.count());
    EXPECT_EQ(world.helper.installs, 2);
}

TEST_F(OnboardingViewModelTest, AFailedInstallShowsItsErrorUntilTheNextAttempt) {
    model.getStarted();
    world.helper.installFailure =
        ThrottleError::helperCommunicationFailed("No connection available");
    model.installHelper();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::InstallHelper);
    EXPECT_EQ(model.errorMessage(), "Failed to communicate with helper: No connection available");
    EXPECT_FALSE(model.isInstalling());
    EXPECT_EQ(model.installButtonText(), "Install Helper");

    world.helper.installFailure.reset();
    model.installHelper();
    EXPECT_EQ(model.errorMessage(), QString());
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Done);
}

} // namespace
