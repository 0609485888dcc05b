// SPDX-License-Identifier: MIT
pragma ComponentBehavior: Bound

import QtQuick
import Veltrane.Ui

// Stands in for a view that is not built yet: its name, at the size the
// real view will have.
Rectangle {
    id: root

    required property string text
    required property int contentWidth
    required property int contentHeight

    implicitWidth: contentWidth
    implicitHeight: contentHeight
    color: Theme.windowBackground

    Text {
        anchors.centerIn: parent
        text: root.text
        color: Theme.inkAt(0.5)
        font.pixelSize: Theme.bodySize
    }
}
