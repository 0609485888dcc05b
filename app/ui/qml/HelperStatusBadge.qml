// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The helper's registration state as a tinted capsule.
Rectangle {
    id: badge

    required property int status
    required property string text

    readonly property color tint: {
        switch (status) {
        case SettingsViewModel.Installed: return Theme.activeGreen
        case SettingsViewModel.NotInstalled: return Theme.systemRed
        case SettingsViewModel.RequiresApproval:
        case SettingsViewModel.Error: return Theme.warningOrange
        default: return Theme.ink
        }
    }
    readonly property bool checking: status === SettingsViewModel.Checking

    implicitWidth: content.implicitWidth + 20
    implicitHeight: content.implicitHeight + 10
    radius: Math.min(height / 2, 11)
    color: checking ? Theme.inkAt(0.06) : Qt.rgba(tint.r, tint.g, tint.b, 0.12)

    Row {
        id: content
        x: 10
        y: 5
        spacing: 6

        Spinner {
            visible: badge.checking
            anchors.verticalCenter: parent.verticalCenter
            size: 11
        }
        Text {
            objectName: "helperBadgeText"
            width: Math.min(implicitWidth, 190)
            text: badge.text
            wrapMode: Text.Wrap
            maximumLineCount: 3
            elide: Text.ElideRight
            color: badge.checking ? Theme.inkAt(0.6) : badge.tint
            font.pixelSize: Theme.labelSize
        }
    }
}
