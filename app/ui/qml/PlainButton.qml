// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// A quiet bordered button: a label on a faint rounded fill.
T.Button {
    id: control

    property color textColor: Theme.inkAt(0.85)
    property int fontSize: Theme.buttonSize
    property int fontWeight: Font.Medium

    implicitWidth: implicitContentWidth + leftPadding + rightPadding
    implicitHeight: Math.max(Theme.buttonHeight, implicitContentHeight + topPadding + bottomPadding)
    leftPadding: 12
    rightPadding: 12
    topPadding: 5
    bottomPadding: 5
    opacity: enabled ? 1 : 0.5
    hoverEnabled: true

    background: Rectangle {
        radius: 6
        color: Theme.inkAt(control.down ? 0.14 : control.hovered ? 0.1 : 0.08)
        border.width: 1
        border.color: Theme.inkAt(0.1)
    }

    contentItem: Text {
        text: control.text
        color: control.textColor
        font.pixelSize: control.fontSize
        font.weight: control.fontWeight
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }

    FocusRing {
        shown: control.visualFocus
    }
}
