// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T

// The ordinary push button beside an AccentButton: ink text on a faint
// filled, outlined shape.
T.Button {
    id: control

    implicitWidth: Math.max(implicitContentWidth + 28, 80)
    implicitHeight: implicitContentHeight + 14
    opacity: enabled ? 1 : 0.5

    background: Rectangle {
        radius: 6
        color: Theme.inkAt(control.down ? 0.14 : 0.06)
        border.color: Theme.inkAt(0.12)
    }

    contentItem: Text {
        text: control.text
        color: Theme.inkAt(0.85)
        font.pixelSize: Theme.bodySize
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
    }
}
