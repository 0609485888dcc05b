// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The time left before auto-disable. Counts while its section is on screen
// and starts afresh each time it comes back.
Text {
    id: countdown

    required property AutoOffCountdownModel model
    property bool running: true

    objectName: "countdown"
    visible: model.isShown
    text: model.text
    color: Theme.tertiaryText
    font.pixelSize: Theme.captionSize
    font.family: Theme.figuresFamily

    Timer {
        interval: 1000
        repeat: true
        running: countdown.running
        onRunningChanged: {
            if (running)
                countdown.model.appear()
        }
        onTriggered: countdown.model.updateRemaining()
    }
}
