// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The about sheet over the settings window.
Rectangle {
    id: root

    required property AboutViewModel viewModel

    implicitWidth: 320
    implicitHeight: content.implicitHeight + 2 * content.anchors.margins
    color: Theme.windowBackground

    Shortcut {
        sequence: "Escape"
        onActivated: root.viewModel.dismiss()
    }

    Column {
        id: content
        anchors.fill: parent
        anchors.margins: 20
        spacing: 12

        Item {
            anchors.horizontalCenter: parent.horizontalCenter
            width: 72
            height: 76

            // A soft shadow under the icon, as stacked translucent shapes.
            Repeater {
                model: 3
                Rectangle {
                    required property int index
                    x: 6 - index * 2
                    y: 8 - index
                    width: 60 + index * 4
                    height: 60 + index * 4
                    radius: 14 + index * 2
                    color: Qt.rgba(0, 0, 0, 0.06)
                }
            }
            Image {
                objectName: "appIcon"
                width: 72
                height: 72
                sourceSize.width: 144
                sourceSize.height: 144
                source: "icons/veltrane.svg"
            }
        }

        Column {
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 6

            Text {
                anchors.horizontalCenter: parent.horizontalCenter
                text: "Veltrane"
                color: Theme.titleText
                font.pixelSize: Theme.titleSize
                font.bold: true
            }
            Rectangle {
                anchors.horizontalCenter: parent.horizontalCenter
                width: version.implicitWidth + 20
                height: version.implicitHeight + 6
                radius: 4
                color: Theme.inkAt(0.06)

                Text {
                    id: version
                    objectName: "version"
                    anchors.centerIn: parent
                    text: root.viewModel.versionText
                    color: Theme.tertiaryText
                    font.pixelSize: Theme.smallSize
                }
            }
        }

        Rectangle {
            width: parent.width
            height: description.implicitHeight + 24
            radius: 10
            color: Theme.inkAt(0.04)
            border.color: Theme.inkAt(0.06)

            Text {
                id: description
                anchors.centerIn: parent
                width: parent.width - 24
                text: "Simulate slow & unreliable network conditions for testing your apps."
                wrapMode: Text.WordWrap
                horizontalAlignment: Text.AlignHCenter
                color: Theme.inkAt(0.75)
                font.pixelSize: Theme.bodySize
            }
        }

        Text {
            objectName: "copyright"
            width: parent.width
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            text: root.viewModel.copyrightText
            color: Theme.tertiaryText
            font.pixelSize: Theme.captionSize
        }

        AccentButton {
            objectName: "closeButton"
            width: parent.width
            text: "Close"
            onClicked: root.viewModel.dismiss()
        }
    }
}
