// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T

// An ordinary button: ink text on a faint rounded fill. `tint` colours a
// prominent one (white text on the tint), e.g. a destructive confirmation.
T.Button {
    id: control

    property color tint: "transparent"
    readonly property bool tinted: tint.a > 0
    property int fontSize: Theme.labelSize

    implicitWidth: Math.max(implicitContentWidth + 2 * horizontalPadding, 60)
    implicitHeight: Math.max(Theme.buttonHeight, implicitContentHeight + 2 * verticalPadding)
    horizontalPadding: 12
    verticalPadding: 4
    hoverEnabled: true
    opacity: enabled ? 1 : 0.45

    background: Rectangle {
        radius: 6
        color: control.tinted ? control.tint : Theme.inkAt(control.down ? 0.16 : control.hovered ? 0.12 : 0.08)
        border.color: control.tinted ? "transparent" : Theme.inkAt(0.06)

        Rectangle {
            anchors.fill: parent
            radius: parent.radius
            visible: control.tinted && control.down
            color: Qt.rgba(0, 0, 0, 0.15)
        }
    }

    contentItem: Text {
        text: control.text
        color: control.tinted ? "white" : Theme.inkAt(0.85)
        font.pixelSize: control.fontSize
        font.weight: control.tinted ? Font.DemiBold : Font.Normal
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    FocusRing {
        shown: control.visualFocus
    }
}
