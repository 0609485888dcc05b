// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// A condition without a switch: its label and a line on what it does, the
// number with its unit beside them, and the field's message under it.
Column {
    id: row

    property string title
    property string caption
    property alias value: input.value
    property alias suffix: input.suffix
    property bool editable: true
    property string message

    signal valueEdited(string value)

    width: parent ? parent.width : 0
    spacing: 6

    Item {
        width: parent.width
        height: Math.max(labels.implicitHeight, input.implicitHeight)

        Column {
            id: labels
            anchors.left: parent.left
            anchors.right: input.left
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            spacing: 2

            Text {
                width: parent.width
                text: row.title
                elide: Text.ElideRight
                color: Theme.inkAt(0.85)
                font.pixelSize: Theme.bodySize
            }
            Text {
                width: parent.width
                text: row.caption
                wrapMode: Text.WordWrap
                color: Theme.secondaryText
                font.pixelSize: Theme.smallSize
            }
        }
        // At one place in every row, whatever the unit's width.
        SuffixInput {
            id: input
            x: parent.width - 94
            anchors.verticalCenter: parent.verticalCenter
            label: row.title
            enabled: row.editable
            onValueEdited: value => row.valueEdited(value)
        }
    }

    Text {
        objectName: "message"
        width: parent.width
        visible: text !== ""
        text: row.message
        wrapMode: Text.WordWrap
        color: Theme.errorRed
        font.pixelSize: Theme.smallSize
    }
}
