// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// General: start at login, notifications, disabling on quit, auto-disable.
Column {
    id: section

    required property GeneralSettingsModel general
    required property AutoDisableSettingsModel autoDisable

    spacing: 4

    SectionLabel {
        text: "General"
    }
    Card {
        width: parent.width

        ToggleRow {
            objectName: "launchAtLogin"
            label: "Launch at Login"
            checked: section.general.launchAtLogin
            onToggled: on => section.general.launchAtLogin = on
        }
        SeparatorLine {}
        ToggleRow {
            objectName: "showNotifications"
            label: "Show Notifications"
            checked: section.general.showNotifications
            onToggled: on => section.general.showNotifications = on
        }
        SeparatorLine {}
        ToggleRow {
            objectName: "autoDisableOnQuit"
            label: "Disable Throttling on Quit"
            checked: section.general.autoDisableOnQuit
            onToggled: on => section.general.autoDisableOnQuit = on
        }
        SeparatorLine {}
        ToggleRow {
            objectName: "autoDisable"
            label: "Auto-disable throttling after"
            checked: section.autoDisable.isEnabled
            onToggled: on => section.autoDisable.isEnabled = on
        }
        // The duration and its note slide in under the switch.
        Item {
            id: autoDisableDetails
            objectName: "autoDisableDetails"
            readonly property bool open: section.autoDisable.isEnabled
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
                    choices: section.autoDisable.durationChoices
                    currentIndex: section.autoDisable.durationIndex
                    displayText: section.autoDisable.durationText
                    onActivated: index => section.autoDisable.durationIndex = index
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
