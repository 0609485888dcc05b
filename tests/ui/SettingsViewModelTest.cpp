// SPDX-License-Identifier: MIT
#include "SettingsViewModel.h"

#include "NotificationNames.h"
#include "SettingsKeys.h"
#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

using Status = SettingsViewModel::HelperStatus;

class SettingsViewModelTest : public testing::Test {
protected:
    QVariantMap lastPosted(const QString& name) const {
        return world.posted.empty() || world.posted.back().first != name
                   ? QVariantMap()
                   : world.posted.back().second;
    }

    UiWorld world;
    const std::unique_ptr<SettingsViewModel> owned = world.settings();
    SettingsViewModel& model = *owned;
};

TEST_F(SettingsViewModelTest, AutoDisableChangesAreStoredAndAnnounced) {
    const QString changed = NotificationName::autoDisableSettingChanged;
    EXPECT_EQ(model.durationText(), "30 minutes");

    model.setAutoDisableEnabled(true);
    EXPECT_EQ(lastPosted(changed), (QVariantMap{{"enabled", true}, {"minutes", 30}}));

    model.selectDuration(static_cast<int>(model.durationChoices().indexOf("1 hour")));
    EXPECT_EQ(world.defaults.value(SettingsKeys::autoDisableMinutes), 60);
    EXPECT_EQ(lastPosted(changed), (QVariantMap{{"enabled", true}, {"minutes", 60}}));
    // Choosing the duration already set changes nothing and says nothing.
    const std::size_t posts = world.posted.size();
    model.selectDuration(model.durationIndex());
    EXPECT_EQ(world.posted.size(), posts);

    model.setAutoDisableEnabled(false);
    EXPECT_FALSE(world.defaults.boolValue(SettingsKeys::autoDisableEnabled));
    EXPECT_EQ(lastPosted(changed), (QVariantMap{{"enabled", false}, {"minutes", 60}}));

    // A duration written by hand is shown as it is, not as a choice.
    world.defaults.setValue(SettingsKeys::autoDisableMinutes, 45);
    EXPECT_EQ(model.durationIndex(), -1);
    EXPECT_EQ(model.durationText(), "45 minutes");
}

TEST_F(SettingsViewModelTest, ALoginItemThatCannotChangeFlipsTheSwitchBackAndSaysWhy) {
    model.setLaunchAtLogin(true);
    EXPECT_TRUE(model.launchAtLogin());
    EXPECT_EQ(world.registration.loginItem, ServiceStatus::enabled);

    world.registration.loginItemFailure =
        RegistrationError{"com.veltrane.ServiceRegistration", 13, "Permission denied"};
    model.setLaunchAtLogin(false);
    EXPECT_TRUE(model.launchAtLogin());
    EXPECT_TRUE(world.defaults.boolValue(SettingsKeys::launchAtLogin));
    EXPECT_TRUE(model.showingLaunchAtLoginError());
    EXPECT_EQ(model.launchAtLoginErrorMessage(),
              "Failed to update launch at login setting: Permission denied");
    model.dismissLaunchAtLoginError();
    EXPECT_FALSE(model.showingLaunchAtLoginError());
}

TEST_F(SettingsViewModelTest, TheBadgeTellsAMissingBusAMissingHelperAndASilentHelperApart) {
    EXPECT_EQ(model.helperStatus(), Status::Checking);
    EXPECT_EQ(model.helperStatusText(), "Checking…");
    struct Case {
        ServiceStatus registration;
        bool answers;
        Status status;
        const char* text;
        const char* message;
        bool install, retry, reinstall;
    };
    for (const Case& c : {
             Case{ServiceStatus::notRegistered, true, Status::NotInstalled, "Not Installed", "",
                  true, false, false},
             Case{ServiceStatus::notFound, true, Status::NotInstalled, "Not Installed", "", true,
                  false, false},
             Case{ServiceStatus::enabled, true, Status::Installed, "Installed", "", false, false,
                  true},
             Case{ServiceStatus::enabled, false, Status::NotResponding, "Not Responding",
                  "The helper is installed but not responding.", false, true, false},
             Case{ServiceStatus::busUnreachable, true, Status::NoSystemBus, "No System Bus",
                  "Veltrane cannot reach the system bus.", false, true, false},
         }) {
        world.registration.status = c.registration;
        if (!c.answers) {
            world.helper.nextFailure =
                std::make_exception_ptr(ThrottleError::helperCommunicationFailed("timed out"));
        }
        model.appear();
        EXPECT_EQ(model.helperStatus(), c.status) << c.text;
        EXPECT_EQ(model.helperStatusText(), c.text);
        EXPECT_EQ(model.helperMessage(), c.message);
        EXPECT_EQ(model.offersInstall(), c.install) << c.text;
        EXPECT_EQ(model.offersRetry(), c.retry) << c.text;
        EXPECT_EQ(model.offersReinstall(), c.reinstall) << c.text;
    }
    // Trying again checks again.
    world.registration.status = ServiceStatus::enabled;
    model.tryAgain();
    EXPECT_EQ(model.helperStatus(), Status::Installed);
    EXPECT_EQ(world.helper.installs, 0);
}

TEST_F(SettingsViewModelTest, AFailedInstallSaysWhatToDoOffersToTryAgainAndLogsTheDetail) {
    world.registration.status = ServiceStatus::notRegistered;
    model.appear();
    model.installHelper();
    EXPECT_EQ(model.helperStatus(), Status::Installed);
    EXPECT_TRUE(world.service.state().isHelperReady);
    EXPECT_TRUE(model.showingHelperInstallAlert());
    EXPECT_EQ(model.helperInstallAlertMessage(), "Helper installed successfully!");
    model.dismissHelperInstallAlert();

    world.registration.status = ServiceStatus::notRegistered;
    world.helper.installFailure = ThrottleError::helperError(
        "Could not register the helper (com.veltrane.ServiceRegistration -1): none");
    testing::internal::CaptureStdout();
    model.installHelper();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("ServiceRegistration -1): none"),
              std::string::npos);
    const QString whatToDo = "The helper is not installed on this system. Install the Veltrane "
                             "package, or run scripts/install-helper as root.";
    EXPECT_EQ(model.helperStatus(), Status::Error);
    EXPECT_EQ(model.helperStatusText(), "Install Failed");
    EXPECT_EQ(model.helperMessage(), whatToDo);
    EXPECT_EQ(model.helperInstallAlertMessage(), whatToDo);
    EXPECT_TRUE(model.offersRetry());
    EXPECT_FALSE(model.offersInstall() || model.offersReinstall());
    model.dismissHelperInstallAlert();

    // Trying again installs again.
    world.helper.installFailure.reset();
    model.tryAgain();
    EXPECT_EQ(world.helper.installs, 3);
    EXPECT_EQ(model.helperStatus(), Status::Installed);
    EXPECT_EQ(model.helperMessage(), QString());
}

TEST_F(SettingsViewModelTest, CheckNowReachesTheUpdaterOnlyWhenItCanCheck) {
    world.updater.setCanCheck(false);
    EXPECT_FALSE(model.canCheckForUpdates());
    model.checkForUpdates();
    EXPECT_EQ(world.updater.checks, 0);
    world.updater.setCanCheck(true);
    model.checkForUpdates();
    EXPECT_EQ(world.updater.checks, 1);
}

} // namespace
