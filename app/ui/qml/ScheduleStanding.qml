// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Where the card's schedule stands: "2 of 3 · Outage · 4 s left" and, when
// its profile is known, a picture of it with a marker at now. The time left
// counts only while the panel shows it.
Column {
    id: standing

    required property ScheduleStandingModel model
    property bool running: true
    // The list of throttles tells each one's phase when it is shown.
    property bool showsLine: true

    objectName: "scheduleStanding"
    visible: (showsLine && model.isShown) || model.showsPicture
    spacing: 4

    Text {
        objectName: "schedulePhase"
        width: parent.width
        visible: standing.showsLine && standing.model.isShown
        text: standing.model.text
        textFormat: Text.PlainText
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
        elide: Text.ElideRight
    }
    SchedulePicture {
        width: parent.width
        visible: standing.model.showsPicture
        model: standing.model
    }

    Timer {
        interval: 1000
        repeat: true
        running: standing.running && standing.visible
        onRunningChanged: {
            if (running)
                standing.model.tick()
        }
        onTriggered: standing.model.tick()
    }
}
