// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick

// A settings row: a switch and its label. The switch shows `checked` and
// reports a tap with the value it asks for.
Item {
    id: row

    property alias label: labelText.text
    property bool checked
    signal toggled(bool on)

    width: parent ? parent.width : 0
    implicitHeight: Math.max(toggle.implicitHeight, labelText.implicitHeight) + 20

    ToggleSwitch {
        id: toggle
        objectName: row.objectName + "Switch"
        large: true
        x: 14
        anchors.verticalCenter: parent.verticalCenter
        isOn: row.checked
        Accessible.name: row.label
        onClicked: row.toggled(!row.checked)
    }
    Text {
        id: labelText
        anchors.left: toggle.right
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.rightMargin: 14
        anchors.verticalCenter: parent.verticalCenter
        elide: Text.ElideRight
        color: Theme.inkAt(0.85)
        font.pixelSize: Theme.bodySize
        Accessible.ignored: true
    }
}
