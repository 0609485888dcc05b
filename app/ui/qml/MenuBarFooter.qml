// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The foot of the panel: the profile list, the settings, and Quit below a
// divider of its own.
Column {
    id: footer

    required property MenuBarViewModel viewModel

    MenuDivider {
        width: parent.width
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
