// SPDX-License-Identifier: MIT
#include "HelperInstaller.h"

#include "ControlFakes.h"

#include <gtest/gtest.h>

namespace {

const ThrottleError kApproval = ThrottleError::helperError(
    "The helper is installed, but the system bus does not start it yet. Run "
    "scripts/install-helper as root, or reinstall the Veltrane package.");

TEST(HelperInstallerTest, ApprovalIsAskedForBeforeAndAfterRegisteringAndNeverRegisteredTwice) {
    FakeServiceRegistration registration;
    registration.status = ServiceStatus::notRegistered;
    registration.statusAfterRegistering = ServiceStatus::requiresApproval;
    HelperInstaller installer(registration);
    EXPECT_EQ(failureOf(installer.install()), kApproval);
    EXPECT_EQ(failureOf(installer.install()), kApproval);
    EXPECT_EQ(registration.registrations, 1);
    EXPECT_FALSE(installer.isDaemonEnabled());
}

TEST(HelperInstallerTest, ARegistrationErrorNamesItsDomainCodeAndDescription) {
    FakeServiceRegistration registration;
    registration.status = ServiceStatus::notRegistered;
    registration.registrationFailure = RegistrationError{"D", 1, "X"};
    HelperInstaller installer(registration);
    EXPECT_EQ(failureOf(installer.install()),
              ThrottleError::helperError("Could not register the helper (D 1): X"));
}

} // namespace
