// SPDX-License-Identifier: MIT
#include "OnboardingViewModel.h"

#include "SettingsKeys.h"
#include "WindowTestSupport.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr auto kPoll = 10ms;

class OnboardingViewModelTest : public testing::Test {
protected:
    void pendingApproval() {
        services.registration.status = ServiceStatus::requiresApproval;
        services.helper.installFailure = ThrottleError::helperError(
            "Helper requires approval. Please enable it in System Settings > Login Items.");
    }

    WindowServices services;
    const std::unique_ptr<OnboardingViewModel> owned = services.onboarding(15, kPoll);
    OnboardingViewModel& model = *owned;
};

TEST_F(OnboardingViewModelTest, AnApprovedDaemonGoesFromInstallStraightToDone) {
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Welcome);
    model.installHelper();
    EXPECT_EQ(services.helper.installs, 0) << "steps only move forward, one at a time";
    model.getStarted();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::InstallHelper);
    model.installHelper();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Done);
    EXPECT_FALSE(model.isPolling());
    EXPECT_FALSE(services.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));

    model.finish();
    EXPECT_TRUE(services.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));
    EXPECT_EQ(services.navigator.closed, QStringList{WindowNavigator::onboarding});
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
    EXPECT_EQ(services.helper.installs, 1) << "an unapproved daemon is not installed again";

    // The install after approval may still fail; the daemon is approved all the same.
    services.registration.status = ServiceStatus::enabled;
    EXPECT_TRUE(eventually([&] { return model.currentStep() == OnboardingViewModel::Done; }));
    EXPECT_FALSE(model.isPolling());
    QTest::qWait(5 * kPoll.count());
    EXPECT_EQ(services.helper.installs, 2);
}

TEST_F(OnboardingViewModelTest, PollingRunsOnlyWhileTheWindowIsOnScreen) {
    model.getStarted();
    pendingApproval();
    model.installHelper();
    model.setShown(false);
    EXPECT_FALSE(model.isPolling());
    services.registration.status = ServiceStatus::enabled;
    QTest::qWait(5 * kPoll.count());
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Approval);

    model.setShown(true);
    EXPECT_TRUE(eventually([&] { return model.currentStep() == OnboardingViewModel::Done; }));
}

TEST_F(OnboardingViewModelTest, AFailedInstallShowsItsErrorUntilTheNextAttempt) {
    model.getStarted();
    services.helper.installFailure =
        ThrottleError::helperCommunicationFailed("No connection available");
    model.installHelper();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::InstallHelper);
    EXPECT_EQ(model.errorMessage(), "Failed to communicate with helper: No connection available");
    EXPECT_FALSE(model.isInstalling());
    EXPECT_EQ(model.installButtonText(), "Install Helper");

    services.helper.installFailure.reset();
    model.installHelper();
    EXPECT_EQ(model.errorMessage(), QString());
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Done);
}

TEST(OnboardingWording, FollowsTheSystemVersion) {
    WindowServices services;
    const auto older = services.onboarding(15);
    EXPECT_EQ(older->approvalTitle(), "Enable in Login Items");
    EXPECT_EQ(older->approvalInstruction(),
              "Toggle on <b>Veltrane.app</b> under \"Allow in the Background\"");
    const auto newer = services.onboarding(26);
    EXPECT_EQ(newer->approvalTitle(), "Enable in Login Items & Extensions");
    EXPECT_EQ(newer->sectionName(), "App Background Activity");
}

} // namespace
