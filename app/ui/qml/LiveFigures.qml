// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// What the shaping does right now, a line per direction, asked of the helper
// once a second while it is on screen and never otherwise. A line too long
// for a large desktop font wraps between its parts rather than hide a figure.
Column {
    id: figures

    required property LiveStatisticsModel model
    property bool running: true

    objectName: "liveFigures"
    spacing: 2

    Text {
        objectName: "liveDownload"
        width: parent.width
        visible: text.length > 0
        text: figures.model.downloadText
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
        Accessible.role: Accessible.StaticText
        Accessible.name: figures.model.downloadDescription
    }
    Text {
        objectName: "liveUpload"
        width: parent.width
        visible: text.length > 0
        text: figures.model.uploadText
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: Theme.secondaryText
        font.pixelSize: Theme.smallSize
        font.family: Theme.figuresFamily
        Accessible.role: Accessible.StaticText
        Accessible.name: figures.model.uploadDescription
    }

    Timer {
        interval: 1000
        repeat: true
        triggeredOnStart: true
        running: figures.running
        onTriggered: figures.model.refresh()
    }
}
