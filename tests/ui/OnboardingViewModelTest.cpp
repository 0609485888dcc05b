// SPDX-License-Identifier: MIT
#include "OnboardingViewModel.h"

#include "SettingsKeys.h"
#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

class OnboardingViewModelTest : public testing::Test {
protected:
    OnboardingViewModelTest() { world.registration.status = ServiceStatus::notRegistered; }

    UiWorld world;
    const std::unique_ptr<OnboardingViewModel> owned = world.onboarding();
    OnboardingViewModel& model = *owned;
};

TEST_F(OnboardingViewModelTest, AnInstalledHelperGoesFromInstallStraightToDone) {
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Welcome);
    model.installHelper();
    EXPECT_EQ(world.helper.installs, 0) << "steps only move forward, one at a time";
    model.getStarted();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::InstallHelper);
    model.installHelper();
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Done);
    EXPECT_EQ(model.totalSteps(), 3);
    EXPECT_FALSE(world.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));

    model.finish();
    EXPECT_TRUE(world.defaults.boolValue(SettingsKeys::hasCompletedOnboarding));
    EXPECT_EQ(world.navigator.closed, QStringList{WindowNavigator::onboarding});
}

TEST_F(OnboardingViewModelTest, AFailedInstallSaysWhatHappenedUntilTheNextAttemptAndLogsTheDetail) {
    const struct {
        ServiceStatus statusAfter;
        const char* message;
    } cases[] = {
        {ServiceStatus::notRegistered,
         "The helper is not installed on this system. Install the Veltrane package, or run "
         "scripts/install-helper as root."},
        {ServiceStatus::notFound,
         "The helper is not installed on this system. Install the Veltrane package, or run "
         "scripts/install-helper as root."},
        {ServiceStatus::busUnreachable, "Veltrane cannot reach the system bus."},
        {ServiceStatus::enabled, "The helper is installed but not responding."},
    };
    model.getStarted();
    for (const auto& c : cases) {
        world.registration.status = c.statusAfter;
        world.helper.installFailure =
            ThrottleError::helperError("com.veltrane.ServiceRegistration -1 — no installer");
        testing::internal::CaptureStdout();
        model.installHelper();
        const std::string log = testing::internal::GetCapturedStdout();
        EXPECT_EQ(model.currentStep(), OnboardingViewModel::InstallHelper);
        EXPECT_EQ(model.errorMessage(), c.message);
        EXPECT_NE(log.find("com.veltrane.ServiceRegistration -1 — no installer"), std::string::npos)
            << log;
        EXPECT_FALSE(model.isInstalling());
        EXPECT_EQ(model.installButtonText(), "Install Helper");
    }

    world.helper.installFailure.reset();
    model.installHelper();
    EXPECT_EQ(model.errorMessage(), QString());
    EXPECT_EQ(model.currentStep(), OnboardingViewModel::Done);
}

} // namespace
