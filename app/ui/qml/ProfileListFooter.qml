// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// The foot of the profile list: import and export on the left, Done on
// the right, under a hairline.
Item {
    id: footer

    required property ProfileListViewModel viewModel

    height: Theme.scaled(56)

    Rectangle {
        width: parent.width
        height: 1
        color: Theme.inkAt(0.08)
    }
    ProfileExchangeButtons {
        x: 22
        anchors.verticalCenter: parent.verticalCenter
        viewModel: footer.viewModel
    }
    AccentButton {
        objectName: "doneButton"
        x: parent.width - width - 22
        anchors.verticalCenter: parent.verticalCenter
        implicitWidth: Math.max(implicitContentWidth + 40, 72)
        text: "Done"
        onClicked: footer.viewModel.done()
    }
}
