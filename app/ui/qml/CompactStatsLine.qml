// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// One line about the running throttle, its elapsed time ticking once a
// second while it is on screen.
Text {
    id: line

    required property CompactStatsLineModel model
    property bool running: true

    objectName: "statsLine"
    text: model.text
    color: Theme.inkAt(0.6)
    font.pixelSize: Theme.smallSize
    wrapMode: Text.WordWrap

    Timer {
        interval: 1000
        repeat: true
        triggeredOnStart: true
        running: line.running
        onTriggered: line.model.updateDuration()
    }
}
