// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick

// A miniature picture of the settings pane where the user switches the
// helper on, drawn with shapes: it is not a live view and ignores clicks.
Rectangle {
    id: mockup

    required property string paneName
    required property string sectionName

    implicitHeight: content.implicitHeight
    radius: 10
    color: "transparent"
    border.color: Qt.rgba(Theme.secondaryText.r, Theme.secondaryText.g, Theme.secondaryText.b, 0.3)

    Column {
        id: content
        width: parent.width

        Item {
            width: parent.width
            height: 26

            Row {
                x: 10
                anchors.verticalCenter: parent.verticalCenter
                spacing: 6
                Repeater {
                    model: [Qt.rgba(1, 0.37, 0.34, 0.7), Qt.rgba(1, 0.74, 0.18, 0.7), Qt.rgba(0.16, 0.79, 0.25, 0.7)]
                    Rectangle {
                        required property color modelData
                        width: 8
                        height: 8
                        radius: 4
                        color: modelData
                    }
                }
            }
            Text {
                anchors.centerIn: parent
                text: mockup.paneName
                color: Theme.secondaryText
                font.pixelSize: 10
                font.weight: Font.Medium
            }
        }
        Rectangle {
            width: parent.width
            height: 1
            color: Qt.rgba(Theme.secondaryText.r, Theme.secondaryText.g, Theme.secondaryText.b, 0.3)
        }
        Text {
            leftPadding: 12
            topPadding: 8
            bottomPadding: 6
            text: mockup.sectionName
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }
        Item {
            width: parent.width
            height: itemRow.height + 8

            Rectangle {
                id: itemRow
                x: 12
                width: parent.width - 24
                height: 44
                radius: 6
                color: Theme.controlBackground

                Image {
                    id: appIcon
                    x: 10
                    anchors.verticalCenter: parent.verticalCenter
                    width: 28
                    height: 28
                    sourceSize.width: 56
                    sourceSize.height: 56
                    source: "icons/veltrane.svg"
                }
                Text {
                    anchors.left: appIcon.right
                    anchors.leftMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    text: "com.veltrane.helper"
                    color: Theme.inkAt(0.85)
                    font.pixelSize: Theme.bodySize
                }
                Image {
                    anchors.right: offSwitch.left
                    anchors.rightMargin: 8
                    anchors.verticalCenter: parent.verticalCenter
                    width: 16
                    height: 16
                    sourceSize.width: 32
                    sourceSize.height: 32
                    source: "icons/arrow.right.svg"
                }
                // The switch the user must turn on, drawn off.
                Rectangle {
                    id: offSwitch
                    x: parent.width - width - 10
                    anchors.verticalCenter: parent.verticalCenter
                    width: 34
                    height: 20
                    radius: 10
                    color: Qt.rgba(0.56, 0.56, 0.58, 0.3)

                    Rectangle {
                        x: 2
                        y: 3
                        width: 16
                        height: 16
                        radius: 8
                        color: Qt.rgba(0, 0, 0, 0.15)
                    }
                    Rectangle {
                        x: 2
                        y: 2
                        width: 16
                        height: 16
                        radius: 8
                        color: "white"
                    }
                }
            }
        }
    }
}
