// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T
import Veltrane.Ui

// One action of the panel's footer: a symbol and a label.
T.AbstractButton {
    id: actionRow

    property string symbol
    property string label
    property bool isDestructive: false
    readonly property color foregroundColor: isDestructive ? Theme.destructiveRow : Theme.inkAt(0.85)

    implicitWidth: Theme.panelWidth
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    leftPadding: Theme.panelInset
    rightPadding: Theme.panelInset
    topPadding: 7
    bottomPadding: 7
    hoverEnabled: true
    opacity: enabled ? 1 : Theme.disabledOpacity
    Accessible.name: label

    background: Rectangle {
        anchors.fill: parent
        anchors.leftMargin: 6
        anchors.rightMargin: 6
        radius: 6
        color: actionRow.hovered ? Theme.inkAt(0.04) : "transparent"
    }

    contentItem: Row {
        spacing: 8

        SymbolIcon {
            anchors.verticalCenter: parent.verticalCenter
            width: 14
            height: 14
            name: actionRow.symbol
            color: actionRow.foregroundColor
        }
        Text {
            anchors.verticalCenter: parent.verticalCenter
            text: actionRow.label
            color: actionRow.foregroundColor
            font.pixelSize: Theme.bodySize
        }
    }

    FocusRing {
        anchors.leftMargin: 4
        anchors.rightMargin: 4
        shown: actionRow.visualFocus
    }
}
