// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The foot of the panel: throttling one application, running or launched,
// the profile list, the settings, and Quit below a divider of its own.
Column {
    id: footer

    required property MenuBarViewModel viewModel

    signal applicationsRequested()
    signal launchRequested()

    MenuDivider {
        width: parent.width
    }
    MenuActionRow {
        objectName: "onlyAnApplication"
        width: parent.width
        enabled: !footer.viewModel.isToggleDisabled
        symbol: "square.grid.2x2"
        label: "Only an Application…"
        onClicked: footer.applicationsRequested()
    }
    MenuActionRow {
        objectName: "launchThrottledRow"
        width: parent.width
        enabled: !footer.viewModel.isToggleDisabled
        symbol: "play.circle"
        label: "Launch Throttled…"
        onClicked: footer.launchRequested()
    }
    MenuActionRow {
        objectName: "manageProfiles"
        width: parent.width
        symbol: "slider.horizontal.3"
        label: "Manage Profiles…"
        onClicked: footer.viewModel.openProfileList()
    }
    MenuActionRow {
        objectName: "settings"
        width: parent.width
        symbol: "gearshape"
        label: "Settings"
        onClicked: footer.viewModel.openSettings()
    }
    MenuDivider {
        width: parent.width
        spacing: 4
    }
    MenuActionRow {
        objectName: "quit"
        width: parent.width
        symbol: "power"
        label: "Quit"
        isDestructive: true
        onClicked: footer.viewModel.quitApp()
    }
}
