// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// The menu of a profile row: Edit…, Duplicate, a divider, Delete.
T.Popup {
    id: menu

    signal chosen(int action)

    width: 160
    // Fixed, so that the row can place the menu before it is shown (a
    // column of hidden items measures nothing).
    implicitHeight: 3 * entryHeight + 1 + topPadding + bottomPadding
    readonly property int entryHeight: 24
    padding: 5
    // Kept inside the window, above the button when there is no room below.
    margins: 8
    modal: false
    closePolicy: T.Popup.CloseOnEscape | T.Popup.CloseOnPressOutside
    // Opened from the keyboard, the menu takes the focus: Up and Down move
    // through it, Space chooses.
    focus: true

    background: Rectangle {
        radius: 8
        color: Theme.menuBackground
        border.color: Theme.inkAt(0.12)

        // A soft shadow below, as shapes.
        Rectangle {
            z: -1
            x: 1
            y: 3
            width: parent.width - 2
            height: parent.height
            radius: parent.radius
            color: Qt.rgba(0, 0, 0, 0.12)
        }
    }

    contentItem: Column {
        MenuEntry {
            objectName: "menuEdit"
            // Where the keyboard starts when the menu opens.
            focus: true
            text: "Edit…"
            iconName: "pencil"
            onClicked: menu.choose(ProfileListViewModel.Edit)
        }
        MenuEntry {
            objectName: "menuDuplicate"
            text: "Duplicate"
            iconName: "doc.on.doc"
            onClicked: menu.choose(ProfileListViewModel.Duplicate)
        }
        Rectangle {
            x: 6
            width: parent.width - 12
            height: 1
            color: Theme.inkAt(0.1)
        }
        MenuEntry {
            objectName: "menuDelete"
            text: "Delete"
            iconName: "trash"
            destructive: true
            onClicked: menu.choose(ProfileListViewModel.Delete)
        }
    }

    function choose(action: int) {
        close()
        chosen(action)
    }

    component MenuEntry: T.AbstractButton {
        id: entry

        property string iconName
        readonly property color ink: hovered ? "white" : destructive ? Theme.systemRed : Theme.inkAt(0.85)
        property bool destructive: false

        width: parent ? parent.width : 0
        implicitHeight: menu.entryHeight
        hoverEnabled: true
        Keys.onUpPressed: nextItemInFocusChain(false).forceActiveFocus(Qt.TabFocusReason)
        Keys.onDownPressed: nextItemInFocusChain(true).forceActiveFocus(Qt.TabFocusReason)

        FocusRing {
            anchors.margins: 0
            radius: 4
            shown: entry.visualFocus
        }

        background: Rectangle {
            radius: 4
            color: entry.hovered ? Theme.highlight : "transparent"
        }
        contentItem: Row {
            leftPadding: 8
            spacing: 8

            SymbolIcon {
                anchors.verticalCenter: parent.verticalCenter
                width: 13
                height: 13
                name: entry.iconName
                color: entry.ink
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: entry.text
                color: entry.ink
                font.pixelSize: Theme.bodySize
            }
        }
    }
}
