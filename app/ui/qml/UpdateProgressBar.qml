// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick

// A thin progress bar; when the amount is unknown, a segment sweeps across,
// only while `running`.
Item {
    id: root

    property bool running: false
    property bool indeterminate: false
    property real progress: 0

    implicitHeight: 6

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Theme.inkAt(0.1)
        clip: true

        Rectangle {
            id: fill
            height: parent.height
            radius: height / 2
            width: root.indeterminate ? parent.width / 4 : parent.width * root.progress
            color: Theme.accentBottom

            NumberAnimation on x {
                running: root.running && root.indeterminate && root.visible
                from: -fill.width
                to: root.width
                duration: Theme.sweepDuration
                loops: Animation.Infinite
            }
        }
    }
}
