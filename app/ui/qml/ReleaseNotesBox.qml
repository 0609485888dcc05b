// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick

// Release notes in a scrolling box. The notes arrive as styled text without
// images or links, so showing them loads and runs nothing.
Rectangle {
    id: root

    required property string notes

    radius: 6
    color: Theme.textBackground
    border.color: Theme.inkAt(0.12)
    clip: true

    Flickable {
        id: flickable
        anchors.fill: parent
        anchors.margins: 10
        contentWidth: width
        contentHeight: text.implicitHeight
        boundsBehavior: Flickable.StopAtBounds

        Text {
            id: text
            width: flickable.width
            text: root.notes
            textFormat: Text.StyledText
            wrapMode: Text.WordWrap
            color: Theme.inkAt(0.85)
            font.pixelSize: Theme.smallSize
        }
    }
}
