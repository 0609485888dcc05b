// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// One condition of the editor: its label and switch, and while switched on
// its input, which fades in and out, with the field's message under it.
Column {
    id: condition

    property string title
    property bool isOn: false
    property bool editable: true
    property string message
    default property alias input: holder.data
    // 0 hidden, 1 shown, animated between.
    property real reveal: isOn ? 1 : 0

    signal toggled()

    width: parent ? parent.width : 0
    spacing: 8

    Behavior on reveal {
        NumberAnimation { duration: Theme.switchDuration; easing.type: Easing.InOutQuad }
    }

    Item {
        width: parent.width
        height: Math.max(label.implicitHeight, toggle.implicitHeight)

        Text {
            id: label
            anchors.verticalCenter: parent.verticalCenter
            text: condition.title
            color: Theme.inkAt(0.85)
            font.pixelSize: Theme.bodySize
        }
        ToggleSwitch {
            id: toggle
            objectName: condition.objectName + "Switch"
            anchors.right: parent.right
            anchors.verticalCenter: parent.verticalCenter
            isOn: condition.isOn
            enabled: condition.editable
            Accessible.name: condition.title
            onClicked: condition.toggled()
        }
    }

    Item {
        width: parent.width
        height: condition.reveal * holder.childrenRect.height
        visible: condition.reveal > 0
        opacity: condition.reveal
        clip: true

        Item {
            id: holder
            width: parent.width
            height: childrenRect.height
        }
    }

    Text {
        width: parent.width
        visible: condition.isOn && condition.message !== ""
        text: condition.message
        wrapMode: Text.WordWrap
        color: Theme.errorRed
        font.pixelSize: Theme.smallSize
    }
}
