// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Every fault the last save attempt found, and the store's reason when it
// did not take the save, one line each.
Rectangle {
    id: box

    required property ProfileEditorMessages messages

    objectName: "errorBox"
    height: errors.implicitHeight + 20
    visible: box.messages.showsErrorBox
    // Announced when it appears; its lines follow as its text.
    Accessible.role: Accessible.AlertMessage
    Accessible.name: "Please fix the following errors:"
    radius: 8
    color: Theme.withAlpha(Theme.errorRed, 0.08)
    border.color: Theme.withAlpha(Theme.errorRed, 0.2)

    Column {
        id: errors
        x: 10
        y: 10
        width: box.width - 20
        spacing: 4

        Row {
            spacing: 6
            SymbolIcon {
                y: 1
                width: 11
                height: 11
                name: "exclamationmark.triangle.fill"
                color: Theme.errorRed
            }
            Text {
                text: "Please fix the following errors:"
                color: Theme.errorRed
                font.pixelSize: Theme.smallSize
                font.weight: Font.DemiBold
            }
        }
        Repeater {
            model: box.messages.errorLines
            Text {
                required property string modelData
                objectName: "errorLine"
                width: errors.width
                text: modelData
                wrapMode: Text.WordWrap
                color: Theme.errorRed
                font.pixelSize: Theme.smallSize
            }
        }
    }
}
