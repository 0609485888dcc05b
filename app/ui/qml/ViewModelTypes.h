// SPDX-License-Identifier: MIT
#pragma once

// The view models, known to QML by name. They are created in C++ and handed
// to the views as required properties, never created from QML.
#include "AboutViewModel.h"
#include "OnboardingViewModel.h"
#include "ProfileListRows.h"
#include "ProfileListViewModel.h"
#include "SettingsViewModel.h"

#include <QtQml/qqml.h>

struct AboutViewModelForeign {
    Q_GADGET
    QML_FOREIGN(AboutViewModel)
    QML_NAMED_ELEMENT(AboutViewModel)
    QML_UNCREATABLE("Created by the application")
};

// The profile list, settings and onboarding windows.
struct ProfileListViewModelForeign {
    Q_GADGET
    QML_FOREIGN(ProfileListViewModel)
    QML_NAMED_ELEMENT(ProfileListViewModel)
    QML_UNCREATABLE("Created by the application")
};

struct ProfileListRowsForeign {
    Q_GADGET
    QML_FOREIGN(ProfileListRows)
    QML_NAMED_ELEMENT(ProfileListRows)
    QML_UNCREATABLE("Owned by ProfileListViewModel")
};

struct SettingsViewModelForeign {
    Q_GADGET
    QML_FOREIGN(SettingsViewModel)
    QML_NAMED_ELEMENT(SettingsViewModel)
    QML_UNCREATABLE("Created by the application")
};

struct OnboardingViewModelForeign {
    Q_GADGET
    QML_FOREIGN(OnboardingViewModel)
    QML_NAMED_ELEMENT(OnboardingViewModel)
    QML_UNCREATABLE("Created by the application")
};
