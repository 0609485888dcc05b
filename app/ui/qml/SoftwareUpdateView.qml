// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Window
import Veltrane.Ui

// The update window: a found update with its release notes and the three
// answers, or the progress of a check, download or installation, or the
// session's closing message.
Rectangle {
    id: root

    required property SoftwareUpdateViewModel viewModel
    readonly property bool shown: root.Window.visibility !== Window.Hidden

    implicitWidth: 560
    implicitHeight: Math.max(icon.height, details.implicitHeight) + 2 * icon.anchors.margins
    color: Theme.windowBackground

    Window.onVisibilityChanged: root.viewModel.windowVisibilityChanged(root.Window.visibility !== Window.Hidden)

    Shortcut {
        sequence: "Escape"
        onActivated: root.viewModel.dismiss()
    }
    Shortcut {
        sequences: ["Return", "Enter"]
        onActivated: root.viewModel.performDefaultAction()
    }

    Image {
        id: icon
        anchors.left: parent.left
        anchors.top: parent.top
        anchors.margins: 20
        width: 64
        height: 64
        sourceSize.width: 128
        sourceSize.height: 128
        source: "icons/veltrane.svg"
    }

    Column {
        id: details
        anchors.left: icon.right
        anchors.right: parent.right
        anchors.top: icon.top
        anchors.leftMargin: 16
        anchors.rightMargin: icon.anchors.margins
        spacing: 10

        Text {
            objectName: "title"
            width: parent.width
            text: root.viewModel.title
            wrapMode: Text.WordWrap
            color: Theme.titleText
            font.pixelSize: Theme.bodySize
            font.bold: true
        }
        Text {
            objectName: "message"
            width: parent.width
            visible: text.length > 0
            text: root.viewModel.message
            wrapMode: Text.WordWrap
            color: Theme.inkAt(0.75)
            font.pixelSize: Theme.smallSize
        }

        Text {
            visible: root.viewModel.showsReleaseNotes
            text: "Release Notes:"
            color: Theme.inkAt(0.85)
            font.pixelSize: Theme.smallSize
            font.bold: true
        }
        ReleaseNotesBox {
            objectName: "releaseNotes"
            width: parent.width
            height: 220
            visible: root.viewModel.showsReleaseNotes
            notes: root.viewModel.releaseNotes
        }

        UpdateProgressBar {
            width: parent.width
            visible: root.viewModel.showsProgress
            running: root.shown
            indeterminate: root.viewModel.progressIsIndeterminate
            progress: root.viewModel.progress
        }
        Text {
            objectName: "progressText"
            visible: text.length > 0
            text: root.viewModel.progressText
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }

        // "Skip" on the left and the two choices on the right; a large font
        // puts "Skip" on a line of its own rather than under the others.
        Item {
            readonly property bool oneLine: skip.implicitWidth + 10 + choices.implicitWidth <= width

            width: parent.width
            height: oneLine ? choices.implicitHeight : skip.implicitHeight + 8 + choices.implicitHeight
            visible: root.viewModel.showsUpdateChoices

            BorderedButton {
                id: skip
                objectName: "skipButton"
                anchors.left: parent.left
                text: "Skip This Version"
                onClicked: root.viewModel.skipThisVersion()
            }
            Row {
                id: choices
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                spacing: 10

                BorderedButton {
                    objectName: "remindButton"
                    text: "Remind Me Later"
                    onClicked: root.viewModel.remindMeLater()
                }
                AccentButton {
                    objectName: "installButton"
                    text: "Install Update"
                    onClicked: root.viewModel.installUpdate()
                }
            }
        }

        BorderedButton {
            objectName: "dismissButton"
            anchors.right: parent.right
            visible: text.length > 0
            text: root.viewModel.dismissText
            onClicked: root.viewModel.dismiss()
        }
    }
}
