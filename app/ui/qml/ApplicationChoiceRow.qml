// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// One installed application the profile may be for: its icon, its name
// over its desktop id, and a check mark while it is the chosen one. A
// radio button to a screen reader; a tap chooses it, and so do Space and
// Return once the arrow keys have brought the focus here.
Item {
    id: row

    required property int index
    required property string name
    required property string iconName
    // The desktop id, or that it is not installed.
    required property string detail
    required property bool isChosen

    signal chosen()

    implicitHeight: Math.max(texts.implicitHeight, icon.height) + 10

    Keys.onSpacePressed: row.chosen()
    Keys.onReturnPressed: row.chosen()
    Keys.onEnterPressed: row.chosen()

    Accessible.role: Accessible.RadioButton
    Accessible.name: name
    Accessible.description: detail
    Accessible.checkable: true
    Accessible.checked: isChosen
    Accessible.focusable: true
    Accessible.onPressAction: row.chosen()
    Accessible.onToggleAction: row.chosen()

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: row.chosen()
    }

    Rectangle {
        anchors.fill: parent
        anchors.margins: 2
        radius: 4
        color: row.isChosen ? Theme.inkAt(0.06) : area.containsMouse ? Theme.inkAt(0.04) : "transparent"

        // Inside the row: the list clips what lies outside it.
        FocusRing {
            anchors.margins: 0
            radius: 4
            shown: row.activeFocus
        }
    }

    ApplicationIcon {
        id: icon
        x: 8
        anchors.verticalCenter: parent.verticalCenter
        width: Theme.scaled(20)
        height: width
        iconName: row.iconName
        name: row.name
        color: Theme.secondaryText
    }

    Column {
        id: texts
        anchors.left: icon.right
        anchors.leftMargin: 8
        anchors.right: mark.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter

        Text {
            // Names come from anyone's files: never markup.
            width: parent.width
            text: row.name
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: Theme.primaryText
            font.pixelSize: Theme.bodySize
            font.weight: row.isChosen ? Font.DemiBold : Font.Normal
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

    SymbolIcon {
        id: mark
        anchors.right: parent.right
        anchors.rightMargin: 10
        anchors.verticalCenter: parent.verticalCenter
        width: 10
        height: 10
        visible: row.isChosen
        name: "checkmark"
        color: Theme.activeText
    }
}
