// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The top of the profile list: its title and "+ Add Profile".
Item {
    id: header

    required property ProfileListViewModel viewModel

    height: Theme.scaled(64)

    Text {
        x: 22
        anchors.verticalCenter: parent.verticalCenter
        text: "Manage Profiles"
        color: Theme.titleText
        font.pixelSize: Theme.listTitleSize
        font.bold: true
    }
    AccentButton {
        objectName: "addProfileButton"
        x: parent.width - width - 22
        anchors.verticalCenter: parent.verticalCenter
        leftPadding: 14
        rightPadding: 14
        topPadding: 6
        bottomPadding: 6
        implicitWidth: implicitContentWidth + leftPadding + rightPadding
        implicitHeight: implicitContentHeight + topPadding + bottomPadding
        contentItem: Row {
            spacing: 4
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "+"
                color: "white"
                font.pixelSize: Theme.symbolTextSize
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "Add Profile"
                color: "white"
                font.pixelSize: Theme.labelSize
                font.weight: Font.DemiBold
            }
        }
        onClicked: header.viewModel.addNewProfile()
    }
}
