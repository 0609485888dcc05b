// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The "active" mark of a profile row: a green dot that breathes, only while
// it can be seen.
Rectangle {
    id: dot

    property bool running: true

    implicitWidth: 6
    implicitHeight: 6
    radius: 3
    color: Theme.activeGreen

    SequentialAnimation on opacity {
        running: dot.running && dot.visible
        loops: Animation.Infinite
        NumberAnimation { from: 1.0; to: 0.4; duration: Theme.pulseDuration; easing.type: Easing.InOutQuad }
        NumberAnimation { from: 0.4; to: 1.0; duration: Theme.pulseDuration; easing.type: Easing.InOutQuad }
    }
}
