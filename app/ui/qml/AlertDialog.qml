// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Templates as T

// A modal alert over its window: a title, a message and one or two buttons.
// It opens and closes only through `visible`, which the owner binds to its
// view model; the buttons and the keys report the user's answer.
T.Popup {
    id: popup

    property string title
    property string message
    property string acceptText: "OK"
    // Empty: no second button.
    property string rejectText
    property bool destructive: false

    signal accepted()
    signal rejected()

    parent: T.Overlay.overlay
    anchors.centerIn: parent
    width: 300
    implicitHeight: contentHeight + topPadding + bottomPadding
    modal: true
    dim: true
    closePolicy: T.Popup.NoAutoClose
    padding: 20
    // The keyboard goes with the alert: the safe button has the focus.
    focus: true

    T.Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.25) }

    background: Rectangle {
        radius: 12
        color: Theme.menuBackground
        border.color: Theme.inkAt(0.12)
    }

    contentItem: Column {
        spacing: 10
        Accessible.role: Accessible.AlertMessage
        Accessible.name: popup.title
        Accessible.description: popup.message

        Shortcut {
            sequences: ["Return", "Enter"]
            enabled: popup.visible && !popup.destructive
            onActivated: popup.accepted()
        }
        Shortcut {
            sequence: "Escape"
            enabled: popup.visible
            onActivated: popup.rejectText === "" ? popup.accepted() : popup.rejected()
        }

        Text {
            width: popup.availableWidth
            text: popup.title
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            color: Theme.inkAt(0.9)
            font.pixelSize: Theme.bodySize
            font.bold: true
        }
        Text {
            objectName: "alertMessage"
            width: popup.availableWidth
            text: popup.message
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            color: Theme.inkAt(0.75)
            font.pixelSize: Theme.smallSize
        }
        Item { width: 1; height: 4 }
        Row {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 10

            BorderedButton {
                objectName: "alertReject"
                visible: popup.rejectText !== ""
                width: 110
                text: popup.rejectText
                focus: true
                onClicked: popup.rejected()
            }
            BorderedButton {
                objectName: "alertAccept"
                width: 110
                text: popup.acceptText
                tint: popup.destructive ? Theme.destructiveFill : Theme.accentBottom
                focus: popup.rejectText === ""
                onClicked: popup.accepted()
            }
        }
    }
}
