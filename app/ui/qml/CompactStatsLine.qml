// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// One line about the running throttle, its elapsed time ticking once a
// second while it is on screen. The time always stays on the line: the
// conditions give way, first to their short form, then to an ellipsis.
Item {
    id: line

    required property CompactStatsLineModel model
    property bool running: true

    objectName: "statsLine"
    implicitHeight: duration.implicitHeight
    // Read as one sentence in full, never as the two variants of the
    // conditions' text.
    Accessible.role: Accessible.StaticText
    Accessible.name: model.text

    Text {
        id: conditions
        objectName: "statsConditions"
        Accessible.ignored: true
        width: Math.min(implicitWidth, line.width - duration.implicitWidth)
        text: line.model.conditions
        textFormat: Text.PlainText
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
        elide: Text.ElideRight
    }
    Text {
        id: duration
        objectName: "statsDuration"
        Accessible.ignored: true
        // After the variant that fits, not after the widest one.
        x: Math.min(conditions.contentWidth, conditions.width)
        text: " · " + line.model.displayDuration
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
    }

    Timer {
        interval: 1000
        repeat: true
        triggeredOnStart: true
        running: line.running
        onTriggered: line.model.updateDuration()
    }
}
