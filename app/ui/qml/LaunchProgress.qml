// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// How a launch goes: a spinner while it starts, then why it failed.
Column {
    id: progress

    required property LaunchThrottledModel viewModel

    spacing: 8
    visible: viewModel.isLaunching || viewModel.errorText !== ""

    // Nothing is disabled meanwhile: the model refuses a second launch,
    // and a disabled field would lose the keyboard's focus.
    Row {
        spacing: 6
        visible: progress.viewModel.isLaunching

        Spinner {
            anchors.verticalCenter: parent.verticalCenter
            size: 12
        }
        Text {
            text: "Starting…"
            color: Theme.secondaryText
            font.pixelSize: Theme.smallSize
        }
    }
    Text {
        objectName: "launchError"
        width: parent.width
        visible: text !== "" && !progress.viewModel.isLaunching
        text: progress.viewModel.errorText
        textFormat: Text.PlainText
        wrapMode: Text.Wrap
        color: Theme.errorRed
        font.pixelSize: Theme.smallSize
        Accessible.role: Accessible.AlertMessage
        Accessible.name: text
    }
}
