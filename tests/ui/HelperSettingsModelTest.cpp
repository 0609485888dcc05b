// SPDX-License-Identifier: MIT
#include "HelperSettingsModel.h"

#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

using Status = HelperSettingsModel::HelperStatus;

class HelperSettingsModelTest : public testing::Test {
protected:
    UiWorld world;
    HelperSettingsModel model{world.service, world.registration};
};

TEST_F(HelperSettingsModelTest, TheBadgeTellsAMissingBusAMissingHelperAndASilentHelperApart) {
    EXPECT_EQ(model.status(), Status::Checking);
    EXPECT_EQ(model.statusText(), "Checking…");
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
        model.checkStatus();
        EXPECT_EQ(model.status(), c.status) << c.text;
        EXPECT_EQ(model.statusText(), c.text);
        EXPECT_EQ(model.message(), c.message);
        EXPECT_EQ(model.offersInstall(), c.install) << c.text;
        EXPECT_EQ(model.offersRetry(), c.retry) << c.text;
        EXPECT_EQ(model.offersReinstall(), c.reinstall) << c.text;
    }
    // Trying again checks again.
    world.registration.status = ServiceStatus::enabled;
    model.tryAgain();
    EXPECT_EQ(model.status(), Status::Installed);
    EXPECT_EQ(world.helper.installs, 0);
}

TEST_F(HelperSettingsModelTest, AFailedInstallSaysWhatToDoOffersToTryAgainAndLogsTheDetail) {
    world.registration.status = ServiceStatus::notRegistered;
    model.checkStatus();
    model.install();
    EXPECT_EQ(model.status(), Status::Installed);
    EXPECT_TRUE(world.service.state().isHelperReady);
    EXPECT_TRUE(model.showingInstallAlert());
    EXPECT_EQ(model.installAlertMessage(), "Helper installed successfully!");
    model.dismissInstallAlert();

    world.registration.status = ServiceStatus::notRegistered;
    world.helper.installFailure = ThrottleError::helperError(
        "Could not register the helper (com.veltrane.ServiceRegistration -1): none");
    testing::internal::CaptureStdout();
    model.install();
    EXPECT_NE(testing::internal::GetCapturedStdout().find("ServiceRegistration -1): none"),
              std::string::npos);
    const QString whatToDo = "The helper is not installed on this system. Install the Veltrane "
                             "package, or run scripts/install-helper as root.";
    EXPECT_EQ(model.status(), Status::Error);
    EXPECT_EQ(model.statusText(), "Install Failed");
    EXPECT_EQ(model.message(), whatToDo);
    EXPECT_EQ(model.installAlertMessage(), whatToDo);
    EXPECT_TRUE(model.offersRetry());
    EXPECT_FALSE(model.offersInstall() || model.offersReinstall());
    model.dismissInstallAlert();

    // Trying again installs again.
    world.helper.installFailure.reset();
    model.tryAgain();
    EXPECT_EQ(world.helper.installs, 3);
    EXPECT_EQ(model.status(), Status::Installed);
    EXPECT_EQ(model.message(), QString());
}

} // namespace
