// SPDX-License-Identifier: MIT
#pragma once

#include <QLatin1StringView>
#include <QVariant>

// Every key of the user's settings. Readers of a key that was never written
// get the default of defaultValue(), an invalid QVariant where there is none.
namespace SettingsKeys {

inline constexpr QLatin1StringView selectedProfileID{"selectedProfileID"};
inline constexpr QLatin1StringView wasEnabledOnQuit{"wasEnabledOnQuit"};
inline constexpr QLatin1StringView hasCompletedOnboarding{"hasCompletedOnboarding"};
inline constexpr QLatin1StringView autoDisableEnabled{"autoDisableEnabled"};
inline constexpr QLatin1StringView autoDisableMinutes{"autoDisableMinutes"};
inline constexpr QLatin1StringView autoDisableOnQuit{"autoDisableOnQuit"};
inline constexpr QLatin1StringView showNotifications{"showNotifications"};
inline constexpr QLatin1StringView launchAtLogin{"launchAtLogin"};
inline constexpr QLatin1StringView defaultProfileID{"defaultProfileID"};
inline constexpr QLatin1StringView profileVisibilityOverrides{"profileVisibilityOverrides"};
inline constexpr QLatin1StringView deletedBuiltInProfiles{"deletedBuiltInProfiles"};

QVariant defaultValue(QStringView key);

} // namespace SettingsKeys
