// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// One application of a list to pick from (running, or installed to
// launch): its icon, its name over its detail. The current row is the one
// Return picks.
Item {
    id: row

    required property string name
    required property string detail
    required property string iconName
    property bool isCurrent: false
    property bool showsFocus: false

    signal activated()

    implicitWidth: Theme.panelWidth
    implicitHeight: Math.max(icon.height, texts.implicitHeight) + 12
    opacity: enabled ? 1 : Theme.disabledOpacity

    Accessible.role: Accessible.ListItem
    Accessible.name: name
    Accessible.description: detail
    Accessible.selected: isCurrent
    Accessible.onPressAction: row.activated()

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: row.activated()
    }

    Rectangle {
        anchors.fill: parent
        anchors.leftMargin: 6
        anchors.rightMargin: 6
        radius: 6
        color: row.isCurrent ? Theme.inkAt(0.07) : area.containsMouse ? Theme.inkAt(0.04) : "transparent"

        FocusRing {
            anchors.margins: 0
            shown: row.isCurrent && row.showsFocus
        }
    }

    ApplicationIcon {
        id: icon
        x: Theme.panelInset
        anchors.verticalCenter: parent.verticalCenter
        width: 20
        height: 20
        iconName: row.iconName
        name: row.name
        color: Theme.symbolBlue
    }

    Column {
        id: texts
        anchors.left: icon.right
        anchors.leftMargin: 8
        anchors.right: parent.right
        anchors.rightMargin: Theme.panelInset
        anchors.verticalCenter: parent.verticalCenter

        Text {
            width: parent.width
            text: row.name
            // Names come from anyone's desktop entries: never markup.
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: Theme.primaryText
            font.pixelSize: Theme.bodySize
        }
        Text {
            width: parent.width
            text: row.detail
            textFormat: Text.PlainText
            elide: Text.ElideMiddle
            color: Theme.tertiaryText
            font.pixelSize: Theme.smallSize
        }
    }
}
