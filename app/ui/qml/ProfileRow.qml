// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// One profile in the panel: the selection mark, the name over its limits
// and the destinations or the application it is kept to, the pulsing dot
// while it runs, and a pencil for the user's own profiles.
// A tap anywhere selects it, and so do Return and Space once Tab or the
// arrow keys have brought the focus here.
Item {
    id: row

    required property string name
    required property string summary
    // Empty for a profile of all traffic.
    required property string scope
    // A profile for an application: its name and icon, shown before the
    // scope; empty otherwise.
    required property string applicationName
    required property string applicationIconName
    // Both in one sentence, for a screen reader.
    required property string description
    required property bool isSelected
    required property bool isActive
    required property bool isEditable
    // The dot pulses only while the panel is on screen.
    property bool animate: true

    signal clicked()
    signal editRequested()

    implicitWidth: Theme.panelWidth
    implicitHeight: Math.max(texts.implicitHeight, mark.height) + 16

    activeFocusOnTab: true
    Keys.onSpacePressed: row.clicked()
    Keys.onReturnPressed: row.clicked()
    Keys.onEnterPressed: row.clicked()

    Accessible.role: Accessible.RadioButton
    Accessible.name: name
    Accessible.description: description
    Accessible.checkable: true
    Accessible.checked: isSelected
    Accessible.onPressAction: row.clicked()
    Accessible.onToggleAction: row.clicked()

    MouseArea {
        id: area
        anchors.fill: parent
        hoverEnabled: true
        onClicked: row.clicked()
    }

    Rectangle {
        anchors.fill: parent
        anchors.leftMargin: 6
        anchors.rightMargin: 6
        radius: 6
        color: row.isSelected ? Theme.inkAt(0.06) : area.containsMouse ? Theme.inkAt(0.04) : "transparent"

        // The row takes the focus from the keyboard only: a click selects
        // without it.
        FocusRing {
            anchors.margins: 0
            shown: row.activeFocus
        }
    }

    Item {
        id: mark
        objectName: row.isSelected ? "selectedMark" : "emptyMark"
        x: Theme.panelInset
        anchors.verticalCenter: parent.verticalCenter
        width: 18
        height: 18

        // The glow under the selected disc, as widening faint rings.
        Repeater {
            model: row.isSelected ? 3 : 0
            Rectangle {
                id: glow
                required property int index
                anchors.centerIn: parent
                width: 18 + 2 * (glow.index + 1)
                height: width
                radius: width / 2
                color: Theme.withAlpha(Theme.activeGreen, 0.3 / (glow.index + 2))
            }
        }
        Rectangle {
            anchors.fill: parent
            radius: width / 2
            color: row.isSelected ? Theme.activeGreen : "transparent"
            border.width: row.isSelected ? 0 : 1.5
            border.color: Theme.inkAt(0.2)
        }
        SymbolIcon {
            anchors.centerIn: parent
            width: 9
            height: 9
            visible: row.isSelected
            name: "checkmark"
            color: "white"
        }
    }

    Column {
        id: texts
        anchors.left: mark.right
        anchors.leftMargin: 10
        anchors.right: trailing.left
        anchors.rightMargin: 8
        anchors.verticalCenter: parent.verticalCenter
        spacing: 1

        Text {
            // Names come from anyone's files, imported ones too: never markup.
            objectName: "profileName"
            width: parent.width
            text: row.name
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: Theme.inkAt(0.85)
            font.pixelSize: Theme.bodySize
            font.weight: row.isSelected ? Font.DemiBold : Font.Normal
        }
        Text {
            width: parent.width
            text: row.summary
            textFormat: Text.PlainText
            elide: Text.ElideRight
            color: Theme.tertiaryText
            font.pixelSize: Theme.smallSize
        }
        ProfileScopeLine {
            width: parent.width
            visible: row.scope !== ""
            text: row.scope
            applicationName: row.applicationName
            iconName: row.applicationIconName
        }
    }

    Row {
        id: trailing
        anchors.right: parent.right
        anchors.rightMargin: Theme.panelInset
        anchors.verticalCenter: parent.verticalCenter
        spacing: 6

        PulsingDot {
            objectName: "pulsingDot"
            anchors.verticalCenter: parent.verticalCenter
            visible: row.isActive
            running: row.animate
        }
        T.AbstractButton {
            id: pencil
            objectName: "editButton"
            anchors.verticalCenter: parent.verticalCenter
            visible: row.isEditable
            implicitWidth: implicitContentWidth + leftPadding + rightPadding
            implicitHeight: implicitContentHeight + topPadding + bottomPadding
            padding: 4
            Accessible.name: "Edit " + row.name
            contentItem: SymbolIcon {
                implicitWidth: 10
                implicitHeight: 10
                name: "pencil"
                color: Theme.tertiaryText
            }
            onClicked: row.editRequested()

            FocusRing {
                anchors.margins: 0
                shown: pencil.visualFocus
            }
        }
    }
}
