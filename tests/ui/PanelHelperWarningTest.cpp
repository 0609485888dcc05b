// SPDX-License-Identifier: MIT
#include "PanelHelperWarning.h"

#include "UiWorld.h"

#include <gtest/gtest.h>

namespace {

TEST(PanelHelperWarning, TellsNoBusNoHelperAndASilentHelperApart) {
    UiWorld world;
    PanelHelperWarning warning(world.service, world.registration);
    warning.appear();
    EXPECT_FALSE(warning.isShown());
    const struct {
        ServiceStatus status;
        bool answers;
        const char* text;
        bool install;
    } cases[] = {
        {ServiceStatus::busUnreachable, true, "Veltrane cannot reach the system bus.", false},
        {ServiceStatus::notRegistered, true, "The helper is not installed.", true},
        {ServiceStatus::enabled, false, "The helper is installed but not responding.", false},
    };
    for (const auto& c : cases) {
        world.registration.status = c.status;
        if (!c.answers) {
            world.helper.nextFailure =
                std::make_exception_ptr(ThrottleError::helperCommunicationFailed("timed out"));
        }
        warning.appear();
        EXPECT_TRUE(warning.isShown()) << c.text;
        EXPECT_EQ(warning.text(), c.text);
        EXPECT_EQ(warning.offersInstall(), c.install) << c.text;
    }
}

} // namespace
