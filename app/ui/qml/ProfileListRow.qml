// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// One profile of the profile list: its menu switch, its name over its
// statistics chips and the traffic it is kept to, and the row menu.
Rectangle {
    id: row

    required property ProfileListViewModel viewModel
    required property string profileId
    required property string name
    required property bool showInMenu
    required property var chips
    required property string toggleLabel
    // Empty for a profile of all traffic.
    required property string scope
    // A profile for an application: its name and icon; empty otherwise.
    required property string applicationName
    required property string applicationIconName

    width: parent ? parent.width : 0
    implicitHeight: Math.max(nameColumn.implicitHeight, menuButton.height) + 20
    color: hover.hovered ? Theme.inkAt(0.03) : "transparent"

    HoverHandler { id: hover }

    ToggleSwitch {
        id: visibilitySwitch
        objectName: "visibility-" + row.name
        x: 14
        anchors.verticalCenter: parent.verticalCenter
        isOn: row.showInMenu
        Accessible.name: row.toggleLabel
        onClicked: row.viewModel.toggleVisibility(row.profileId)
    }

    Column {
        id: nameColumn
        x: 58
        anchors.verticalCenter: parent.verticalCenter
        width: menuButton.x - x - 8
        spacing: 3

        Text {
            objectName: "name-" + row.name
            width: parent.width
            text: row.name
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: row.showInMenu ? Theme.primaryText : Theme.tertiaryText
            font.pixelSize: Theme.bodySize
            font.weight: Font.Medium
        }
        Row {
            spacing: 10
            visible: row.chips.length > 0

            Repeater {
                model: row.chips
                Row {
                    id: chip
                    required property var modelData
                    spacing: 3

                    Text {
                        anchors.baseline: value.baseline
                        text: chip.modelData.symbol
                        color: Theme.statTints[chip.modelData.kind]
                        font.pixelSize: Theme.captionSize
                    }
                    Text {
                        id: value
                        text: chip.modelData.value
                        color: Theme.statTints[chip.modelData.kind]
                        font.pixelSize: Theme.smallSize
                    }
                }
            }
        }
        ProfileScopeLine {
            width: parent.width
            visible: row.scope !== ""
            text: row.scope
            applicationName: row.applicationName
            iconName: row.applicationIconName
        }
    }

    T.AbstractButton {
        id: menuButton
        objectName: "menu-" + row.name
        x: row.width - width - 14
        anchors.verticalCenter: parent.verticalCenter
        width: 26
        height: 26
        hoverEnabled: true
        Accessible.name: "Actions for " + row.name

        FocusRing {
            anchors.margins: 0
            shown: menuButton.visualFocus
        }
        onClicked: {
            // Below the button, or above it where the window ends.
            const bottom = menuButton.mapToItem(null, 0, menuButton.height).y
            menu.y = bottom + menu.implicitHeight + 10 <= menuButton.Window.height
                     ? menuButton.height + 2 : -menu.implicitHeight - 2
            menu.open()
        }

        background: Rectangle {
            radius: 6
            color: menuButton.hovered || menu.visible ? Theme.inkAt(0.06) : "transparent"
        }
        // The "ellipsis" symbol, three dots.
        contentItem: Item {
            Row {
                anchors.centerIn: parent
                spacing: 2.5
                Repeater {
                    model: 3
                    Rectangle {
                        width: 3
                        height: 3
                        radius: 1.5
                        color: Theme.inkAt(0.35)
                    }
                }
            }
        }

        ProfileRowMenu {
            id: menu
            x: menuButton.width - width
            onChosen: action => row.viewModel.handleProfileAction(action, row.profileId)
        }
    }
}
