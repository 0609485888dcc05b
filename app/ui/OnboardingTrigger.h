// SPDX-License-Identifier: MIT
#pragma once

#include "SettingsKeys.h"
#include "UserDefaults.h"
#include "WindowNavigator.h"

// Opens the onboarding window once in the life of the application, and
// never once the user has completed onboarding.
class OnboardingTrigger final {
public:
    OnboardingTrigger(UserDefaults& defaults, WindowNavigator& navigator)
        : m_defaults(defaults)
        , m_navigator(navigator) {}

    // Called when the tray entry appears.
    void appear() {
        if (!m_hasTriggered && !m_defaults.boolValue(SettingsKeys::hasCompletedOnboarding)) {
            m_hasTriggered = true;
            m_navigator.openWindow(WindowNavigator::onboarding);
        }
    }

private:
    UserDefaults& m_defaults;
    WindowNavigator& m_navigator;
    bool m_hasTriggered = false;
};
