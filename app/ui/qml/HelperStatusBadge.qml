// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The helper's state as a tinted capsule of a word or two; what it means
// is said beside it.
Rectangle {
    id: badge

    required property int status
    required property string text

    readonly property color tint: {
        switch (status) {
        case HelperSettingsModel.Installed: return Theme.activeText
        case HelperSettingsModel.NotInstalled: return Theme.systemRed
        case HelperSettingsModel.NoSystemBus:
        case HelperSettingsModel.NotResponding:
        case HelperSettingsModel.Error: return Theme.warningOrange
        default: return Theme.ink
        }
    }
    readonly property bool checking: status === HelperSettingsModel.Checking

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
            text: badge.text
            color: badge.checking ? Theme.secondaryText : badge.tint
            font.pixelSize: Theme.labelSize
        }
    }
}
