// SPDX-License-Identifier: MIT
#include "LaunchSequence.h"

#include "LifecycleWorld.h"
#include "SettingsKeys.h"

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct RestoreCase {
    const char* name;
    std::optional<QString> stored;
    QStringList deleted;
    QStringList expectedLines;

    friend void PrintTo(const RestoreCase& restore, std::ostream* out) { *out << restore.name; }
};

class RestoreTest : public testing::Test,
                    protected LifecycleWorld,
                    public testing::WithParamInterface<RestoreCase> {
protected:
    OrphanCleanup orphanCleanup{registration, notifier, log};
    LaunchSequence launch{defaults, persistence, registration, notifier, orphanCleanup, log};
};

TEST_P(RestoreTest, SelectsTheStoredProfileOrElseTheFirst) {
    if (GetParam().stored) {
        defaults.setValue(SettingsKeys::selectedProfileID, *GetParam().stored);
    }
    defaults.setValue(SettingsKeys::deletedBuiltInProfiles, GetParam().deleted);
    launch.servicesRegistered(service, profiles);
    EXPECT_EQ(lines, GetParam().expectedLines);
    const std::optional<ThrottleProfile>& selected = service.state().selectedProfile;
    EXPECT_EQ(selected.has_value(), !lines.isEmpty());
    EXPECT_TRUE(!selected || lines.constFirst().endsWith(selected->name));
}

QStringList allBuiltInIds() {
    QStringList ids;
    for (const ThrottleProfile& profile : ThrottleProfile::Preset::profiles()) {
        ids << ThrottleProfile::idText(profile.id());
    }
    return ids;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RestoreTest,
    testing::Values(
        RestoreCase{"stored", LifecycleWorld::edgeId, {}, {"Restored selected profile: Edge"}},
        RestoreCase{"deleted",
                    LifecycleWorld::edgeId,
                    {LifecycleWorld::edgeId},
                    {"No saved profile, defaulting to: 100% Loss"}},
        RestoreCase{"noProfiles", std::nullopt, allBuiltInIds(), {}}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
