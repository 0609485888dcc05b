// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The one alert of every view: a card over its dimmed, blocked view, with
// a cancel button (Escape) and an action button. Without cancelText it has
// the action button only, which Escape and Return both press.
Rectangle {
    id: alert

    property string title
    property string message
    property string cancelText
    property string actionText: "OK"
    property bool destructive: false

    signal accepted()
    signal cancelled()

    color: Theme.alertDim
    Accessible.role: Accessible.AlertMessage
    Accessible.name: title
    Accessible.description: message

    // The keyboard goes with the alert: Tab and Shift+Tab stay on its
    // buttons, and the safe one has the focus.
    onVisibleChanged: takeFocus()
    Component.onCompleted: takeFocus()
    function takeFocus() {
        if (visible)
            (cancelText !== "" ? cancelButton : actionButton).forceActiveFocus(Qt.TabFocusReason)
    }

    // Modal: nothing under the alert takes a click or a hover.
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
    }

    Shortcut {
        sequence: "Escape"
        enabled: alert.visible
        onActivated: alert.cancelText === "" ? alert.accepted() : alert.cancelled()
    }
    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: alert.visible && alert.cancelText === ""
        onActivated: alert.accepted()
    }

    // A soft shadow under the card, as stacked translucent shapes.
    Repeater {
        model: 3
        Rectangle {
            required property int index
            x: card.x - index - 1
            y: card.y - index + 2
            width: card.width + 2 * (index + 1)
            height: card.height + 2 * (index + 1)
            radius: card.radius + index + 1
            color: Qt.rgba(0, 0, 0, 0.12 / (index + 1))
        }
    }

    Rectangle {
        id: card
        objectName: "alertCard"
        anchors.centerIn: parent
        width: Math.min(parent.width - 32, 300)
        height: body.implicitHeight + 32
        radius: 10
        color: Theme.alertBackground
        border.color: Theme.inkAt(0.1)

        Column {
            id: body
            x: 16
            y: 16
            width: parent.width - 32
            spacing: 8

            Text {
                objectName: "alertTitle"
                width: parent.width
                text: alert.title
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignHCenter
                color: Theme.titleText
                font.pixelSize: Theme.bodySize
                font.bold: true
            }
            Text {
                objectName: "alertMessage"
                width: parent.width
                text: alert.message
                // It carries profile names, which may come from someone else's
                // file: never markup.
                textFormat: Text.PlainText
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignHCenter
                color: Theme.inkAt(0.75)
                font.pixelSize: Theme.smallSize
            }
            Item {
                width: parent.width
                height: 4
            }
            Row {
                width: parent.width
                spacing: 8

                PlainButton {
                    id: cancelButton
                    objectName: "alertCancel"
                    visible: alert.cancelText !== ""
                    width: (parent.width - parent.spacing) / 2
                    text: alert.cancelText
                    KeyNavigation.tab: actionButton
                    KeyNavigation.backtab: actionButton
                    onClicked: alert.cancelled()
                }
                PlainButton {
                    id: actionButton
                    objectName: "alertAction"
                    width: alert.cancelText === "" ? parent.width : (parent.width - parent.spacing) / 2
                    text: alert.actionText
                    textColor: alert.destructive ? Theme.systemRed : Theme.inkAt(0.85)
                    fontWeight: Font.DemiBold
                    KeyNavigation.tab: cancelButton.visible ? cancelButton : actionButton
                    KeyNavigation.backtab: cancelButton.visible ? cancelButton : actionButton
                    onClicked: alert.accepted()
                }
            }
        }
    }
}
