// SPDX-License-Identifier: MIT
#pragma once

// The view models, known to QML by name. They are created in C++ and handed
// to the views as required properties, never created from QML.
#include "AboutViewModel.h"
#include "AutoDisableSettingsModel.h"
#include "GeneralSettingsModel.h"
#include "HelperSettingsModel.h"
#include "OnboardingViewModel.h"
#include "ProfileListRows.h"
#include "ProfileListViewModel.h"
#include "SettingsViewModel.h"
#include "SoftwareUpdateViewModel.h"
#include "UpdateSettingsModel.h"

#include <QtQml/qqml.h>

struct AboutViewModelForeign {
    Q_GADGET
    QML_FOREIGN(AboutViewModel)
    QML_NAMED_ELEMENT(AboutViewModel)
    QML_UNCREATABLE("Created by the application")
};

struct SoftwareUpdateViewModelForeign {
    Q_GADGET
    QML_FOREIGN(SoftwareUpdateViewModel)
    QML_NAMED_ELEMENT(SoftwareUpdateViewModel)
    QML_UNCREATABLE("Created by the application")
};

// The menu bar panel and the profile editor.
#include "AdvancedConditionsModel.h"
#include "ApplicationChoiceModel.h"
#include "AutoOffCountdownModel.h"
#include "CompactStatsLineModel.h"
#include "LaunchThrottledModel.h"
#include "LiveStatisticsModel.h"
#include "MenuBarViewModel.h"
#include "PanelApplications.h"
#include "PanelHelperWarning.h"
#include "PanelProfileRows.h"
#include "ProfileEditorViewModel.h"
#include "ProfileRowsModel.h"
#include "ScheduleEditorModel.h"
#include "SchedulePhaseRows.h"
#include "ScheduleStandingModel.h"

struct MenuBarViewModelForeign {
    Q_GADGET
    QML_FOREIGN(MenuBarViewModel)
    QML_NAMED_ELEMENT(MenuBarViewModel)
    QML_UNCREATABLE("Created by the application")
};

struct LaunchThrottledModelForeign {
    Q_GADGET
    QML_FOREIGN(LaunchThrottledModel)
    QML_NAMED_ELEMENT(LaunchThrottledModel)
    QML_UNCREATABLE("Created by the application")
};

struct CompactStatsLineModelForeign {
    Q_GADGET
    QML_FOREIGN(CompactStatsLineModel)
    QML_NAMED_ELEMENT(CompactStatsLineModel)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct PanelApplicationsForeign {
    Q_GADGET
    QML_FOREIGN(PanelApplications)
    QML_NAMED_ELEMENT(PanelApplications)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct ApplicationPickerModelForeign {
    Q_GADGET
    QML_FOREIGN(ApplicationPickerModel)
    QML_NAMED_ELEMENT(ApplicationPickerModel)
    QML_UNCREATABLE("Part of PanelApplications")
};

struct LiveStatisticsModelForeign {
    Q_GADGET
    QML_FOREIGN(LiveStatisticsModel)
    QML_NAMED_ELEMENT(LiveStatisticsModel)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct AutoOffCountdownModelForeign {
    Q_GADGET
    QML_FOREIGN(AutoOffCountdownModel)
    QML_NAMED_ELEMENT(AutoOffCountdownModel)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct ProfileRowsModelForeign {
    Q_GADGET
    QML_FOREIGN(ProfileRowsModel)
    QML_NAMED_ELEMENT(ProfileRowsModel)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct AdvancedConditionsModelForeign {
    Q_GADGET
    QML_FOREIGN(AdvancedConditionsModel)
    QML_NAMED_ELEMENT(AdvancedConditionsModel)
    QML_UNCREATABLE("Part of ProfileEditorFields")
};

struct ScheduleStandingModelForeign {
    Q_GADGET
    QML_FOREIGN(ScheduleStandingModel)
    QML_NAMED_ELEMENT(ScheduleStandingModel)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct ScheduleEditorModelForeign {
    Q_GADGET
    QML_FOREIGN(ScheduleEditorModel)
    QML_NAMED_ELEMENT(ScheduleEditorModel)
    QML_UNCREATABLE("Part of ProfileEditorViewModel")
};

struct SchedulePhaseRowsForeign {
    Q_GADGET
    QML_FOREIGN(SchedulePhaseRows)
    QML_NAMED_ELEMENT(SchedulePhaseRows)
    QML_UNCREATABLE("Part of ScheduleEditorModel")
};

struct PanelHelperWarningForeign {
    Q_GADGET
    QML_FOREIGN(PanelHelperWarning)
    QML_NAMED_ELEMENT(PanelHelperWarning)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct PanelProfileRowsForeign {
    Q_GADGET
    QML_FOREIGN(PanelProfileRows)
    QML_NAMED_ELEMENT(PanelProfileRows)
    QML_UNCREATABLE("Part of MenuBarViewModel")
};

struct ProfileEditorViewModelForeign {
    Q_GADGET
    QML_FOREIGN(ProfileEditorViewModel)
    QML_NAMED_ELEMENT(ProfileEditorViewModel)
    QML_UNCREATABLE("Created by the application")
};

struct ProfileEditorFieldsForeign {
    Q_GADGET
    QML_FOREIGN(ProfileEditorFields)
    QML_NAMED_ELEMENT(ProfileEditorFields)
    QML_UNCREATABLE("Part of ProfileEditorViewModel")
};

struct ProfileEditorMessagesForeign {
    Q_GADGET
    QML_FOREIGN(ProfileEditorMessages)
    QML_NAMED_ELEMENT(ProfileEditorMessages)
    QML_UNCREATABLE("Part of ProfileEditorViewModel")
};

struct ApplicationChoiceModelForeign {
    Q_GADGET
    QML_FOREIGN(ApplicationChoiceModel)
    QML_NAMED_ELEMENT(ApplicationChoiceModel)
    QML_UNCREATABLE("Part of ProfileEditorFields")
};

struct PacketLossSliderModelForeign {
    Q_GADGET
    QML_FOREIGN(PacketLossSliderModel)
    QML_NAMED_ELEMENT(PacketLossSliderModel)
    QML_UNCREATABLE("Part of ProfileEditorViewModel")
};

struct ProfileEditorActionsForeign {
    Q_GADGET
    QML_FOREIGN(ProfileEditorActions)
    QML_NAMED_ELEMENT(ProfileEditorActions)
    QML_UNCREATABLE("Part of ProfileEditorViewModel")
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

struct GeneralSettingsModelForeign {
    Q_GADGET
    QML_FOREIGN(GeneralSettingsModel)
    QML_NAMED_ELEMENT(GeneralSettingsModel)
    QML_UNCREATABLE("Part of SettingsViewModel")
};

struct AutoDisableSettingsModelForeign {
    Q_GADGET
    QML_FOREIGN(AutoDisableSettingsModel)
    QML_NAMED_ELEMENT(AutoDisableSettingsModel)
    QML_UNCREATABLE("Part of SettingsViewModel")
};

struct UpdateSettingsModelForeign {
    Q_GADGET
    QML_FOREIGN(UpdateSettingsModel)
    QML_NAMED_ELEMENT(UpdateSettingsModel)
    QML_UNCREATABLE("Part of SettingsViewModel")
};

struct HelperSettingsModelForeign {
    Q_GADGET
    QML_FOREIGN(HelperSettingsModel)
    QML_NAMED_ELEMENT(HelperSettingsModel)
    QML_UNCREATABLE("Part of SettingsViewModel")
};

struct OnboardingViewModelForeign {
    Q_GADGET
    QML_FOREIGN(OnboardingViewModel)
    QML_NAMED_ELEMENT(OnboardingViewModel)
    QML_UNCREATABLE("Created by the application")
};
