// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Updates: scheduled checks and a check right now.
Column {
    id: section

    required property UpdateSettingsModel updates

    spacing: 4

    SectionLabel {
        text: "Updates"
    }
    Card {
        width: parent.width

        ToggleRow {
            objectName: "automaticUpdates"
            label: "Check for Updates Automatically"
            checked: section.updates.automaticallyChecks
            onToggled: on => section.updates.automaticallyChecks = on
        }
        SeparatorLine {}
        Item {
            width: parent.width
            implicitHeight: checkNow.implicitHeight + 20

            Text {
                x: 14
                anchors.verticalCenter: parent.verticalCenter
                text: "Check for Updates"
                color: Theme.inkAt(0.85)
                font.pixelSize: Theme.bodySize
            }
            BorderedButton {
                id: checkNow
                objectName: "checkNowButton"
                x: parent.width - width - 14
                anchors.verticalCenter: parent.verticalCenter
                text: "Check Now"
                enabled: section.updates.canCheck
                onClicked: section.updates.checkNow()
            }
        }
    }
}
