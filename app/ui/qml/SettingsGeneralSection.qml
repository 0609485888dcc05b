// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// General: start at login, notifications, disabling on quit, auto-disable.
Column {
    id: section

    required property SettingsViewModel viewModel

    spacing: 4

    SectionLabel {
        text: "General"
    }
    Card {
        width: parent.width

        ToggleRow {
            objectName: "launchAtLogin"
            label: "Launch at Login"
            checked: section.viewModel.launchAtLogin
            onToggled: on => section.viewModel.launchAtLogin = on
        }
        SeparatorLine {}
        ToggleRow {
            objectName: "showNotifications"
            label: "Show Notifications"
            checked: section.viewModel.showNotifications
            onToggled: on => section.viewModel.showNotifications = on
        }
        SeparatorLine {}
        ToggleRow {
            objectName: "autoDisableOnQuit"
            label: "Disable Throttling on Quit"
            checked: section.viewModel.autoDisableOnQuit
            onToggled: on => section.viewModel.autoDisableOnQuit = on
        }
        SeparatorLine {}
        ToggleRow {
            objectName: "autoDisable"
            label: "Auto-disable throttling after"
            checked: section.viewModel.autoDisableEnabled
            onToggled: on => section.viewModel.autoDisableEnabled = on
        }
        // The duration and its note slide in under the switch.
        Item {
            id: autoDisableDetails
            objectName: "autoDisableDetails"
            readonly property bool open: section.viewModel.autoDisableEnabled
            width: parent.width
            height: open ? details.implicitHeight : 0
            opacity: open ? 1 : 0
            clip: true
            Behavior on height { NumberAnimation { duration: Theme.switchDuration; easing.type: Easing.InOutQuad } }
            Behavior on opacity { NumberAnimation { duration: Theme.switchDuration } }

            Column {
                id: details
                x: 62
                y: autoDisableDetails.open ? 0 : -8
                spacing: 6
                bottomPadding: 12
                Behavior on y { NumberAnimation { duration: Theme.switchDuration } }

                DurationPicker {
                    objectName: "durationPicker"
                    choices: section.viewModel.durationChoices
                    currentIndex: section.viewModel.durationIndex
                    displayText: section.viewModel.durationText
                    onActivated: index => section.viewModel.durationIndex = index
                }
                Text {
                    objectName: "autoDisableNote"
                    text: "A notification will be shown before auto-disable."
                    color: Theme.tertiaryText
                    font.pixelSize: Theme.smallSize
                }
            }
        }
    }
}
